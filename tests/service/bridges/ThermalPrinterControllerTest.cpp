#include "ThermalPrinterController.h"

#include <algorithm>

#include "BridgeTestSupport.h"
#include "DravixDouble.h"
#include "ProgramFiles.h"

namespace {

using dravixdouble::recorder;

constexpr const char* kWatchedOpen[] = {R"(selectInterface(2,u"192.168.0.30"))",
                                        "selectCommandMode(1,1)",
                                        "openService(1)",
                                        "getResult(1)",
                                        "asbEnable(1,3)",
                                        "setStatusUpdateEvent(1)"};

class ThermalPrinterControllerTest : public BridgeTest {
protected:
    ThermalPrinterControllerTest() {
        dravixdouble::reset();
        addPrinter({"Till", 2, kPortSerial, "/dev/ttyUSB0", 19200});
        addPrinter({"Watched", 2, kPortWiredNetwork, "192.168.0.30", 9100, "", 3});
    }

    std::unique_ptr<CThermalPrinterController> start(bool watch = true,
                                                     const std::string& library = "DravixDouble",
                                                     RecordingViews* popupViews = nullptr) {
        ThermalPrinterOptions options;
        options.watchPrinters = watch;
        options.libraryName = library;
        options.messageViews = (popupViews ? *popupViews : views).factory();
        return std::make_unique<CThermalPrinterController>(devices, options);
    }
    static int runJob(CThermalPrinterController& controller, const std::string& printer,
                      ApiCallList&& job) {
        return controller.processAPIData(job, printer);
    }
    static Lines calls() { return recorder().calls(); }
    // The text of a recorded printText(handle,u"text",...) call.
    static std::string printedText(const std::string& record) {
        size_t begin = record.find("u\"") + 2;
        return record.substr(begin, record.rfind('"') - begin);
    }
};

TEST_F(ThermalPrinterControllerTest, WatchedPrintersStayOpenAndOthersAreOpenedPerOperation) {
    auto controller = start();
    EXPECT_EQ(calls(), Lines(std::begin(kWatchedOpen), std::end(kWatchedOpen)));
    recorder().reset();
    EXPECT_EQ(runJob(*controller, "Watched", {call("cutPaper", {"1"})}), 2);
    EXPECT_EQ(calls(), (Lines{"isOpen(1)", "cutPaper(1,1)"}));
    EXPECT_TRUE(traced("Watched already connected in Connect"));
    recorder().reset();
    EXPECT_EQ(runJob(*controller, "Till", {call("cutPaper", {"1"})}), 2);
    EXPECT_EQ(calls(), (Lines{R"(selectInterface(32,u"/dev/ttyUSB0:19200:8:0:0:0"))",
                              "selectCommandMode(2,1)", "openService(2)", "getResult(2)",
                              "cutPaper(2,1)", "closeService(2,0)"}));
    EXPECT_TRUE(traced("Till is connect in Connect"));
    EXPECT_TRUE(traced("Till is disconnect in CThermalPrinterController"));
    recorder().reset();
    controller->close();
    EXPECT_EQ(calls(), Lines{"closeService(1,0)"});

    // A command beside a running service leaves the watched printers to it.
    recorder().reset();
    controller = start(false);
    EXPECT_EQ(runJob(*controller, "Watched", {}), 2);
    EXPECT_EQ(calls().back(), "closeService(3,0)");
}

TEST_F(ThermalPrinterControllerTest, APrinterThatCannotBeOpenedAtStartIsNotWatched) {
    recorder().script("getResult", {5});
    auto controller = start();
    EXPECT_EQ(calls(), (Lines{kWatchedOpen[0], kWatchedOpen[1], kWatchedOpen[2], kWatchedOpen[3],
                              "closeService(1,0)"}));
    recorder().reset();
    EXPECT_EQ(runJob(*controller, "Watched", {}), 2);
    EXPECT_EQ(calls().back(), "closeService(2,0)");
}

// Every way of not reaching a printer fails each operation alike: the job run and the raw
// print tell the user, the name lookup writes its own line, the test print is silent.
TEST_F(ThermalPrinterControllerTest, EachOperationFailsAlikeWhateverKeepsThePrinterAway) {
    struct Row {
        std::string cause;
        std::string printer;
        std::string library;
        std::string scriptedFunction;
        std::vector<int> results;
        std::string trace;
    };
    const Row rows[] = {
        {"port cannot be opened",
         "Till",
         "DravixDouble",
         "getResult",
         {0, 5},
         "Cannot connect to Till in Connect"},
        {"not configured", "Nowhere", "DravixDouble", "", {}, "Fail to get Nowhere information"},
        {"watched, no longer open",
         "Watched",
         "DravixDouble",
         "isOpen",
         {1},
         "Cannot connect to Watched in Connect"},
        {"library missing", "Till", "DravixAbsent", "", {}, "libDravixAbsent.so"},
        {"function missing",
         "Till",
         "DravixDoubleWithoutGetResult",
         "",
         {},
         "libDravixDoubleWithoutGetResult.so has no function getResult"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        dravixdouble::reset();
        recorder().script(row.scriptedFunction, row.results);
        RecordingViews popupViews;
        auto controller = start(true, row.library, &popupViews);
        const size_t callsAtStart = calls().size();
        std::string name = "unchanged";
        ApiCallList job = {call("cutPaper", {"1"})};
        EXPECT_EQ(controller->processAPIData(job, row.printer), 3);
        EXPECT_EQ(job.size(), 1u);
        popupViews.waitFor(1);  // until then a second message would replace the first
        EXPECT_EQ(controller->printRaw(row.printer, "\x1b@", "RESP"), 3);
        EXPECT_EQ(controller->getPrinterName(row.printer, name), 0);
        EXPECT_EQ(controller->printTestPage(row.printer), 0);
        EXPECT_EQ(popupViews.waitFor(2), (Lines{row.printer + ": Cannot connect to printer",
                                                row.printer + ": Cannot connect to printer"}));
        EXPECT_TRUE(traced(row.trace));
        EXPECT_TRUE(traced("Cannot connect to " + row.printer + " in DirectPrint"));
        EXPECT_TRUE(traced("Can't not connect to " + row.printer + " in getPrinterName"));
        const Lines made = calls();
        for (const char* work : {"cutPaper", "directIO", "getModelName", "setTransaction"})
            EXPECT_EQ(std::count_if(made.begin() + static_cast<long>(callsAtStart), made.end(),
                                    [&](const std::string& c) { return c.starts_with(work); }),
                      0)
                << work << " reached a printer that was never opened";
    }
}

TEST_F(ThermalPrinterControllerTest, PortTextAndCommandModeFollowThePrinter) {
    addPrinter({"Relvo", 4, kPortWiredNetwork, "10.0.0.5", 6101});
    addPrinter({"UsbByName", 2, kPortUsb, "USB", kDefaultBaudRate, "TM-X"});
    addPrinter({"UsbByPath", 2, kPortUsb, "/dev/usb/lp1", kDefaultBaudRate, "TM-Y"});
    addPrinter({"Mobile", 3, kPortBluetooth, "/dev/rfcomm0", 115200});
    const std::pair<std::string, Lines> rows[] = {
        {"Relvo", {R"(selectInterface(2,u"10.0.0.5:6101"))", "openService(1)"}},
        {"UsbByName", {R"(selectInterface(16,u"TM-X"))", "selectCommandMode(1,1)"}},
        {"UsbByPath", {R"(selectInterface(16,u"/dev/usb/lp1"))", "selectCommandMode(1,1)"}},
        {"Mobile", {R"(selectInterface(4,u"/dev/rfcomm0:115200"))", "selectCommandMode(1,1)"}},
    };
    auto controller = start(false);
    for (const auto& [printer, expected] : rows) {
        dravixdouble::reset();
        EXPECT_EQ(runJob(*controller, printer, {}), 2);
        const Lines made = calls();
        EXPECT_EQ(Lines(made.begin(), made.begin() + 2), expected) << printer;
    }
}

TEST_F(ThermalPrinterControllerTest, ParametersReachTheLibraryTypedWithTheMinusRule) {
    const std::pair<ApiCall, std::string> rows[] = {
        {call("printText", {"Hi 한글", "0", "-3", "007", "", "true", "FALSE", "5-"}),
         R"(printText(1,u"Hi 한글",[0,-3,7,0,1,0,5]))"},
        {call("print1DBarcode", {"123", "1", "-2", "3", "4", "5"}),
         R"(print1DBarcode(1,u"123",1,-2,3,4,5))"},
        {call("printPDF417", {"pdf", "1", "2", "3", "4", "5", "6", "-2147483648"}),
         R"(printPDF417(1,u"pdf",1,2,3,4,5,6,-2147483648))"},
        {call("setPagemodePrintArea", {"0", "0", "-512", "512"}),
         "setPagemodePrintArea(1,0,0,-512,512)"},
        {call("setPagemodePosition", {"1", "2", "surplus"}), "setPagemodePosition(1,1,2)"},
        {call("printDataMatrix", {"dm", "1", "2"}), R"(printDataMatrix(1,u"dm",1,2))"},
        {call("checkPrinterStatus"), "checkPrinterStatus(1)"},  // whatever it returns
    };
    auto controller = start(false);
    for (const auto& [job, expected] : rows) {
        dravixdouble::reset();
        recorder().script("checkPrinterStatus", {7});
        EXPECT_EQ(runJob(*controller, "Till", {job}), 2) << expected;
        Lines made = calls();
        EXPECT_EQ(made.at(made.size() - 2), expected);
    }
}

TEST_F(ThermalPrinterControllerTest, ABadOrFailingCallStopsTheJobAndLeavesTheRestToTheCaller) {
    struct Row {
        ApiCall bad;
        int expected;
        std::string trace;
    };
    const Row rows[] = {
        {call("cutPaper", {"--3"}), 6, "mismatch parameter type(idx=0,--3) at cutPaper"},
        {call("cutPaper", {"1.500000"}), 6, "mismatch parameter type(idx=0,1.500000) at cutPaper"},
        {call("cutPaper", {"-2147483649"}), 6, "mismatch parameter type(idx=0,-2147483649)"},
        {call("cutPaper", {" 1"}), 6, "mismatch parameter type(idx=0, 1) at cutPaper"},
        {call("printQRCode"), 6, "mismatch parameters count(0/5) at printQRCode"},
        {call("PrintText", {"x"}), 6, "invalid function name=PrintText"},
        {call(""), 6, "invalid function name="},
        {call("setPagemode", {"9"}), 3, "error result(4) in setPagemode"},
    };
    auto controller = start(false);
    for (const Row& row : rows) {
        dravixdouble::reset();
        recorder().script("setPagemode", {4});
        ApiCallList job = {call("openDrawer", {"0"}), row.bad, call("cutPaper", {"1"})};
        EXPECT_EQ(controller->processAPIData(job, "Till"), row.expected) << row.trace;
        EXPECT_EQ(job, (ApiCallList{row.bad, call("cutPaper", {"1"})}));
        Lines made = calls();
        EXPECT_EQ(std::count(made.begin(), made.end(), "openDrawer(1,0)"), 1) << row.trace;
        EXPECT_EQ(std::count(made.begin(), made.end(), "cutPaper(1,1)"), 0) << row.trace;
        EXPECT_EQ(made.back(), "closeService(1,0)");
        EXPECT_TRUE(traced(row.trace)) << row.trace;
    }
}

TEST_F(ThermalPrinterControllerTest, StatusReportsOfWatchedPrintersReachThePopupUntilShutdown) {
    auto controller = start();
    dravixdouble::reportStatus(1);
    views.waitFor(1);  // until then a second message would replace the first
    for (int status : {4, 2, 0, 8})
        dravixdouble::reportStatus(status);
    EXPECT_EQ(views.waitFor(3), (Lines{"Cover open!!", "Paper empty!!", "Printer error!!"}));
    controller->close();
    dravixdouble::reportStatus(1);
    EXPECT_EQ(views.shown().size(), 3u);
}

TEST_F(ThermalPrinterControllerTest, RawDataReachesThePrinterWithEveryByte) {
    auto controller = start(false);
    EXPECT_EQ(controller->printRaw("Till", std::string("\x1b@\0\n", 4), "RESP"), 2);
    EXPECT_EQ(calls().at(calls().size() - 2), "directIO(1,1b40000a,4)");
    recorder().script("directIO", {1});
    EXPECT_EQ(controller->directPrint("Till", reinterpret_cast<const unsigned char*>("x"), 1), 3);
    EXPECT_EQ(calls().back(), "closeService(2,0)");
    // The refused data told nobody: the first message is a later one.
    EXPECT_EQ(runJob(*controller, "Nowhere", {}), 3);
    EXPECT_EQ(views.waitFor(1), Lines{"Nowhere: Cannot connect to printer"});
}

TEST_F(ThermalPrinterControllerTest, ModelNameIsReadWithinItsBufferAndTheServiceClosed) {
    auto controller = start(false);
    std::string name;
    dravixdouble::setModelName(u"TM-X 한글");
    EXPECT_EQ(controller->getPrinterName("Till", name), 1);
    EXPECT_EQ(name, "TM-X 한글");
    const Lines made = calls();
    EXPECT_EQ(Lines(made.end() - 2, made.end()),
              (Lines{"getModelName(1,256)", "closeService(1,0)"}));
    EXPECT_TRUE(traced("Till is TM-X 한글 in getPrinterName"));
    dravixdouble::setModelName(std::u16string(200, u'M'));  // fills the buffer unterminated
    EXPECT_EQ(controller->getPrinterName("Till", name), 1);
    EXPECT_EQ(name, std::string(128, 'M'));
    dravixdouble::setModelName(u"");
    EXPECT_EQ(controller->getPrinterName("Till", name), 0);
    EXPECT_EQ(calls().back(), "closeService(3,0)");
}

TEST_F(ThermalPrinterControllerTest, TestReceiptIsTheFixedReceiptWithTheLogoBesideTheProgram) {
    auto controller = start(false);
    EXPECT_EQ(controller->printTestPage("Till"), 1);
    const std::string logo = programfiles::shippedFile("logo.bmp");
    EXPECT_TRUE(programfiles::fileTest(logo, false)) << "the build copies it there";
    Lines made = calls();
    ASSERT_EQ(made.size(), 14u);
    const std::string attributes = ",[0,0,0,0,0,1,0])";
    EXPECT_EQ(made[4], "setTransaction(1,1)");
    EXPECT_EQ(made[5], "printBitmapFile(1,u\"" + logo + "\",-2,1,0,0,1)");
    EXPECT_TRUE(made[6].ends_with(attributes)) << made[6];
    EXPECT_TRUE(made[7].ends_with(",null)")) << made[7];
    EXPECT_TRUE(made[8].ends_with(attributes)) << made[8];
    EXPECT_EQ(Lines(made.begin() + 9, made.end()),
              (Lines{R"(print1DBarcode(1,u"1234567890123456",110,100,3,1,2))", "cutPaper(1,65)",
                     "openDrawer(1,0)", "setTransaction(1,0)", "closeService(1,0)"}));

    // An address of four lines, then two empty ones; the body's lines are 42 characters;
    // three empty lines, three web addresses, five empty lines.
    auto shape = [](const std::string& text) {
        std::string lines;
        for (size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos;
             begin = end + 1)
            lines += end == begin ? '0' : end - begin == 42 ? 'W' : 'x';
        return lines;
    };
    EXPECT_EQ(shape(printedText(made[6])), "xxxx00");
    EXPECT_EQ(shape(printedText(made[7])), std::string(19, 'W'));
    EXPECT_EQ(shape(printedText(made[8])), "000xxx00000");
    EXPECT_NE(printedText(made[7]).find("                          Total   1,000.00\n"),
              std::string::npos);
}

}  // namespace
