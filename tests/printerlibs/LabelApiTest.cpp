// The label library as the service links it: its exports, through the real cvnport, to
// a printer on a loopback port.
#include <gtest/gtest.h>

#include <chrono>

#include "ScriptedPeer.h"
#include "TempHome.h"
#include "TextRasterizer.h"
#include "TraceFiles.h"
#include "cvnlblapi.h"

namespace {

using std::chrono::seconds;

const std::string kPaperOut =
    "\x02"
    "030,1,0,1218,000,0,0,0,000,0,0,0\x03\r\n\x02"
    "000,0,0,0,0,2,4,0,00000000,1,000\x03\r\n"
    "\x02"
    "1234,0\x03\r\n";
const std::string kHeadOpen =
    "\x02\r\nPRINTER STATUS\r\n ERRORS: 1 00000000 00000004\r\n WARNINGS: 0 00000000 00000000\r\n"
    "\x03\r\n";

class LabelApi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.start());
        ASSERT_EQ(ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", peer.port(), 0, 0, 0),
                  CVNLBL_SUCCESS);
        ASSERT_TRUE(peer.waitForOpenConnections(1, seconds(10)));
    }
    void TearDown() override { DisconnectPrinter(); }

    // The bytes of one label, once its end has arrived.
    std::string receivedLabel() {
        for (int i = 0; i < 100 && peer.received().find("^XZ") == std::string::npos; ++i)
            peer.waitForBytes(peer.receivedCount() + 1, std::chrono::milliseconds(100));
        return peer.received();
    }

    TempHome home;
    vprinter::ScriptedPeer peer;
};

TEST_F(LabelApi, Utf16AndCodePageTextArriveAsUtf8UnderCi28) {
    ASSERT_EQ(ClearBuffer(), 1);
    ASSERT_EQ(PrintDeviceFontW(10, 20, CVNLBL_FONT_28X15, 1, 1, 0, 0, 0, u"Gr\u00FC\u00DFe"), 1);
    ASSERT_EQ(PrintDeviceFont(10, 60, CVNLBL_FONT_28X15, 1, 1, 0, 0, "caf\xC3\xA9 ~JA"), 1);
    ASSERT_EQ(Prints(1, 1), 1);
    EXPECT_EQ(receivedLabel(),
              "^XA^CI28^PW812^LL1218^LH0,0"
              "^FO10,20^AEN,28,15^FH^FDGr\xC3\xBC\xC3\x9F"
              "e^FS"
              "^FO10,60^AEN,28,15^FH^FDcaf\xC3\xA9 _7EJA^FS^PQ1^XZ");
}

TEST_F(LabelApi, StatusReadsReportPaperEmptyAndCoverOpen) {
    peer.addReply("~HS", kPaperOut);
    EXPECT_EQ(checkStatus(), CVNLBL_STATUS_PAPER_EMPTY);
    peer.addReply("~HQES", kHeadOpen);
    int code = CVNLBL_STATUS_PENDING;
    for (int i = 0; i < 500 && code == CVNLBL_STATUS_PENDING; ++i)
        code = ReadStatus();
    EXPECT_EQ(code, CVNLBL_STATUS_COVER_OPEN);
}

TEST_F(LabelApi, PrinterNameComesFromTheIdentityAnswer) {
    peer.addReply("~HI", "\x02LABELMAKER-200,V60.1,8,8192KB\x03\r\n");
    char name[256] = {};
    ASSERT_EQ(GetPrinterName(name, sizeof name), 1);
    EXPECT_STREQ(name, "LABELMAKER-200");
}

TEST_F(LabelApi, TestLabelArrivesWhole) {
    bool hangul = CTextRasterizer::render(U"\uD55C", TextStyle{}).has_value();
    const char* word = "\xED\x95\x9C\xEA\xB8\x80";              // a Korean sample word
    const char* face = "\xEB\x8F\x8B\xEC\x9B\x80\xEC\xB2\xB4";  // a face named in Korean
    ASSERT_EQ(ClearBuffer(), 1);
    EXPECT_EQ(PrintBlock(50, 50, 500, 250, 0, 0), 1);
    EXPECT_EQ(PrintBlock(50, 300, 500, 305, 0, 0), 1);
    EXPECT_EQ(PrintBlock(50, 350, 500, 500, 4, 5), 1);
    EXPECT_EQ(PrintTrueFontLib(100, 380, face, 50, 0, 0, 1, 0, word, 0),
              hangul ? 1 : CVNLBL_E_TEXT_NOT_DRAWABLE);
    if (!hangul) {
        ASSERT_EQ(ClearBuffer(), 1);
    }
    EXPECT_EQ(PrintDeviceFont(100, 100, 6, 1, 1, 0, 0, "CORVANE"), 1);
    EXPECT_EQ(PrintDeviceFont(100, 520, 4, 1, 1, 0, 0, "CORVANE"), 1);
    EXPECT_EQ(PrintDeviceFont(100, 560, 4, 1, 1, 0, 1, "CORVANE"), 1);
    EXPECT_EQ(PrintDeviceFont(100, 620, 100, 2, 2, 0, 1, word), hangul ? 1 : -9);
    if (!hangul) {
        ASSERT_EQ(ClearBuffer(), 1);
    }
    EXPECT_EQ(
        PrintDirect("B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'", 0),
        1);
    EXPECT_EQ(PrintQRCode(100, 780, 2, 2, 4, 0, "QRCode sample test 123"), 1);
    EXPECT_EQ(PrintImageLib(100, 900, "CORVANE.bmp", 1, 1), 1);
    ASSERT_EQ(Prints(1, 1), 1);

    std::string label = receivedLabel();
    EXPECT_EQ(label.rfind("^XA^CI28^PW812^LL1218^LH0,0", 0), 0u);
    EXPECT_EQ(label.substr(label.size() - 7), "^PQ1^XZ");
    for (const char* piece :
         {"^FO50,50^GB450,200,1^FS", "^FO50,300^GB450,5,1^FS", "^FO50,350^GB450,150,5,B,4^FS",
          "^FO100,100^AGN,60,40^FH^FDCORVANE^FS", "^FO100,560^AEN,28,15^FR^FH^FDCORVANE^FS",
          "B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'",
          "^FO100,780^BQN,2,4^FH^FDQA,QRCode sample test 123^FS", "^FO100,900^GFA,2400,2400,20,"})
        EXPECT_NE(label.find(piece), std::string::npos) << piece;
    if (hangul) {
        EXPECT_NE(label.find("^FO100,380^GFA,"), std::string::npos);
        EXPECT_NE(label.find("^FO100,620^FR^GFA,"), std::string::npos);
    }
}

TEST_F(LabelApi, MissingTextsAreRefusedAndTraced) {
    DEBUGLOG_ON();
    EXPECT_EQ(PrintDeviceFont(10, 10, 1, 1, 1, 0, 0, nullptr), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(PrintImageLibW(10, 10, 0, nullptr, 1, 1), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(Prints(1, 1), CVNLBL_E_LABEL_UNFINISHED);
    DEBUGLOG_OFF();
    EXPECT_EQ(tracefiles::count(home.path(), "a text argument is missing"), 2);
    EXPECT_EQ(tracefiles::count(home.path(), "CLabelPrinter::Prints"), 1);
}

TEST_F(LabelApi, DisconnectClosesTheConnection) {
    ASSERT_EQ(DisconnectPrinter(), 1);
    EXPECT_TRUE(peer.waitForOpenConnections(0, seconds(10)));
    EXPECT_EQ(ClearBuffer(), CVNLBL_E_NOT_CONNECTED);
}

TEST(LabelApiConnect, UnreachablePrinterFailsToConnect) {
    TempHome home;
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    peer.refuse();
    EXPECT_EQ(ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", peer.port(), 0, 0, 0),
              CVNLBL_E_PORT_OPEN);
    EXPECT_EQ(ConnectPrinter(CVNLBL_INTERFACE_NETWORK, nullptr, 9100, 0, 0, 0),
              CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(ClearBuffer(), CVNLBL_E_NOT_CONNECTED);
}

}  // namespace
