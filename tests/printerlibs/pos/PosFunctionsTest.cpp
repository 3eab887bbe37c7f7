// The POS library's functions as a host calls them on an open handle, over a link in
// memory: the exact bytes each sends, the code page conversions, and the bad input that
// must leave the printer untouched.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MemoryLink.h"
#include "dravix.h"

namespace {

std::string hex(const std::string& data) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : data) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

// Plain text attributes, then smoothing as given.
std::string textStyle(int alignment, int font, int bold, int underline, int reverse, int size,
                      int smoothing, int spacing) {
    return bytes({0x1B, 'a', alignment, 0x1B, 'M', font,      0x1B, 'E', bold,
                  0x1B, '-', underline, 0x1D, 'B', reverse,   0x1B, '{', 0,
                  0x1D, '!', size,      0x1D, 'b', smoothing, 0x1B, ' ', spacing});
}

const std::string kSelect437 = bytes({0x1C, '.', 0x1B, 't', 0});

struct Case {
    const char* name;
    std::function<int(PosService&)> call;
    std::string expected;
};

TEST(PosFunctions, EachFunctionSendsExactlyItsCommandBytes) {
    const int receiptAttributes[7] = {0, 0, 0, 0, 0, 1, 0};
    const int styled[7] = {DRAVIX_ALIGN_CENTER,
                           1,
                           DRAVIX_STYLE_BOLD | DRAVIX_STYLE_UNDERLINE | DRAVIX_STYLE_REVERSE,
                           2,
                           3,
                           0,
                           4};
    const Case cases[] = {
        {"plain text without attributes",
         [](PosService& s) { return s.printText(u"Hi\n", nullptr); },
         kSelect437 + textStyle(0, 0, 0, 0, 0, 0, 0, 0) + "Hi\n"},
        {"test receipt header attributes",
         [&](PosService& s) { return s.printText(u"A", receiptAttributes); },
         kSelect437 + textStyle(0, 0, 0, 0, 0, 0, 1, 0) + "A"},
        {"styled text", [&](PosService& s) { return s.printText(u"B", styled); },
         kSelect437 + textStyle(1, 1, 1, 1, 1, 0x12, 0, 4) + "B"},
        {"single-byte code page", [](PosService& s) { return s.setTextEncoding(1252); },
         bytes({0x1C, '.', 0x1B, 't', 16})},
        {"Shift JIS selects double-byte mode, its code system, Katakana and Japan",
         [](PosService& s) { return s.setTextEncoding(932); },
         bytes({0x1C, '&', 0x1C, 'C', 1, 0x1B, 't', 1, 0x1B, 'R', 8})},
        {"leaving Shift JIS puts the USA character set back",
         [](PosService& s) {
             s.setTextEncoding(932);
             return s.setTextEncoding(1252);
         },
         bytes({0x1C, '&', 0x1C, 'C', 1, 0x1B, 't', 1, 0x1B, 'R', 8, 0x1B, 'R', 0, 0x1C, '.', 0x1B,
                't', 16})},
        {"Korean double-byte mode", [](PosService& s) { return s.setTextEncoding(949); },
         bytes({0x1C, '&'})},
        {"UTF-8", [](PosService& s) { return s.setTextEncoding(65001); },
         bytes({0x1C, '(', 'C', 2, 0, 48, 2})},
        {"leaving UTF-8 returns to one byte first",
         [](PosService& s) {
             s.setTextEncoding(65001);
             return s.setTextEncoding(437);
         },
         bytes({0x1C, '(', 'C', 2, 0, 48, 2, 0x1C, '(', 'C', 2, 0, 48, 1}) + kSelect437},
        {"character table, and texts follow it",
         [](PosService& s) {
             s.setCharacterset(17);
             return s.printText(u"Ж", nullptr);
         },
         bytes({0x1C, '.', 0x1B, 't', 17}) + textStyle(0, 0, 0, 0, 0, 0, 0, 0) + "\x86"},
        {"international set", [](PosService& s) { return s.setInternationalCharacterset(3); },
         bytes({0x1B, 'R', 3})},
        {"feed and cut", [](PosService& s) { return s.cutPaper(DRAVIX_CUT_FEED_FULL); },
         bytes({0x1D, 'V', 65, 0})},
        {"partial cut", [](PosService& s) { return s.cutPaper(DRAVIX_CUT_PARTIAL); },
         bytes({0x1D, 'V', 1})},
        {"drawer pin 2", [](PosService& s) { return s.openDrawer(0); },
         bytes({0x1B, 'p', 0, 25, 250})},
        {"drawer pin 5", [](PosService& s) { return s.openDrawer(1); },
         bytes({0x1B, 'p', 1, 25, 250})},
        {"page mode begin", [](PosService& s) { return s.setPagemode(DRAVIX_PAGE_BEGIN); },
         bytes({0x1B, 'L'})},
        {"page printed and left",
         [](PosService& s) { return s.setPagemode(DRAVIX_PAGE_PRINT_AND_LEAVE); }, bytes({0x0C})},
        {"page printed, mode kept", [](PosService& s) { return s.setPagemode(DRAVIX_PAGE_PRINT); },
         bytes({0x1B, 0x0C})},
        {"page discarded", [](PosService& s) { return s.setPagemode(DRAVIX_PAGE_DISCARD); },
         bytes({0x1B, 'S'})},
        {"page area", [](PosService& s) { return s.setPagemodePrintArea(0, 0, 512, 300); },
         bytes({0x1B, 'W', 0, 0, 0, 0, 0, 2, 0x2C, 1})},
        {"page direction", [](PosService& s) { return s.setPagemodeDirection(3); },
         bytes({0x1B, 'T', 3})},
        {"page position", [](PosService& s) { return s.setPagemodePosition(100, 258); },
         bytes({0x1B, '$', 100, 0, 0x1D, '$', 2, 1})},
        {"raw bytes",
         [](PosService& s) {
             const unsigned char raw[] = {0x1B, 0x40, 0x00};
             return s.directIO(raw, 3);
         },
         bytes({0x1B, 0x40, 0x00})},
        {"test receipt bar code: centred Code 128 in code set C",
         [](PosService& s) {
             return s.print1DBarcode(u"1234567890123456", DRAVIX_BARCODE_CODE128, 100, 3, 1, 2);
         },
         bytes({0x1B, 'a', 1, 0x1D, 'H', 2, 0x1D, 'h', 100, 0x1D, 'w', 3, 0x1D, 'k', 73, 10, '{',
                'C', 12, 34, 56, 78, 90, 12, 34, 56})},
        {"EAN-13",
         [](PosService& s) {
             return s.print1DBarcode(u"4006381333931", DRAVIX_BARCODE_EAN13, 50, 2, 0, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, 'H', 0, 0x1D, 'h', 50, 0x1D, 'w', 2, 0x1D, 'k', 67, 13}) +
             "4006381333931"},
        {"UPC-A with its right check digit",
         [](PosService& s) {
             return s.print1DBarcode(u"036000291452", DRAVIX_BARCODE_UPCA, 50, 2, 0, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, 'H', 0, 0x1D, 'h', 50, 0x1D, 'w', 2, 0x1D, 'k', 65, 12}) +
             "036000291452"},
        {"UPC-E of eight digits, whose check digit is that of its UPC-A number",
         [](PosService& s) {
             return s.print1DBarcode(u"01234565", DRAVIX_BARCODE_UPCE, 50, 2, 0, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, 'H', 0, 0x1D, 'h', 50, 0x1D, 'w', 2, 0x1D, 'k', 66, 8}) +
             "01234565"},
        {"Codabar between its start and stop characters",
         [](PosService& s) {
             return s.print1DBarcode(u"A40156B", DRAVIX_BARCODE_CODABAR, 50, 2, 0, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, 'H', 0, 0x1D, 'h', 50, 0x1D, 'w', 2, 0x1D, 'k', 71, 7}) +
             "A40156B"},
        {"module width 1 goes out as 2, the narrowest a printer takes",
         [](PosService& s) {
             return s.print1DBarcode(u"96385074", DRAVIX_BARCODE_EAN8, 50, 1, 0, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, 'H', 0, 0x1D, 'h', 50, 0x1D, 'w', 2, 0x1D, 'k', 68, 8}) +
             "96385074"},
        {"QR Code: model, module, level, store, print",
         [](PosService& s) { return s.printQRCode(u"https://x.y", 4, 1, 1, 0); },
         bytes({0x1B, 'a', 1, 0x1D, '(', 'k', 4, 0, 49, 65, 50, 0, 0x1D, '(', 'k', 3, 0, 49, 67, 4,
                0x1D, '(', 'k', 3, 0, 49, 69, 49, 0x1D, '(', 'k', 14, 0, 49, 80, 48}) +
             "https://x.y" + bytes({0x1D, '(', 'k', 3, 0, 49, 81, 48})},
        {"PDF417",
         [](PosService& s) { return s.printPDF417(u"PDF", 0, 0, 3, 3, 1, 0, 0); },
         bytes({0x1B, 'a', 0,    0x1D, '(', 'k', 3,  0,    48,  65,  0,  0x1D, '(', 'k', 3,
                0,    48,  66, 0,    0x1D, '(', 'k', 3,    0,   48,  67, 3,    0x1D, '(', 'k',
                3,    0,   48, 68,   3,    0x1D, '(', 'k',  4,   0,   48, 69,   48,  49,  0x1D,
                '(',  'k', 3,  0,    48,   70,  0,   0x1D, '(', 'k', 6,  0,    48,  80,  48}) +
             "PDF" + bytes({0x1D, '(', 'k', 3, 0, 48, 81, 48})},
        {"Data Matrix",
         [](PosService& s) { return s.printDataMatrix(u"DM", 4, 2); },
         bytes({0x1B, 'a', 2, 0x1D, '(', 'k', 5, 0, 54, 66, 48, 0, 0, 0x1D, '(', 'k', 3, 0, 54, 67,
                4, 0x1D, '(', 'k', 5, 0, 54, 80, 48}) +
             "DM" + bytes({0x1D, '(', 'k', 3, 0, 54, 81, 48})},
        {"GS1 DataBar stacked",
         [](PosService& s) { return s.printGS1Databar(u"0123456789012", 0, 2, 0); },
         bytes({0x1B, 'a', 0, 0x1D, '(', 'k', 3, 0, 51, 67, 2, 0x1D, '(', 'k', 17, 0, 51, 80, 48,
                72}) +
             "0123456789012" + bytes({0x1D, '(', 'k', 3, 0, 51, 81, 48})},
        {"composite: linear element, 2D element, print",
         [](PosService& s) {
             return s.printCompositeBarcode(u"490123456789|ABC", DRAVIX_COMPOSITE_EAN13, 2, 0);
         },
         bytes({0x1B, 'a', 0, 0x1D, '(', 'k', 3, 0, 52, 67, 2, 0x1D, '(', 'k', 17, 0, 52, 80, 48,
                48, 66}) +
             "490123456789" + bytes({0x1D, '(', 'k', 8, 0, 52, 80, 48, 49, 65}) + "ABC" +
             bytes({0x1D, '(', 'k', 3, 0, 52, 81, 48})},
    };
    for (const Case& c : cases) {
        MemoryPrinter printer;
        EXPECT_EQ(c.call(*printer.service), DRAVIX_SUCCESS) << c.name;
        EXPECT_EQ(hex(printer.sent()), hex(c.expected)) << c.name;
        EXPECT_EQ(printer.service->lastResult(), DRAVIX_SUCCESS) << c.name;
    }
}

TEST(PosFunctions, TextsArriveInTheSelectedCodePageWithMissingCharactersAsQuestionMarks) {
    struct Conversion {
        int codePage;
        const char16_t* text;
        std::string expected;
    };
    const Conversion conversions[] = {
        {437, u"é ü", bytes({0x82, ' ', 0x81})},
        {850, u"é ü", bytes({0x82, ' ', 0x81})},
        {1252, u"é ü", bytes({0xE9, ' ', 0xFC})},
        {866, u"Привет", bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2})},
        {949, u"한국", bytes({0xC7, 0xD1, 0xB1, 0xB9})},
        {65001, u"é", bytes({0xC3, 0xA9})},
        {437, u"a€b", "a?b"},
        {1252, u"한", "?"},
        {866, u"x😀y", "x?y"},
    };
    for (const Conversion& c : conversions) {
        MemoryPrinter printer;
        ASSERT_EQ(printer.service->setTextEncoding(c.codePage), DRAVIX_SUCCESS) << c.codePage;
        printer.state->writes.clear();
        ASSERT_EQ(printer.service->printText(reinterpret_cast<const cvn_wchar*>(c.text), nullptr),
                  DRAVIX_SUCCESS);
        std::string sent = printer.sent();
        EXPECT_EQ(hex(sent.substr(sent.size() - std::min(sent.size(), c.expected.size()))),
                  hex(c.expected))
            << c.codePage;
    }
}

TEST(PosFunctions, BadInputGetsAnErrorAndLeavesThePrinterUntouched) {
    const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
    const int badAttributes[7] = {3, 0, 0, 0, 0, 0, 0};
    const unsigned char raw[] = {1};
    struct Refusal {
        const char* name;
        std::function<int(PosService&)> call;
        int expected;
    };
    const Refusal refusals[] = {
        {"null text", [](PosService& s) { return s.printText(nullptr, nullptr); },
         DRAVIX_E_BAD_ARGUMENT},
        {"lone surrogate",
         [&](PosService& s) {
             return s.printText(reinterpret_cast<const cvn_wchar*>(loneSurrogate), nullptr);
         },
         DRAVIX_E_BAD_ARGUMENT},
        {"alignment out of range", [&](PosService& s) { return s.printText(u"x", badAttributes); },
         DRAVIX_E_BAD_ARGUMENT},
        {"unknown code page", [](PosService& s) { return s.setTextEncoding(1234); },
         DRAVIX_E_NOT_SUPPORTED},
        {"table out of range", [](PosService& s) { return s.setCharacterset(256); },
         DRAVIX_E_BAD_ARGUMENT},
        {"unknown cut", [](PosService& s) { return s.cutPaper(7); }, DRAVIX_E_BAD_ARGUMENT},
        {"unknown drawer pin", [](PosService& s) { return s.openDrawer(2); },
         DRAVIX_E_BAD_ARGUMENT},
        {"empty page area", [](PosService& s) { return s.setPagemodePrintArea(0, 0, 0, 10); },
         DRAVIX_E_BAD_ARGUMENT},
        {"page position beyond 16 bits",
         [](PosService& s) { return s.setPagemodePosition(70000, 0); }, DRAVIX_E_BAD_ARGUMENT},
        {"null raw data", [](PosService& s) { return s.directIO(nullptr, 4); },
         DRAVIX_E_BAD_ARGUMENT},
        {"negative raw length", [&](PosService& s) { return s.directIO(raw, -1); },
         DRAVIX_E_BAD_ARGUMENT},
        {"huge raw length", [&](PosService& s) { return s.directIO(raw, 0x7FFFFFFF); },
         DRAVIX_E_BAD_ARGUMENT},
        {"unknown symbology",
         [](PosService& s) { return s.print1DBarcode(u"123", 109, 50, 2, 0, 0); },
         DRAVIX_E_NOT_SUPPORTED},
        {"EAN-13 with letters",
         [](PosService& s) { return s.print1DBarcode(u"40063813339AB", 103, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"EAN-13 with a wrong check digit",
         [](PosService& s) { return s.print1DBarcode(u"4006381333932", 103, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"UPC-A with a wrong check digit",
         [](PosService& s) { return s.print1DBarcode(u"036000291453", 101, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"EAN-8 with a wrong check digit",
         [](PosService& s) { return s.print1DBarcode(u"96385075", 104, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"UPC-E with a wrong check digit",
         [](PosService& s) { return s.print1DBarcode(u"01234566", 102, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"Codabar without start and stop characters",
         [](PosService& s) { return s.print1DBarcode(u"40156", 107, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"Codabar with a start character inside the data",
         [](PosService& s) { return s.print1DBarcode(u"1A2", 107, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"bar code that fits only at the module width 1 no printer prints",
         [](PosService& s) {
             return s.print1DBarcode(u"ABCDEFGHIJKLMNOPQRST", DRAVIX_BARCODE_CODE39, 50, 1, 0, 0);
         },
         DRAVIX_E_DOES_NOT_FIT},
        {"bar code wider than the paper is refused, not cut off",
         [](PosService& s) {
             return s.print1DBarcode(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", DRAVIX_BARCODE_CODE39, 50, 3, 0,
                                     0);
         },
         DRAVIX_E_DOES_NOT_FIT},
        {"Code 128 in code set B would not fit where C does",
         [](PosService& s) {
             return s.print1DBarcode(u"A1B2C3D4E5F6G7H8", DRAVIX_BARCODE_CODE128, 100, 3, 1, 2);
         },
         DRAVIX_E_DOES_NOT_FIT},
        {"non-ASCII bar code data",
         [](PosService& s) { return s.print1DBarcode(u"é", DRAVIX_BARCODE_CODE128, 50, 2, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"QR Code too large for its module size",
         [](PosService& s) {
             return s.printQRCode(std::u16string(200, u'7').c_str(), 16, 3, 0, 0);
         },
         DRAVIX_E_DOES_NOT_FIT},
        {"QR Code model 1", [](PosService& s) { return s.printQRCode(u"x", 3, 0, 0, 1); },
         DRAVIX_E_NOT_SUPPORTED},
        {"PDF417 with two rows",
         [](PosService& s) { return s.printPDF417(u"x", 0, 2, 3, 3, 1, 0, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"PDF417 data beyond its rows and columns",
         [](PosService& s) {
             return s.printPDF417(u"The quick brown fox jumps over the lazy dog", 1, 3, 2, 3, 0, 0,
                                  0);
         },
         DRAVIX_E_DOES_NOT_FIT},
        {"Data Matrix wider than the paper",
         [](PosService& s) { return s.printDataMatrix(std::u16string(500, u'x').c_str(), 16, 0); },
         DRAVIX_E_DOES_NOT_FIT},
        {"stacked DataBar needs 13 digits",
         [](PosService& s) { return s.printGS1Databar(u"12345", 0, 2, 0); }, DRAVIX_E_BAD_ARGUMENT},
        {"composite without its 2D element",
         [](PosService& s) { return s.printCompositeBarcode(u"490123456789", 1, 2, 0); },
         DRAVIX_E_BAD_ARGUMENT},
        {"missing picture",
         [](PosService& s) { return s.printBitmapFile(u"/nonexistent/x.bmp", -2, 0, 0, 0, 1); },
         DRAVIX_E_FILE},
        {"picture width 0",
         [](PosService& s) { return s.printBitmapFile(u"x.bmp", 0, 0, 0, 0, 1); },
         DRAVIX_E_BAD_ARGUMENT},
    };
    for (const Refusal& r : refusals) {
        MemoryPrinter printer;
        EXPECT_EQ(r.call(*printer.service), r.expected) << r.name;
        EXPECT_EQ(printer.service->lastResult(), r.expected) << r.name;
        EXPECT_EQ(printer.sent(), "") << r.name;
    }
}

TEST(PosFunctions, AWriteThePortRefusesIsAnErrorAndAClosedServiceSendsNothing) {
    MemoryPrinter printer;
    printer.state->failWrites = true;
    EXPECT_EQ(printer.service->cutPaper(0), DRAVIX_E_WRITE_FAILED);
    EXPECT_EQ(printer.service->lastResult(), DRAVIX_E_WRITE_FAILED);
    printer.state->failWrites = false;
    EXPECT_EQ(printer.service->cutPaper(0), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.service->lastResult(), DRAVIX_SUCCESS);
    printer.service->close();
    EXPECT_EQ(printer.service->cutPaper(0), DRAVIX_E_NOT_OPEN);
    EXPECT_EQ(printer.state->writes.size(), 1u);
}

TEST(PosFunctions, ATransactionKeepsEverythingForOneWriteAndQueriesStillGoOutAtOnce) {
    MemoryPrinter printer;
    PosService& s = *printer.service;
    ASSERT_EQ(s.setTransaction(1), DRAVIX_SUCCESS);
    s.cutPaper(0);
    s.openDrawer(0);
    EXPECT_TRUE(printer.state->writes.empty());
    printer.state->replies.push_back(bytes({0x12, 0x12, 0x12, 0x12}));
    EXPECT_EQ(s.checkPrinterStatus(), 0);
    ASSERT_EQ(printer.state->writes.size(), 1u);  // the query only
    EXPECT_EQ(s.setTransaction(0), DRAVIX_SUCCESS);
    ASSERT_EQ(printer.state->writes.size(), 2u);
    EXPECT_EQ(hex(printer.state->writes[1]), hex(bytes({0x1D, 'V', 0, 0x1B, 'p', 0, 25, 250})));
    // Closing in the middle of a transaction drops what was kept.
    s.setTransaction(1);
    s.cutPaper(0);
    s.close();
    EXPECT_EQ(printer.state->writes.size(), 2u);
}

// A real printer reads the next job's bytes in whatever mode this one left it: every
// handle ends what its functions began, at close and when the host ends a job on a
// handle it keeps open.
TEST(PosFunctions, AJobEndsThePageModeAndEncodingItBeganSoTheNextStartsStandard) {
    struct Ending {
        const char* name;
        std::function<void(PosService&)> job;
        std::string expected;
    };
    const Ending endings[] = {
        {"standard text leaves nothing to end", [](PosService& s) { s.printText(u"x", nullptr); },
         ""},
        {"a page printed and left leaves nothing to end",
         [](PosService& s) {
             s.setPagemode(DRAVIX_PAGE_BEGIN);
             s.setPagemode(DRAVIX_PAGE_PRINT_AND_LEAVE);
         },
         ""},
        {"a page begun is left",
         [](PosService& s) {
             s.setPagemode(DRAVIX_PAGE_BEGIN);
             s.setPagemode(DRAVIX_PAGE_PRINT);
         },
         bytes({0x1B, 'S'})},
        {"UTF-8 goes back to one byte", [](PosService& s) { s.setTextEncoding(65001); },
         bytes({0x1C, '(', 'C', 2, 0, 48, 1})},
        {"Shift JIS ends double-byte mode, its table and character set",
         [](PosService& s) { s.setTextEncoding(932); },
         bytes({0x1C, '.', 0x1B, 't', 0, 0x1B, 'R', 0})},
        {"another table and character set",
         [](PosService& s) {
             s.setTextEncoding(866);
             s.setInternationalCharacterset(3);
         },
         bytes({0x1B, 't', 0, 0x1B, 'R', 0})},
    };
    for (const Ending& e : endings) {
        for (bool keepOpen : {false, true}) {
            SCOPED_TRACE(std::string(e.name) + (keepOpen ? ", kept open" : ", closed"));
            MemoryPrinter printer;
            e.job(*printer.service);
            const size_t before = printer.state->writes.size();
            ASSERT_EQ(keepOpen ? printer.service->restoreStandardState() : printer.service->close(),
                      DRAVIX_SUCCESS);
            std::string ending;
            for (size_t i = before; i < printer.state->writes.size(); ++i)
                ending += printer.state->writes[i];
            EXPECT_EQ(hex(ending), hex(e.expected));
        }
    }
    // The next job on a handle kept open starts as on a fresh one: texts in 437.
    MemoryPrinter printer;
    printer.service->setTextEncoding(1252);
    printer.service->restoreStandardState();
    printer.state->writes.clear();
    ASSERT_EQ(printer.service->printText(u"é", nullptr), DRAVIX_SUCCESS);
    EXPECT_EQ(hex(printer.sent()), hex(kSelect437 + textStyle(0, 0, 0, 0, 0, 0, 0, 0) + "\x82"));
}

TEST(PosFunctions, PortTextsNameThePortAndAGatewayDeviceSurvivesThePortSuffix) {
    struct Text {
        int portType;
        const char16_t* text;
        bool usable;
        std::u16string portName;
        int deviceId;
    };
    const Text texts[] = {
        {DRAVIX_PORT_NETWORK, u"192.168.0.20", true, u"192.168.0.20", 0},
        {DRAVIX_PORT_NETWORK, u"192.168.0.20:6101", true, u"192.168.0.20:6101", 0},
        {DRAVIX_PORT_SERIAL, u"COM1:9600:8:0:0:0", true, u"COM1:9600:8:0:0:0", 0},
        {DRAVIX_PORT_NETWORK, u"12@192.168.0.20:6101", true, u"192.168.0.20:6101", 12},
        {DRAVIX_PORT_USB, u"254@/dev/usb/lp0", true, u"/dev/usb/lp0", 254},
        {DRAVIX_PORT_NETWORK, u"0@192.168.0.20", false, u"", 0},
        {DRAVIX_PORT_NETWORK, u"255@192.168.0.20", false, u"", 0},
        {DRAVIX_PORT_NETWORK, u"x@192.168.0.20", false, u"", 0},
        {DRAVIX_PORT_NETWORK, u"12@", false, u"", 0},
        {DRAVIX_PORT_NETWORK, u"", false, u"", 0},
        {8, u"192.168.0.20", false, u"", 0},
    };
    for (const Text& t : texts) {
        std::optional<PortTarget> target = parsePortTarget(t.portType, t.text);
        ASSERT_EQ(target.has_value(), t.usable) << "entry " << (&t - texts);
        if (!target)
            continue;
        EXPECT_EQ(target->portName, t.portName);
        EXPECT_EQ(target->deviceId, t.deviceId);
    }
}

int statusCodes[8];
int statusCount = 0;
void collectStatus(int code) {
    if (statusCount < 8)
        statusCodes[statusCount] = code;
    ++statusCount;
}

TEST(PosFunctions, StatusReachesTheCallbackOncePerChangeWithItsClearedCode) {
    MemoryPrinter printer;
    PosService& s = *printer.service;
    statusCount = 0;
    s.setStatusCallback(collectStatus);
    s.onAutomaticStatus(DRAVIX_STATUS_COVER_OPEN);
    s.onAutomaticStatus(DRAVIX_STATUS_COVER_OPEN);
    s.onAutomaticStatus(DRAVIX_STATUS_COVER_OPEN | DRAVIX_STATUS_PAPER_EMPTY);
    s.onAutomaticStatus(0);
    s.onConnection(false);
    ASSERT_EQ(statusCount, 5);
    EXPECT_EQ(statusCodes[0], DRAVIX_STATUS_COVER_OPEN);
    EXPECT_EQ(statusCodes[1], DRAVIX_STATUS_PAPER_EMPTY);
    EXPECT_EQ(statusCodes[2], DRAVIX_STATUS_COVER_OPEN | DRAVIX_STATUS_CLEARED);
    EXPECT_EQ(statusCodes[3], DRAVIX_STATUS_PAPER_EMPTY | DRAVIX_STATUS_CLEARED);
    EXPECT_EQ(statusCodes[4], DRAVIX_STATUS_DISCONNECTED);
    // The real-time answers: cover open (DLE EOT 2 bit 2) and paper end (DLE EOT 4).
    printer.state->replies.push_back(bytes({0x12, 0x16, 0x12, 0x72}));
    EXPECT_EQ(s.checkPrinterStatus(), DRAVIX_STATUS_COVER_OPEN | DRAVIX_STATUS_PAPER_EMPTY);
    EXPECT_EQ(hex(printer.state->writes.back()),
              hex(bytes({0x10, 4, 1, 0x10, 4, 2, 0x10, 4, 3, 0x10, 4, 4})));
    EXPECT_EQ(statusCount, 7);
    EXPECT_EQ(s.checkPrinterStatus(), DRAVIX_E_NO_REPLY);
    EXPECT_EQ(s.asbEnable(5), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.state->watching, 1);
}

TEST(PosFunctions, ModelNameKeepsItsUnderscoreAndIsCutToTheBuffer) {
    MemoryPrinter printer;
    printer.state->replies.push_back(std::string("\x12_VPRINTER-M1\0", 15));
    cvn_wchar name[128] = {};
    ASSERT_EQ(printer.service->getModelName(name, sizeof name), DRAVIX_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"_VPRINTER-M1");
    EXPECT_EQ(hex(printer.state->writes.back()), hex(bytes({0x1D, 'I', 67})));
    printer.state->replies.push_back(std::string("_VPRINTER-M1\0", 13));
    cvn_wchar small[4] = {1, 1, 1, 1};
    ASSERT_EQ(printer.service->getModelName(small, sizeof small), DRAVIX_SUCCESS);
    EXPECT_EQ(std::u16string(small), u"_VP");
    EXPECT_EQ(printer.service->getModelName(name, sizeof name), DRAVIX_E_NO_REPLY);
    EXPECT_EQ(printer.service->getModelName(nullptr, 256), DRAVIX_E_BAD_ARGUMENT);
}

}  // namespace
