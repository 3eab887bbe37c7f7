// The POS printer controller through the real POS library and cvnport to the virtual
// printer on loopback: what a job, the test receipt and a watched printer's faults do
// at a printer.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "ThermalPrinterController.h"
#include "VirtualPrinter.h"

namespace {

using vprinter::PrinterCondition;

class PosBridgeIntegration : public BridgeTest {
protected:
    PosBridgeIntegration() {
        EXPECT_TRUE(printer.start());
        addPrinter({"Till", 2, kPortWiredNetwork, "127.0.0.1", printer.ports()[0]});
        addPrinter({"Watched", 2, kPortWiredNetwork, "127.0.0.1", printer.ports()[0], "", 1});
    }

    std::unique_ptr<CThermalPrinterController> start(bool watch) {
        ThermalPrinterOptions options;
        options.watchPrinters = watch;
        options.libraryName = "Dravix";
        options.messageViews = views.factory();
        return std::make_unique<CThermalPrinterController>(devices, options);
    }

    // The printer decodes on its own thread: what a host sent is there once the element
    // that ends it has arrived.
    bool arrived(const char* type) {
        return printer.journal().waitForCount(type, 1, std::chrono::seconds(10));
    }
    Lines texts() {
        Lines values;
        for (const auto& element : printer.journal().elements("text"))
            values.push_back(element["text"].asString());
        return values;
    }

    vprinter::VirtualPrinter printer;
};

TEST_F(PosBridgeIntegration, AJobPrintsItsTextAndCutAndLeavesNoConnectionOpen) {
    auto controller = start(false);
    ApiCallList job = {call("printText", {"Two coffees\n", "0", "0", "1", "1", "1", "0", "0"}),
                       call("cutPaper", {"65"})};
    EXPECT_EQ(controller->processAPIData(job, "Till"), 2);
    ASSERT_TRUE(arrived("cut"));
    EXPECT_EQ(texts(), Lines{"Two coffees"});
    EXPECT_TRUE(printer.waitForOpenConnections(0, std::chrono::seconds(10)));
}

TEST_F(PosBridgeIntegration, TestReceiptArrivesWithLogoAddressBodyBarcodeCutAndDrawer) {
    auto controller = start(false);
    EXPECT_EQ(controller->printTestPage("Till"), 1);
    ASSERT_TRUE(arrived("drawer"));
    auto images = printer.journal().elements("image");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]["width"].asInt(), 240);  // the logo at its own size
    Lines printed = texts();
    ASSERT_GE(printed.size(), 4u);
    EXPECT_EQ(Lines(printed.begin(), printed.begin() + 4),
              (Lines{"Halvard Print Works", "7 Quay Lane, Harbourtown", "HT1 2AB Northshire",
                     "Tel. +00 000 555 0100"}));
    EXPECT_EQ(printed.back(), "shop.halvard.example");
    auto barcodes = printer.journal().elements("barcode");
    ASSERT_EQ(barcodes.size(), 1u);
    EXPECT_EQ(barcodes[0]["data"].asString(), "1234567890123456");
    EXPECT_EQ(barcodes[0]["module"].asInt(), 3);
    EXPECT_EQ(printer.journal().elements("cut").size(), 1u);
}

// A watched printer's connection serves job after job: the next job must not find the
// printer in the page mode and encoding the last one left it in.
TEST_F(PosBridgeIntegration, AJobOnAWatchedPrinterEndsThePageModeAndUtf8ItBegan) {
    auto controller = start(true);
    ASSERT_TRUE(arrived("automatic_status"));
    ApiCallList first = {call("setTextEncoding", {"65001"}), call("setPagemode", {"1"}),
                         call("printText", {"Caf\xc3\xa9\n", "0", "0", "0", "0", "0", "0", "0"})};
    ASSERT_EQ(controller->processAPIData(first, "Watched"), 2);
    ApiCallList second = {call("printText", {"Next\n", "0", "0", "0", "0", "0", "0", "0"})};
    ASSERT_EQ(controller->processAPIData(second, "Watched"), 2);
    ASSERT_TRUE(printer.journal().waitForCount("text", 2, std::chrono::seconds(10)));
    Lines order;
    for (const auto& element : printer.journal().elements()) {
        std::string type = element["type"].asString();
        if (type == "encoding")
            type += element["utf8"].asBool() ? " utf8" : " one byte";
        if (type == "text")
            type += " " + element["codepage"].asString();
        if (type != "automatic_status" && type != "idle_probe")
            order.push_back(type);
    }
    EXPECT_EQ(order, (Lines{"encoding utf8", "page_begin", "text 65001", "page_discard",
                            "encoding one byte", "double_byte", "codepage", "text 437"}))
        << ::testing::PrintToString(order);
}

// The watched printer reports by itself: each fault reaches the pop-up once, in the
// order it happened, and the fault clearing shows nothing.
TEST_F(PosBridgeIntegration, AWatchedPrintersFaultsReachThePopupOnceEachInOrder) {
    auto controller = start(true);
    ASSERT_TRUE(arrived("automatic_status"));
    printer.changeCondition([](PrinterCondition& c) { c.coverOpen = true; });
    EXPECT_EQ(views.waitFor(1), Lines{"Cover open!!"});
    printer.changeCondition([](PrinterCondition& c) { c.coverOpen = false; });
    printer.changeCondition([](PrinterCondition& c) { c.paperOut = true; });
    EXPECT_EQ(views.waitFor(2), (Lines{"Cover open!!", "Paper empty!!"}));
    controller->close();
    EXPECT_TRUE(printer.waitForOpenConnections(0, std::chrono::seconds(10)));
}

}  // namespace
