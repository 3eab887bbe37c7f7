// The automatic text encoding as a host meets it: each printText call is one write of
// (selection) + style + text, and the tables change only where a character needs it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryLink.h"
#include "dravix.h"

namespace {

const std::string kPlainStyle =
    bytes({0x1B, 'a',  0,   0x1B, 'M',  0,   0x1B, 'E',  0,   0x1B, '-',  0,   0x1D, 'B',
           0,    0x1B, '{', 0,    0x1D, '!', 0,    0x1D, 'b', 0,    0x1B, ' ', 0});

std::string fullSelect(int table) {
    return bytes({0x1C, '.', 0x1B, 't', table});
}

std::string tableSwitch(int table) {
    return bytes({0x1B, 't', table});
}

int print(PosService& service, const char16_t* text) {
    return service.printText(reinterpret_cast<const cvn_wchar*>(text), nullptr);
}

TEST(AutoEncoding, EachTextSwitchesTablesOnlyWhereItsCharactersNeedAnother) {
    struct Case {
        const char* name;
        std::vector<const char16_t*> texts;
        std::vector<std::string> writes;  // one per text
    };
    const Case cases[] = {
        {"a text 437 holds goes out as it always did",
         {u"Grüße\n"},
         {fullSelect(0) + kPlainStyle + "Gr" + bytes({0x81, 0xE1}) + "e\n"}},
        {"one table that holds the whole line beats switching within it",
         {u"Grüße – 5,00 €"},
         {fullSelect(16) + kPlainStyle + "Gr" + bytes({0xFC, 0xDF}) + "e " + bytes({0x96}) +
          " 5,00 " + bytes({0x80})}},
        {"the table stays from one text to the next while it serves",
         {u"Привет ", u"мир", u"ü"},
         {fullSelect(17) + kPlainStyle + bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}) + " ",
          kPlainStyle + bytes({0xAC, 0xA8, 0xE0}), tableSwitch(0) + kPlainStyle + bytes({0x81})}},
        {"switches inside a text fall between its characters",
         {u"ü дом ü"},
         {fullSelect(0) + kPlainStyle + bytes({0x81, ' '}) + tableSwitch(17) +
          bytes({0xA4, 0xAE, 0xAC, ' '}) + tableSwitch(0) + bytes({0x81})}},
    };
    for (const Case& c : cases) {
        MemoryPrinter printer;
        for (const char16_t* text : c.texts)
            ASSERT_EQ(print(*printer.service, text), DRAVIX_SUCCESS) << c.name;
        ASSERT_EQ(printer.state->writes.size(), c.writes.size()) << c.name;
        for (size_t i = 0; i < c.writes.size(); ++i)
            EXPECT_EQ(printer.state->writes[i], c.writes[i]) << c.name << ", text " << i;
    }
}

TEST(AutoEncoding, ACharacterNoTableHoldsFailsTheTextAndSendsNothing) {
    for (const char16_t* text : {u"Grüße 😀", u"東京", u"a\u2603b"}) {
        MemoryPrinter printer;
        EXPECT_EQ(print(*printer.service, text), DRAVIX_E_NO_CODE_PAGE);
        EXPECT_EQ(printer.service->lastResult(), DRAVIX_E_NO_CODE_PAGE);
        EXPECT_TRUE(printer.state->writes.empty());
        // The table is still unknown to the printer: the next text selects it in full.
        ASSERT_EQ(print(*printer.service, u"ok"), DRAVIX_SUCCESS);
        EXPECT_EQ(printer.sent(), fullSelect(0) + kPlainStyle + "ok");
    }
}

TEST(AutoEncoding, AChosenCodePageEndsItAndCodePageZeroBringsItBack) {
    MemoryPrinter printer;
    PosService& service = *printer.service;
    ASSERT_EQ(service.setTextEncoding(437), DRAVIX_SUCCESS);
    ASSERT_EQ(print(service, u"€"), DRAVIX_SUCCESS);  // a chosen page prints what it lacks as ?
    EXPECT_EQ(printer.state->writes.back(), kPlainStyle + "?");

    // Leaving UTF-8 for the automatic encoding first ends UTF-8 on the printer.
    ASSERT_EQ(service.setTextEncoding(65001), DRAVIX_SUCCESS);
    ASSERT_EQ(service.setTextEncoding(0), DRAVIX_SUCCESS);
    ASSERT_EQ(print(service, u"€"), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.state->writes.back(),
              bytes({0x1C, '(', 'C', 2, 0, 48, 1}) + fullSelect(16) + kPlainStyle + bytes({0x80}));
}

}  // namespace
