// The label printer bridge through the real label library and cvnport to the virtual
// printer on loopback: what a job, raw data and the test label become at a printer.
#include <gtest/gtest.h>

#include <algorithm>

#include "BridgeTestSupport.h"
#include "LabelPrinterApi.h"
#include "VirtualPrinter.h"

namespace {

vprinter::VirtualPrinterOptions zplPrinter() {
    vprinter::VirtualPrinterOptions options;
    options.listeners = {{0, "zpl"}};
    return options;
}

class LabelBridgeIntegration : public BridgeTest {
protected:
    LabelBridgeIntegration() {
        EXPECT_TRUE(printer.start());
        addPrinter({"Labels", 1, kPortWiredNetwork, "127.0.0.1", printer.ports()[0]});
    }

    // The printer decodes on its own thread: a label is all there once it has ended.
    bool labelsArrived(size_t count) {
        return printer.journal().waitForCount("label_end", count, std::chrono::seconds(10));
    }
    Lines fieldTexts() {
        Lines texts;
        for (const auto& field : printer.journal().elements("field"))
            texts.push_back(field["text"].asString());
        return texts;
    }

    vprinter::VirtualPrinter printer{zplPrinter()};
    CLabelPrinterApi bridge{devices, {{}, views.factory()}};
    std::string readStatus;
};

TEST_F(LabelBridgeIntegration, AJobPrintsItsLabelAndRawDataEndsAtItsFirstZero) {
    ApiCallList job = {call("ClearBuffer"),
                       call("PrintDeviceFont", {"80", "80", "4", "2", "2", "0", "0", "Parcel 7"}),
                       call("Prints", {"1", "1"})};
    EXPECT_EQ(bridge.processAPIData("Labels", job, 1, "RESP", readStatus), 2);
    ASSERT_TRUE(labelsArrived(1));
    EXPECT_EQ(fieldTexts(), Lines{"Parcel 7"});

    EXPECT_EQ(bridge.printRaw("Labels", std::string("^XA^FO10,10^FDRaw^FS^XZ\0^XA^XZ", 30), "RESP"),
              2);
    ASSERT_TRUE(labelsArrived(2));
    EXPECT_EQ(fieldTexts(), (Lines{"Parcel 7", "Raw"}));
    EXPECT_TRUE(printer.waitForOpenConnections(0, std::chrono::seconds(10)));
    EXPECT_EQ(printer.journal().elements("label_start").size(), 2u);
}

// The library holds one connection, left open after a job: a status query for another
// printer must reach that printer, and fail when it cannot be reached.
TEST_F(LabelBridgeIntegration, AStatusQueryGoesToThePrinterAskedNotTheOneLeftOpen) {
    vprinter::VirtualPrinter other{zplPrinter()};
    vprinter::VirtualPrinter gone{zplPrinter()};
    ASSERT_TRUE(other.start() && gone.start());
    gone.refuse(true);
    addPrinter({"Other", 1, kPortWiredNetwork, "127.0.0.1", other.ports()[0]});
    addPrinter({"Gone", 1, kPortWiredNetwork, "127.0.0.1", gone.ports()[0]});
    ApiCallList job = {call("ClearBuffer"), call("Prints", {"1", "1"})};
    ASSERT_EQ(bridge.processAPIData("Labels", job, 1, "RESP", readStatus), 2);
    ApiCallList toGone = {call("checkStatus")};
    EXPECT_EQ(bridge.processAPIData("Gone", toGone, 2, "RESP", readStatus), 3);
    ApiCallList toOther = {call("checkStatus")};
    EXPECT_EQ(bridge.processAPIData("Other", toOther, 3, "RESP", readStatus), 2);
    EXPECT_FALSE(other.journal().elements("status_query").empty());
    EXPECT_TRUE(printer.journal().elements("status_query").empty());
}

TEST_F(LabelBridgeIntegration, TestLabelArrivesWithItsTextsCodeAndPicture) {
    EXPECT_EQ(bridge.printTestPage("Labels"), 1);
    ASSERT_TRUE(labelsArrived(1));
    Lines texts = fieldTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "CORVANE"), 3)
        << ::testing::PrintToString(texts);
    auto barcodes = printer.journal().elements("barcode");
    ASSERT_EQ(barcodes.size(), 1u);
    EXPECT_EQ(barcodes[0]["data"].asString(), "QRCode sample test 123");
    // The true-type word, the Korean word no device font has, and the picture.
    EXPECT_EQ(printer.journal().elements("graphic").size(), 3u);
    EXPECT_EQ(printer.journal().elements("quantity").size(), 1u);
}

}  // namespace
