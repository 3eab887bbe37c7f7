#include "LabelPrinterApi.h"

#include <algorithm>

#include "BridgeTestSupport.h"
#include "FakeClock.h"
#include "LabelLibraryDouble.h"
#include "ProgramFiles.h"

namespace {

using labeldouble::recorder;

class LabelPrinterApiTest : public BridgeTest {
protected:
    LabelPrinterApiTest() {
        recorder().reset();
        addPrinter({"Labels", 1, kPortWiredNetwork, "192.168.0.20", 9100});
        addPrinter({"Usb", 1, kPortUsb, "/dev/usb/lp0", kDefaultBaudRate, "ZX-420"});
    }

    int runJob(const std::string& printer, ApiCallList& job) {
        return bridge.processAPIData(printer, job, 7, "RESP", readStatus);
    }
    int runJob(const std::string& printer, ApiCallList&& job) { return runJob(printer, job); }
    int runCall(const ApiCall& single) { return runJob("Labels", ApiCallList{single}); }
    static int count(const std::string& prefix) {
        Lines calls = recorder().calls();
        return static_cast<int>(std::count_if(
            calls.begin(), calls.end(), [&](const auto& c) { return c.rfind(prefix, 0) == 0; }));
    }

    FakeClock clock;
    platform::ScopedClock useClock{clock};
    int64_t waitedMs = 0;
    CLabelPrinterApi bridge{devices,
                            {[this](std::chrono::milliseconds period) {
                                 waitedMs += period.count();
                                 clock.advanceMillis(period.count());
                             },
                             views.factory()}};
    std::string readStatus;
};

TEST_F(LabelPrinterApiTest, ParametersReachTheLibraryTypedAndInTheirPlaces) {
    struct Row {
        ApiCall call;
        std::string expected;
    };
    const Row rows[] = {
        {call("PrintDeviceFont", {"100", "007", "6", "", "true", "FALSE", "1", "CORVANE"}),
         R"(PrintDeviceFont(100,7,6,0,1,0,1,"CORVANE"))"},
        {call("PrintDeviceFontW", {"1", "2", "3", "4", "5", "6", "7", "8", "Grüße 한글"}),
         R"(PrintDeviceFontW(1,2,3,4,5,6,7,8,u"Grüße 한글"))"},
        {call("PrintVectorFont",
              {"1", "2", "F", "3", "4", "a", "6", "7", "8", "9", "b", "11", "text"}),
         R"(PrintVectorFont(1,2,"F",3,4,"a",6,7,8,9,"b",11,"text"))"},
        {call("PrintVectorFontW",
              {"1", "2", "3", "F", "4", "5", "a", "6", "7", "8", "9", "b", "10", "text"}),
         R"(PrintVectorFontW(1,2,3,"F",4,5,"a",6,7,8,9,"b",10,u"text"))"},
        {call("PrintTrueFontLibW", {"1", "2", "Face", "3", "4", "5", "6", "7", "text"}),
         R"(PrintTrueFontLibW(1,2,u"Face",3,4,5,6,7,u"text",0))"},
        // A picture that ships with the program reaches the library by its full path.
        {call("PrintImageLibWWithSize", {"1", "2", "3", "4", "5", "CORVANE.bmp", "6", "7"}),
         R"(PrintImageLibWWithSize(1,2,3,4,5,u")" + programfiles::shippedFile("CORVANE.bmp") +
             R"(",6,7))"},
        {call("PrintDirect", {"^XA^XZ", "1"}), R"(PrintDirect("^XA^XZ",1))"},
        {call("Prints", {"2", "1", "surplus"}), "Prints(2,1)"},
        {call("Prints", {"2147483647", "0"}), "Prints(2147483647,0)"},
        {call("RFIDPassword", {"0012", "34", "x", "-5"}), R"(RFIDPassword("0012","34","x","-5"))"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(runCall(row.call), 2) << row.expected;
        EXPECT_EQ(recorder().calls().back(), row.expected);
    }
}

TEST_F(LabelPrinterApiTest, EmptyTrueTypeTextSucceedsWithoutPrinting) {
    EXPECT_EQ(
        runCall(call("PrintTrueFontLib", {"1", "2", "Face", "3", "4", "5", "6", "7", "", "8"})), 2);
    EXPECT_EQ(count("PrintTrueFontLib"), 0);
}

// Each bad call stops the job: the call before it ran, the one after it did not, and
// nothing is left in the list.
TEST_F(LabelPrinterApiTest, ABadOrFailingCallStopsTheJobAndDropsTheRest) {
    struct Row {
        ApiCall bad;
        int expected;
        std::string trace;
    };
    const Row rows[] = {
        {call("Prints", {"-5", "1"}), 6, "mismatch parameter type(idx=0,-5) at Prints"},
        {call("Prints", {"1.500000", "1"}), 6, "mismatch parameter type(idx=0,1.500000) at Prints"},
        {call("Prints", {"2147483648", "1"}), 6, "mismatch parameter type(idx=0,2147483648)"},
        {call("Prints", {"1", " 1"}), 6, "mismatch parameter type(idx=1, 1) at Prints"},
        {call("Prints", {"True", "1"}), 6, "mismatch parameter type(idx=0,True) at Prints"},
        {call("Prints", {"1"}), 6, "mismatch parameters count(1/2) at Prints"},
        {call("NoSuchFunction"), 6,
         "invalid function name in NoSuchFunction of (RequestId=7, ResponseId=RESP)"},
        {call(""), 6, "invalid function name in  of"},
        {ApiCall{"1"}, 6, "invalid function name in  of"},
        {call("RFIDPassword", {"1", "2", "3"}), 6,
         "mismatch parameters count(3/4) at RFIDPassword of (RequestId=7, ResponseId=RESP)"},
        {call("ReadStatus", {"100", "0"}), 6, "invalid status count(0) in ReadStatus"},
        {call("ReadStatus", {"100", "10001"}), 6, "invalid status count(10001) in ReadStatus"},
        {call("PrintCircle", {"1", "2", "3", "4"}), 3,
         "PrintCircle functions result fail (RequestId=7, ResponseId=RESP)"},
    };
    recorder().script("PrintCircle", {0});
    for (const Row& row : rows) {
        recorder().reset();
        recorder().script("PrintCircle", {0});
        ApiCallList job = {call("ClearBuffer"), row.bad, call("RFIDLock")};
        EXPECT_EQ(runJob("Labels", job), row.expected) << row.trace;
        EXPECT_TRUE(job.empty());
        EXPECT_EQ(count("ClearBuffer"), 1) << row.trace;
        EXPECT_EQ(count("RFIDLock"), 0) << row.trace;
        EXPECT_TRUE(traced(row.trace)) << row.trace;
    }
}

TEST_F(LabelPrinterApiTest, TheConnectionStaysOpenAcrossJobsUntilAJobDisconnects) {
    EXPECT_EQ(runJob("Labels", {call("Connect"),
                                call("PrintDeviceFont", {"1", "2", "3", "4", "5", "6", "7", "x"}),
                                call("Prints", {"1", "1"}), call("Disconnect")}),
              2);
    EXPECT_EQ(recorder().calls().back(), "DisconnectPrinter()");
    recorder().reset();
    EXPECT_EQ(runJob("Labels", {call("Prints", {"1", "1"})}), 2);
    EXPECT_EQ(recorder().calls(),
              (Lines{R"(ConnectPrinter(3,"192.168.0.20",9100,8,0,0))", "Prints(1,1)"}));
    recorder().reset();
    EXPECT_EQ(runJob("Labels", {call("Prints", {"1", "1"})}), 2);
    EXPECT_EQ(recorder().calls(), Lines{"Prints(1,1)"});
    EXPECT_TRUE(traced("already Connect in CLabelPrinterApi"));
}

TEST_F(LabelPrinterApiTest, EachPortTypeOpensThroughItsLibraryInterface) {
    addPrinter({"Serial", 1, kPortSerial, "/dev/ttyS0", 19200});
    addPrinter({"Parallel", 1, kPortParallel, "/dev/lp0"});
    addPrinter({"Wireless", 1, kPortWirelessNetwork, "10.0.0.9", 6101});
    addPrinter({"Bluetooth", 1, kPortBluetooth, "/dev/rfcomm0", 115200});
    const std::pair<std::string, std::string> rows[] = {
        {"Serial", R"(ConnectPrinter(0,"/dev/ttyS0",19200,8,0,0))"},
        {"Parallel", R"(ConnectPrinter(1,"/dev/lp0",9600,8,0,0))"},
        {"Labels", R"(ConnectPrinter(3,"192.168.0.20",9100,8,0,0))"},
        {"Wireless", R"(ConnectPrinter(4,"10.0.0.9",6101,8,0,0))"},
        {"Bluetooth", R"(ConnectPrinter(5,"/dev/rfcomm0",115200,8,0,0))"},
        {"Usb", R"(ConnectPrinterWithName(2,"ZX-420","/dev/usb/lp0",9600,8,0,0))"},
    };
    for (const auto& [printer, expected] : rows) {
        recorder().reset();
        EXPECT_EQ(runJob(printer, {call("Disconnect")}), 2);
        EXPECT_EQ(recorder().calls().front(), expected);
    }
    // Reading the printer's name opens a USB printer by its port.
    recorder().reset();
    std::string name;
    bridge.getPrinterName("Usb", name);
    EXPECT_EQ(recorder().calls().front(), R"(ConnectPrinter(2,"/dev/usb/lp0",9600,8,0,0))");
}

// What each operation does when the printer cannot be opened: the job's list is left to
// the caller, the bridge ends disconnected where the operation disconnects, and the user
// hears of it only from jobs and raw prints.
TEST_F(LabelPrinterApiTest, APrinterThatCannotBeOpenedFailsEachOperationItsOwnWay) {
    recorder().script("ConnectPrinter", {0});
    ApiCallList job = {call("Prints", {"1", "1"})};
    EXPECT_EQ(runJob("Labels", job), 3);
    EXPECT_EQ(job.size(), 1u);
    views.waitFor(1);  // until then a second message would replace the first
    EXPECT_EQ(runJob("NotConfigured", ApiCallList{}), 3);
    EXPECT_EQ(bridge.directPrint("Labels", "^XA", "RESP"), 3);
    EXPECT_EQ(count("DisconnectPrinter"), 3);
    std::string name = "unchanged";
    EXPECT_EQ(bridge.getPrinterName("Labels", name), 3);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(count("DisconnectPrinter"), 3);  // nothing to close
    EXPECT_EQ(bridge.printTestPage("Labels"), 0);
    EXPECT_EQ(count("DisconnectPrinter"), 4);
    EXPECT_EQ(count("Prints") + count("PrintDirect"), 0);
    EXPECT_TRUE(traced("Fail to Connect(Port open error) in CLabelPrinterApi"));
    EXPECT_TRUE(traced("NotConfigured is not registered in device list"));
    EXPECT_EQ(views.waitFor(3), (Lines{"Labels: Cannot connect to printer",
                                       "NotConfigured: Cannot connect to printer",
                                       "Labels: Cannot connect to printer"}));
}

TEST_F(LabelPrinterApiTest, ConnectAndCheckStatusFunctionsTellTheUserWhyTheyFailed) {
    recorder().script("ConnectPrinter", {1, 0});
    recorder().script("checkStatus", {2});
    EXPECT_EQ(runJob("Labels", {call("checkStatus")}), 3);
    views.waitFor(1);
    EXPECT_EQ(runJob("Labels", {call("Disconnect"), call("Connect")}), 3);
    EXPECT_TRUE(traced("checkStatus functions result fail (RequestId=7, ResponseId=RESP)"));
    EXPECT_TRUE(traced("Connect functions result fail (RequestId=7, ResponseId=RESP)"));
    EXPECT_EQ(views.waitFor(2),
              (Lines{"Labels: Cover Open", "Labels: Cannot connect to printer."}));
    // Without a printer name there is nothing to connect or disconnect.
    EXPECT_EQ(bridge.parseAPI(call("Connect"), "", 7, "RESP", readStatus), 3);
    EXPECT_EQ(bridge.parseAPI(call("Disconnect"), "", 7, "RESP", readStatus), 3);
}

TEST_F(LabelPrinterApiTest, ReadStatusPollsUntilItHasTheCountAFaultOrItsTimeOut) {
    struct Row {
        std::vector<int> answers;
        std::string timeoutMs;
        std::string count;
        int expected;
        std::string statuses;
        int64_t waitedMs;  // only while the printer had no status yet
        std::string trace;
    };
    const Row rows[] = {
        {{0, 0, 0}, "1000", "3", 2, "0, 0, 0", 0, "nReadStatus=0, 0, 0 of (RequestId=7"},
        {{100, 100, 0}, "1000", "2", 2, "0, 0", 200, "nReadStatus=0, 0 of"},
        {{1}, "1000", "3", 3, "1, 100, 100", 0, "Paper Empty in ReadStatus of (RequestId=7"},
        {{0, 0, 100}, "250", "3", 3, "0, 0, 100", 300, "timeout(250) in ReadStatus"},
        {{100}, "300", "2", 3, "100, 100", 400, "Unknown error in ReadStatus"},
        {{100}, "0", "1", 3, "100", 5100, "timeout change(0 => 5000) in ReadStatus"},
    };
    for (const Row& row : rows) {
        recorder().script("ReadStatus", row.answers);
        waitedMs = 0;
        readStatus.clear();
        EXPECT_EQ(runCall(call("ReadStatus", {row.timeoutMs, row.count})), row.expected)
            << row.statuses;
        EXPECT_EQ(readStatus, row.statuses);
        EXPECT_EQ(waitedMs, row.waitedMs) << row.statuses;
        EXPECT_TRUE(traced(row.trace)) << row.trace;
    }
    EXPECT_TRUE(traced("ReadStatus functions result fail (RequestId=7, ResponseId=RESP)"));
}

TEST_F(LabelPrinterApiTest, RawDataIsSentAsTextUpToItsFirstZeroAndAlwaysDisconnects) {
    EXPECT_EQ(bridge.printRaw("Labels", std::string("^XA\0^XZ", 7), "RESP"), 2);
    EXPECT_EQ(recorder().calls(), (Lines{R"(ConnectPrinter(3,"192.168.0.20",9100,8,0,0))",
                                         R"(PrintDirect("^XA",1))", "DisconnectPrinter()"}));
    recorder().script("PrintDirect", {0});
    EXPECT_EQ(bridge.directPrint("Labels", "^XA", "RESP"), 3);
    EXPECT_EQ(recorder().calls().back(), "DisconnectPrinter()");
}

TEST_F(LabelPrinterApiTest, PrinterNameIsReadFromAClearedPrinterAndDisconnects) {
    labeldouble::setPrinterName(std::string(300, 'N'));  // fills the buffer unterminated
    std::string name;
    EXPECT_EQ(bridge.getPrinterName("Labels", name), 2);
    EXPECT_EQ(name, std::string(256, 'N'));
    EXPECT_EQ(recorder().calls(),
              (Lines{R"(ConnectPrinter(3,"192.168.0.20",9100,8,0,0))", "ClearBuffer()",
                     "GetPrinterName(256)", "DisconnectPrinter()"}));
    recorder().script("GetPrinterName", {0});
    EXPECT_EQ(bridge.getPrinterName("Labels", name), 3);
    EXPECT_EQ(recorder().calls().back(), "DisconnectPrinter()");
}

TEST_F(LabelPrinterApiTest, TestLabelIsTheFixedLabelWithThePictureBesideTheProgram) {
    EXPECT_EQ(bridge.printTestPage("Labels"), 1);
    const std::string picture = programfiles::shippedFile("CORVANE.bmp");
    EXPECT_TRUE(programfiles::fileTest(picture, false)) << "the build copies it there";
    EXPECT_EQ(
        recorder().calls(),
        (Lines{
            R"(ConnectPrinter(3,"192.168.0.20",9100,8,0,0))",
            "ClearBuffer()",
            "PrintBlock(50,50,500,250,0,0)",
            "PrintBlock(50,300,500,305,0,0)",
            "PrintBlock(50,350,500,500,4,5)",
            R"(PrintTrueFontLib(100,380,"돋움체",50,0,0,1,0,"샘플",0))",
            R"(PrintDeviceFont(100,100,6,1,1,0,0,"CORVANE"))",
            R"(PrintDeviceFont(100,520,4,1,1,0,0,"CORVANE"))",
            R"(PrintDeviceFont(100,560,4,1,1,0,1,"CORVANE"))",
            R"(PrintDeviceFont(100,620,100,2,2,0,1,"샘플"))",
            R"(PrintDirect("B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'",0))",
            R"(PrintQRCode(100,780,2,2,4,0,"QRCode sample test 123"))",
            "PrintImageLib(100,900,\"" + picture + "\",1,1)",
            "Prints(1,1)",
            "DisconnectPrinter()",
        }));
}

}  // namespace
