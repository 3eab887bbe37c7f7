// The label library as the service links it, through the real cvnport, to the virtual
// printer's ZPL side on loopback: what arrives is read back from the printer's journal,
// and its faults and held answers come back through the status functions.
#include <gtest/gtest.h>

#include <chrono>

#include "JournalMatch.h"
#include "TempHome.h"
#include "TextRasterizer.h"
#include "VirtualPrinter.h"
#include "cvnlblapi.h"

namespace {

using std::chrono::seconds;
using vprinter::PrinterCondition;

class LabelOnVirtualPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printer.start());
        ASSERT_EQ(
            ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", printer.ports()[0], 0, 0, 0),
            CVNLBL_SUCCESS);
    }
    void TearDown() override { DisconnectPrinter(); }

    static vprinter::VirtualPrinterOptions zplPrinter() {
        vprinter::VirtualPrinterOptions options;
        options.listeners = {{0, "zpl"}};
        options.identity.model = "LBL-4T";
        return options;
    }

    TempHome home;
    vprinter::VirtualPrinter printer{zplPrinter()};
};

TEST_F(LabelOnVirtualPrinter, TheTestLabelArrivesAndReadsBackAsThatLabel) {
    // Fails when an element of the bridge's test label is lost, misplaced or garbled on
    // its way through cvnport, or the printer cannot read it back.
    const char* word = "\xEC\x83\x98\xED\x94\x8C";              // the Korean sample word
    const char* face = "\xEB\x8F\x8B\xEC\x9B\x80\xEC\xB2\xB4";  // a face named in Korean
    ASSERT_TRUE(CTextRasterizer::render(U"\uC0D8", TextStyle{}).has_value())
        << "no installed font draws Hangul (fonts-nanum)";
    ASSERT_EQ(ClearBuffer(), 1);
    ASSERT_EQ(PrintBlock(50, 50, 500, 250, 0, 0), 1);
    ASSERT_EQ(PrintBlock(50, 300, 500, 305, 0, 0), 1);
    ASSERT_EQ(PrintBlock(50, 350, 500, 500, 4, 5), 1);
    ASSERT_EQ(PrintTrueFontLib(100, 380, face, 50, 0, 0, 1, 0, word, 0), 1);
    ASSERT_EQ(PrintDeviceFont(100, 100, 6, 1, 1, 0, 0, "CORVANE"), 1);
    ASSERT_EQ(PrintDeviceFont(100, 520, 4, 1, 1, 0, 0, "CORVANE"), 1);
    ASSERT_EQ(PrintDeviceFont(100, 560, 4, 1, 1, 0, 1, "CORVANE"), 1);
    ASSERT_EQ(PrintDeviceFont(100, 620, 100, 2, 2, 0, 1, word), 1);
    ASSERT_EQ(
        PrintDirect("B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'", 0),
        1);
    ASSERT_EQ(PrintQRCode(100, 780, 2, 2, 4, 0, "QRCode sample test 123"), 1);
    ASSERT_EQ(PrintImageLib(100, 900, "CORVANE.bmp", 1, 1), 1);
    ASSERT_EQ(Prints(1, 1), 1);

    ASSERT_TRUE(printer.journal().waitFor(
        [](const auto& elements) {
            return !elements.empty() && elements.back()["type"] == "label_end";
        },
        seconds(10)));
    EXPECT_EQ(journalmatch::mismatch(
                  printer.journal().elements(),
                  {R"({"type":"label_start","language":"zpl"})",
                   R"({"type":"setting","name":"encoding","parameters":["28"]})",
                   R"({"type":"setting","name":"print_width","parameters":["812"]})",
                   R"({"type":"setting","name":"label_length","parameters":["1218"]})",
                   R"({"type":"setting","name":"label_home","parameters":["0","0"]})",
                   R"({"type":"box","x":50,"y":50,"width":450,"height":200,"thickness":1})",
                   R"({"type":"box","x":50,"y":300,"width":450,"height":5})",
                   R"({"type":"box","x":50,"y":350,"width":450,"height":150,"thickness":5,
                       "rounding":4})",
                   R"({"type":"graphic","x":100,"y":380,"format":"A"})",
                   R"({"type":"field","x":100,"y":100,"font":"G","height":60,"width":40,
                       "text":"CORVANE"})",
                   R"({"type":"field","x":100,"y":520,"font":"E","text":"CORVANE"})",
                   R"({"type":"field","x":100,"y":560,"reverse":true,"text":"CORVANE"})",
                   R"({"type":"graphic","x":100,"y":620,"reverse":true})",
                   R"({"type":"unknown","text":
                       "B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'"})",
                   R"({"type":"barcode","symbology":"QR","x":100,"y":780,
                       "data":"QRCode sample test 123"})",
                   R"({"type":"graphic","x":100,"y":900,"bytes":2400,"bytes_per_row":20,
                       "rows":120,"data_bytes":2400})",
                   R"({"type":"quantity","quantity":1})", R"({"type":"label_end"})"}),
              "");
    // The drawn word's graphic holds every byte its header promises.
    auto graphics = printer.journal().elements("graphic");
    ASSERT_EQ(graphics.size(), 3u);
    EXPECT_EQ(graphics[0]["data_bytes"], graphics[0]["bytes"]);
    EXPECT_GT(graphics[0]["black"].asInt(), 0);
}

TEST_F(LabelOnVirtualPrinter, EachFaultReadsBackAsItsStatusCode) {
    // Fails when the printer's answer and the library's reading of it disagree on where
    // a flag lives.
    const std::pair<void (*)(PrinterCondition&), int> faults[] = {
        {[](PrinterCondition&) {}, CVNLBL_STATUS_OK},
        {[](PrinterCondition& c) { c.paperOut = true; }, CVNLBL_STATUS_PAPER_EMPTY},
        {[](PrinterCondition& c) { c.coverOpen = true; }, CVNLBL_STATUS_COVER_OPEN},
        {[](PrinterCondition& c) { c.headOpen = true; }, CVNLBL_STATUS_COVER_OPEN},
        {[](PrinterCondition& c) { c.ribbonOut = true; }, CVNLBL_STATUS_RIBBON_END},
        {[](PrinterCondition& c) { c.paused = true; }, CVNLBL_STATUS_PAUSED},
    };
    for (const auto& [fault, code] : faults) {
        printer.changeCondition([&](PrinterCondition& c) {
            c = PrinterCondition{};
            fault(c);
        });
        EXPECT_EQ(checkStatus(), code);
    }
    char name[256] = {};
    ASSERT_EQ(GetPrinterName(name, sizeof name), 1);
    EXPECT_STREQ(name, "LBL-4T");
}

TEST_F(LabelOnVirtualPrinter, ReadStatusIsPendingWhileThePrinterHoldsItsAnswer) {
    // Fails when ReadStatus blocks for the answer or makes one up before it came.
    printer.changeCondition([](PrinterCondition& c) { c.paperOut = true; });
    printer.hold(true);
    EXPECT_EQ(ReadStatus(), CVNLBL_STATUS_PENDING);
    ASSERT_TRUE(printer.journal().waitFor([](const auto& elements) { return elements.size() == 2; },
                                          seconds(10)));
    EXPECT_EQ(ReadStatus(), CVNLBL_STATUS_PENDING);
    printer.hold(false);
    int code = CVNLBL_STATUS_PENDING;
    for (int i = 0; i < 500 && code == CVNLBL_STATUS_PENDING; ++i)
        code = ReadStatus();
    EXPECT_EQ(code, CVNLBL_STATUS_PAPER_EMPTY);
}

TEST(LabelOnNoPrinter, APortWithoutAListenerFailsToConnect) {
    // Fails when a refused connection is reported as connected.
    TempHome home;
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    int port = printer.ports()[0];
    printer.stop();
    EXPECT_EQ(ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", port, 0, 0, 0),
              CVNLBL_E_PORT_OPEN);
    EXPECT_EQ(checkStatus(), CVNLBL_E_NOT_CONNECTED);
}

}  // namespace
