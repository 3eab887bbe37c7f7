// libDravix.so loaded as the service loads it, printing through the real cvnport to the
// virtual printer on loopback: the test receipt, queries, status reports, a printer that
// cannot be reached, a gateway with two printers, and an unload with a printer open.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "DravixLoader.h"
#include "TempHome.h"
#include "VirtualPrinter.h"

#ifndef DRAVIX_LIBRARY
#error "DRAVIX_LIBRARY must name the library under test"
#endif

namespace {

using namespace std::chrono_literals;
using vprinter::Journal;
using vprinter::VirtualPrinter;

constexpr auto kWait = 10s;

std::u16string wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

int threadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// Status codes heard by one of two callbacks (callbacks carry no context).
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> codes;

    void add(int code) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            codes.push_back(code);
        }
        changed.notify_all();
    }
    bool waitFor(int code) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait,
                                [&] { return std::count(codes.begin(), codes.end(), code) > 0; });
    }
    int count(int code) {
        std::lock_guard<std::mutex> guard(mutex);
        return static_cast<int>(std::count(codes.begin(), codes.end(), code));
    }
};
Heard heardA;
Heard heardB;
void statusA(int code) {
    heardA.add(code);
}
void statusB(int code) {
    heardB.add(code);
}

class DravixLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream logo(VEMBRIX_ASSETS "/logo.bmp", std::ios::binary);
        home.writeFile("logo.bmp", std::string(std::istreambuf_iterator<char>(logo), {}));
        std::string error;
        ASSERT_TRUE(dravix.load(DRAVIX_LIBRARY, error)) << error;
    }
    void TearDown() override { dravix.unload(); }

    static bool hasType(const Journal::Elements& elements, const std::string& type) {
        for (const auto& element : elements)
            if (element["type"].asString() == type)
                return true;
        return false;
    }

    TempHome home;
    DravixLoader dravix;
};

TEST_F(DravixLibrary, TheTestReceiptArrivesAndItsJournalReadsBackAsTheReceipt) {
    VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
    ASSERT_GT(handle, 0);
    ASSERT_EQ(dravix.getResult(handle), DRAVIX_SUCCESS);
    EXPECT_EQ(dravix.isOpen(handle), DRAVIX_SUCCESS);
    dravix.printTestReceipt(handle);
    EXPECT_EQ(dravix.getResult(handle), DRAVIX_SUCCESS);
    EXPECT_EQ(dravix.closeService(handle, 0), DRAVIX_SUCCESS);
    EXPECT_EQ(dravix.getResult(handle), DRAVIX_E_BAD_HANDLE);

    Journal& journal = printer.journal();
    ASSERT_TRUE(journal.waitFor([](const auto& e) { return hasType(e, "drawer"); }, kWait));
    auto images = journal.elements("image");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]["width"].asInt(), 240);
    EXPECT_EQ(images[0]["height"].asInt(), 96);
    EXPECT_EQ(images[0]["align"].asString(), "center");
    std::vector<std::string> lines;
    for (const auto& text : journal.elements("text"))
        lines.push_back(text["text"].asString());
    ASSERT_EQ(lines.size(), 4u + 1 + 10 + 1 + 7 + 3);
    EXPECT_EQ(lines[0], "1 Example Street");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Items 1                             100.00"),
              10);
    EXPECT_EQ(lines[21], "                          Total   1,000.00");
    EXPECT_EQ(lines.back(), "help.example.com");
    auto barcodes = journal.elements("barcode");
    ASSERT_EQ(barcodes.size(), 1u);
    EXPECT_EQ(barcodes[0]["symbology"].asString(), "CODE128");
    EXPECT_EQ(barcodes[0]["data"].asString(), "1234567890123456");
    EXPECT_EQ(barcodes[0]["height"].asInt(), 100);
    EXPECT_EQ(barcodes[0]["module"].asInt(), 3);
    EXPECT_EQ(barcodes[0]["hri"].asString(), "below");
    EXPECT_EQ(barcodes[0]["align"].asString(), "center");
    auto cuts = journal.elements("cut");
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0]["mode"].asString(), "full");
    EXPECT_EQ(journal.elements("drawer")[0]["pin"].asInt(), 2);
    EXPECT_TRUE(journal.elements("unknown").empty());
}

TEST_F(DravixLibrary, ModelNameAndStatusComeBackFromThePrinter) {
    VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
    ASSERT_EQ(dravix.getResult(handle), DRAVIX_SUCCESS);
    cvn_wchar name[128] = {};
    ASSERT_EQ(dravix.getModelName(handle, name, sizeof name), DRAVIX_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"_VPRINTER-M1");
    EXPECT_EQ(dravix.checkPrinterStatus(handle), 0);
    printer.changeCondition([](vprinter::PrinterCondition& c) { c.paperOut = true; });
    EXPECT_EQ(dravix.checkPrinterStatus(handle), DRAVIX_STATUS_PAPER_EMPTY | DRAVIX_STATUS_OFFLINE);
    dravix.closeService(handle, 0);
}

TEST_F(DravixLibrary, CoverOpenReachesTheCallbackOnceAndItsClosingAfterwards) {
    VirtualPrinter first;
    VirtualPrinter second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    heardA.codes.clear();
    heardB.codes.clear();
    int a = dravix.open(DRAVIX_PORT_NETWORK, wide(first.portName()));
    int b = dravix.open(DRAVIX_PORT_NETWORK, wide(second.portName()));
    ASSERT_EQ(dravix.getResult(a), DRAVIX_SUCCESS);
    ASSERT_EQ(dravix.getResult(b), DRAVIX_SUCCESS);
    dravix.setStatusUpdateEvent(a, statusA);
    dravix.setStatusUpdateEvent(b, statusB);
    ASSERT_EQ(dravix.asbEnable(a, 1), DRAVIX_SUCCESS);
    ASSERT_EQ(dravix.asbEnable(b, 1), DRAVIX_SUCCESS);
    ASSERT_TRUE(first.journal().waitFor(
        [](const auto& e) { return hasType(e, "automatic_status"); }, kWait));

    first.changeCondition([](vprinter::PrinterCondition& c) { c.coverOpen = true; });
    ASSERT_TRUE(heardA.waitFor(DRAVIX_STATUS_COVER_OPEN));
    first.changeCondition([](vprinter::PrinterCondition& c) { c.coverOpen = false; });
    ASSERT_TRUE(heardA.waitFor(DRAVIX_STATUS_COVER_OPEN | DRAVIX_STATUS_CLEARED));
    EXPECT_EQ(heardA.count(DRAVIX_STATUS_COVER_OPEN), 1);
    EXPECT_EQ(heardA.count(DRAVIX_STATUS_COVER_OPEN | DRAVIX_STATUS_CLEARED), 1);
    // The other watched printer heard nothing of it.
    EXPECT_EQ(heardB.count(DRAVIX_STATUS_COVER_OPEN), 0);
    dravix.closeService(a, 0);
    dravix.closeService(b, 0);
}

TEST_F(DravixLibrary, APrinterThatRefusesOrIsNotThereFailsTheOpen) {
    VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    printer.refuse(true);
    int refused = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
    EXPECT_EQ(dravix.getResult(refused), DRAVIX_E_OPEN_FAILED);
    EXPECT_EQ(dravix.isOpen(refused), DRAVIX_E_NOT_OPEN);
    EXPECT_EQ(dravix.cutPaper(refused, 0), DRAVIX_E_NOT_OPEN);
    EXPECT_EQ(dravix.closeService(refused, 0), DRAVIX_SUCCESS);
    // Texts that name no port give no handle; handle 0 is never valid.
    EXPECT_EQ(dravix.selectInterface(DRAVIX_PORT_NETWORK, nullptr), 0);
    EXPECT_EQ(dravix.selectInterface(99, u"127.0.0.1"), 0);
    EXPECT_EQ(dravix.selectInterface(DRAVIX_PORT_NETWORK, u"300@127.0.0.1"), 0);
    EXPECT_EQ(dravix.getResult(0), DRAVIX_E_BAD_HANDLE);
    int bad = dravix.open(DRAVIX_PORT_NETWORK, u"not-an-address");
    EXPECT_NE(dravix.getResult(bad), DRAVIX_SUCCESS);
    dravix.closeService(bad, 0);
}

TEST_F(DravixLibrary, TwoPrintersBehindAGatewayEachGetTheirOwnDataAndReplies) {
    vprinter::VirtualPrinterOptions options;
    options.gateway = true;
    VirtualPrinter gateway(options);
    ASSERT_TRUE(gateway.start());
    // The device identifier leads the port text, before the :port suffix.
    int eleven = dravix.open(DRAVIX_PORT_NETWORK, u"11@" + wide(gateway.portName()), false);
    int twelve = dravix.open(DRAVIX_PORT_NETWORK, u"12@" + wide(gateway.portName()), false);
    ASSERT_EQ(dravix.getResult(eleven), DRAVIX_SUCCESS);
    ASSERT_EQ(dravix.getResult(twelve), DRAVIX_SUCCESS);
    EXPECT_EQ(dravix.text(eleven, u"for eleven\n"), DRAVIX_SUCCESS);
    EXPECT_EQ(dravix.text(twelve, u"for twelve\n"), DRAVIX_SUCCESS);
    cvn_wchar name[64] = {};
    EXPECT_EQ(dravix.getModelName(twelve, name, sizeof name), DRAVIX_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"_VPRINTER-M1");
    ASSERT_TRUE(gateway.journal().waitFor(
        [](const auto& e) {
            return std::count_if(e.begin(), e.end(),
                                 [](const auto& x) { return x["type"] == "text"; }) == 2;
        },
        kWait));
    for (const auto& text : gateway.journal().elements("text"))
        EXPECT_EQ(text["text"].asString(),
                  text["channel"].asInt() == 11 ? "for eleven" : "for twelve");
    // Only channels 10 to 19 carry automatic status.
    EXPECT_EQ(dravix.asbEnable(twelve, 1), DRAVIX_SUCCESS);
    int outside = dravix.open(DRAVIX_PORT_NETWORK, u"30@" + wide(gateway.portName()), false);
    EXPECT_EQ(dravix.asbEnable(outside, 1), DRAVIX_E_NOT_SUPPORTED);
    dravix.closeService(eleven, 0);
    dravix.closeService(twelve, 0);
    dravix.closeService(outside, 0);
}

TEST_F(DravixLibrary, UnloadingWithAWatchedPrinterOpenLeavesNoThreadOrConnection) {
    VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    int before = threadCount();
    for (int round = 0; round < 2; ++round) {
        int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
        ASSERT_EQ(dravix.getResult(handle), DRAVIX_SUCCESS);
        dravix.setStatusUpdateEvent(handle, statusA);
        dravix.asbEnable(handle, 1);
        ASSERT_TRUE(printer.waitForOpenConnections(1, kWait));
        dravix.unload();
        EXPECT_TRUE(printer.waitForOpenConnections(0, kWait));
        EXPECT_EQ(threadCount(), before);
        std::string error;
        ASSERT_TRUE(dravix.load(DRAVIX_LIBRARY, error)) << error;
    }
}

TEST_F(DravixLibrary, ManyThreadsPrintingOnTheirOwnHandlesKeepEveryLineWhole) {
    VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    constexpr int kThreads = 4;
    constexpr int kLines = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
            for (int i = 0; i < kLines; ++i)
                dravix.text(handle, u"thread " + wide(std::to_string(t)) + u" line\n");
            dravix.closeService(handle, 0);
        });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(printer.journal().waitFor(
        [](const auto& e) {
            return std::count_if(e.begin(), e.end(), [](const auto& x) {
                       return x["type"] == "text";
                   }) == kThreads * kLines;
        },
        kWait));
    for (const auto& text : printer.journal().elements("text"))
        EXPECT_EQ(text["text"].asString().size(), std::string("thread 0 line").size());
}

}  // namespace
