// Both bridges are used by the worker (jobs), the window (test prints) and, for watched
// POS printers, the library's status thread at once. Their operations on one printer
// must not interleave, and nothing may race (the ThreadSanitizer build checks that).
#include <thread>

#include "BridgeTestSupport.h"
#include "DravixDouble.h"
#include "LabelLibraryDouble.h"
#include "LabelPrinterApi.h"
#include "ThermalPrinterController.h"

namespace {

constexpr int kJobs = 40;
constexpr int kTestPrints = 8;

// How many runs of calls begin with `first` and go on with calls that begin with `rest`,
// unbroken; -1 when one is broken.
int wholeRuns(const Lines& calls, const std::string& first, const Lines& rest) {
    int runs = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] != first)
            continue;
        if (i + rest.size() >= calls.size())
            return -1;
        for (size_t k = 0; k < rest.size(); ++k)
            if (!calls[i + 1 + k].starts_with(rest[k]))
                return -1;
        ++runs;
    }
    return runs;
}

class BridgeThreadsTest : public BridgeTest {};

TEST_F(BridgeThreadsTest, LabelTestPrintNeverLandsInsideAJobsLabel) {
    labeldouble::recorder().reset();
    addPrinter({"Labels", 1, kPortWiredNetwork, "192.168.0.20", 9100});
    CLabelPrinterApi bridge(devices, {{}, views.factory()});
    std::thread worker([&] {
        for (int i = 0; i < kJobs; ++i) {
            ApiCallList job = {BridgeTest::call("ClearBuffer"),
                               BridgeTest::call("PrintCircle", {"1", "1", "1", "1"}),
                               BridgeTest::call("Prints", {"2", "2"})};
            std::string readStatus;
            EXPECT_EQ(bridge.processAPIData("Labels", job, i, "RESP", readStatus), 2);
        }
    });
    for (int i = 0; i < kTestPrints; ++i)
        EXPECT_EQ(bridge.printTestPage("Labels"), 1);
    worker.join();
    const Lines calls = labeldouble::recorder().calls();
    EXPECT_EQ(wholeRuns(calls, "PrintCircle(1,1,1,1)", {"Prints(2,2)"}), kJobs);
    EXPECT_EQ(wholeRuns(calls, "PrintBlock(50,50,500,250,0,0)",
                        {"PrintBlock(50,300,", "PrintBlock(50,350,", "PrintTrueFontLib(",
                         "PrintDeviceFont(", "PrintDeviceFont(", "PrintDeviceFont(",
                         "PrintDeviceFont(", "PrintDirect(", "PrintQRCode(", "PrintImageLib(",
                         "Prints(1,1)", "DisconnectPrinter()"}),
              kTestPrints);
}

TEST_F(BridgeThreadsTest, OperationsOnAWatchedPrinterRunOneAtATimeWhileItReportsStatus) {
    dravixdouble::reset();
    addPrinter({"Watched", 2, kPortWiredNetwork, "192.168.0.30", 9100, "", 1});
    ThermalPrinterOptions options;
    options.libraryName = "DravixDouble";
    options.messageViews = views.factory();
    CThermalPrinterController controller(devices, options);
    controller.showMessage("", "started");
    views.waitFor(1);  // until then a later message would replace the first
    std::thread worker([&] {
        for (int i = 0; i < kJobs; ++i) {
            ApiCallList job = {BridgeTest::call("cutPaper", {"1"}),
                               BridgeTest::call("openDrawer", {"0"})};
            EXPECT_EQ(controller.processAPIData(job, "Watched"), 2);
        }
    });
    std::thread statusReports([] {
        for (int i = 0; i < kTestPrints; ++i)
            dravixdouble::reportStatus(1);
    });
    for (int i = 0; i < kTestPrints; ++i)
        EXPECT_EQ(controller.printTestPage("Watched"), 1);
    worker.join();
    statusReports.join();
    Lines expected(kTestPrints, "Cover open!!");
    expected.insert(expected.begin(), "started");
    EXPECT_EQ(views.waitFor(expected.size()), expected);
    controller.close();
    const Lines calls = dravixdouble::recorder().calls();
    EXPECT_EQ(wholeRuns(calls, "cutPaper(1,1)", {"openDrawer(1,0)"}), kJobs);
    EXPECT_EQ(wholeRuns(calls, "setTransaction(1,1)",
                        {"printBitmapFile(1,", "printText(1,", "printText(1,", "printText(1,",
                         "print1DBarcode(1,", "cutPaper(1,65)", "openDrawer(1,0)",
                         "setTransaction(1,0)"}),
              kTestPrints);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "closeService(1,0)"), 1);
}

}  // namespace
