// The vembrix program as people run it: the headless service in a private home, with
// the real printer libraries and a virtual printer on loopback, started, refused, asked
// to stop; and the printer commands against reachable and unreachable printers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "HttpTestSupport.h"
#include "PortHolder.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "VirtualPrinter.h"

namespace {

constexpr const char* kServing = "vembrix serving on port ";
constexpr const char* kHeadlessLine =
    "vembrix runs without a window (no display: neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
constexpr std::chrono::milliseconds kStartLimit{20000};

int freePort() {
    return PortHolder::freePort();
}

std::string networkPrinter(const std::string& name, int type, int tcpPort) {
    return "[" + name + "]\r\nPrinterType=" + std::to_string(type) +
           "\r\nPortType=2\r\nPortName=127.0.0.1\r\nBaudRate=" + std::to_string(tcpPort) + "\r\n";
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class ServiceProcessTest : public ::testing::Test {
protected:
    // Without a display the service runs as it does on a server, whatever the desktop
    // the tests were started from.
    void SetUp() override {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }

    // The settings with the service's port, printers after them, the trace switched on.
    void configure(int listenPort, const std::string& printers = "") {
        home.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=" + std::to_string(listenPort) +
                                          "\r\nCheckDupReq=0\r\n" + printers);
        home.writeFile("trace.txt", "");
    }
    static ChildProcess vembrix(const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv = {VEMBRIX_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        return ChildProcess::run(argv);
    }
    static vprinter::VirtualPrinterOptions receiptAndLabelPorts() {
        vprinter::VirtualPrinterOptions options;
        options.listeners = {{0, "escpos"}, {0, "zpl"}};
        return options;
    }
    // The receipt printer Till and the label printer Labels on a virtual printer's ports.
    void configureTillAndLabels(vprinter::VirtualPrinter& printer) {
        ASSERT_TRUE(printer.start());
        configure(freePort(), networkPrinter("Till", 2, printer.ports()[0]) +
                                  networkPrinter("Labels", 1, printer.ports()[1]));
    }
    // A service that serves; its port.
    static int startServing(ChildProcess& service) {
        EXPECT_TRUE(service.waitForOutput(kServing, kStartLimit)) << service.err();
        const std::string out = service.out();
        const size_t at = out.find(kServing);
        return at == std::string::npos ? 0 : std::atoi(out.c_str() + at + std::strlen(kServing));
    }
    // The lines of the trace that hold any of `texts`, in trace order, as those texts.
    std::vector<std::string> tracedInOrder(const std::vector<std::string>& texts) const {
        std::vector<std::string> seen;
        for (const std::string& line : tracefiles::lines(home.path())) {
            for (const std::string& text : texts) {
                if (line.find(text) != std::string::npos)
                    seen.push_back(text);
            }
        }
        return seen;
    }

    TempHome home;
};

TEST_F(ServiceProcessTest, ADisplayThatCannotBeReachedLeavesTheServiceRunningWithoutAWindow) {
    configure(freePort());
    setenv("DISPLAY", ":4711", 1);  // no X server of that number runs here
    ChildProcess service = vembrix();
    const int port = startServing(service);
    unsetenv("DISPLAY");
    EXPECT_NE(0, port) << "the window toolkit ended the process";
    EXPECT_NE(std::string::npos,
              service.out().find("vembrix runs without a window (the display DISPLAY=:4711 "
                                 "cannot be reached)\n"))
        << service.out();
}

TEST_F(ServiceProcessTest, OneServicePerHomeASecondForTheSameHomeEndsWith18) {
    configure(freePort());
    ChildProcess first = vembrix();
    ASSERT_NE(0, startServing(first));

    ChildProcess second = vembrix({"--headless"});
    EXPECT_EQ(18, second.wait());
    EXPECT_NE(std::string::npos, second.err().find("already runs for " + home.path()))
        << second.err();

    // Services with homes of their own never see each other.
    TempHome otherHome;
    otherHome.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=" + std::to_string(freePort()) +
                                           "\r\n[Devices]\r\n");
    ChildProcess other = vembrix();
    EXPECT_NE(0, startServing(other));
    other.signal(SIGTERM);
    EXPECT_EQ(0, other.wait());

    first.signal(SIGTERM);
    EXPECT_EQ(0, first.wait());
}

TEST_F(ServiceProcessTest, APortItCannotListenOnEndsTheServiceWithTheReason) {
    struct Case {
        const char* name;
        bool holderListens;
        std::vector<std::string> message;  // the lines on stderr
    };
    const std::string owner =
        "Another application(service_process_tests) is already using the "
        "listening port.";
    const Case cases[] = {
        // Another program serves there: it is named, and nothing of ours starts.
        {"listened on", true, {owner, "VEMBRIX will exit."}},
        // Taken without a listener: the owner check passes and the bind fails.
        {"bound only", false, {"cannot start Web server"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortHolder holder(0, c.holderListens);
        ASSERT_TRUE(holder.bound());
        configure(holder.port());
        ChildProcess service = vembrix();
        EXPECT_EQ(1, service.wait());
        EXPECT_EQ(c.message, nonEmptyLines(service.err()));
        EXPECT_EQ(kHeadlessLine, service.out());
    }
}

TEST_F(ServiceProcessTest, StopSignalsRunTheExitInOrderAndEndWithZero) {
    for (int number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(number);
        configure(freePort());
        ChildProcess service = vembrix();
        ASSERT_NE(0, startServing(service));
        service.signal(number);
        EXPECT_EQ(0, service.wait());
        // Listener, then worker, then the exit's end: a worker left running or a
        // listener stopped after the list it reads would show here.
        const std::vector<std::string> steps = {"+stop", "CZuzServer::RemoveSocketInfo",
                                                "ReadThread End", "-stop"};
        EXPECT_EQ(steps, tracedInOrder(steps));
        std::filesystem::remove_all(home.file("Log"));
    }
}

TEST_F(ServiceProcessTest, AWorkerStillInsideABridgeAtExitIsLeftAndTheServiceStillEnds) {
    // A printer that reads and answers nothing: each status question of the job waits
    // out the library's time-out, which keeps the worker inside the bridge far beyond
    // the exit's 3 s for it.
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    printer.stall(true);
    configure(freePort(), networkPrinter("Mute", 2, printer.ports()[0]));
    ChildProcess service = vembrix();
    const int port = startServing(service);
    ASSERT_NE(0, port);
    std::string functions;
    for (int call = 1; call <= 20; ++call)
        functions += (call > 1 ? "," : "") + std::string("\"func") + std::to_string(call) +
                     "\":{\"checkPrinterStatus\":[]}";
    const std::string job = R"({"id":3,"mode":0,"functions":{)" + functions + "}}";
    ASSERT_TRUE(roundTrip(port, post("/vembrix/Mute", job)).has_value());
    ASSERT_TRUE(printer.waitForOpenConnections(1, 20s));

    service.signal(SIGTERM);
    EXPECT_EQ(0, service.wait(20s));
    EXPECT_NE(std::string::npos, service.err().find("was abandoned")) << service.err();
    const std::vector<std::string> steps = {"+stop", "did not end within 3000ms",
                                            "printer list kept", "-stop"};
    EXPECT_EQ(steps, tracedInOrder(steps));
}

// Jobs of every data mode through the running service and the real printer libraries:
// the bytes each job carries arrive at its printer as sent; label bytes end at their first
// zero byte.
TEST_F(ServiceProcessTest, JobsOfEveryModeReachTheirPrinterAsSent) {
    vprinter::VirtualPrinter printer(receiptAndLabelPorts());
    ASSERT_NO_FATAL_FAILURE(configureTillAndLabels(printer));
    ChildProcess service = vembrix();
    const int port = startServing(service);
    ASSERT_NE(0, port);

    struct Case {
        const char* printer;
        const char* job;
        std::string arrives;
        std::string never = {};
    };
    const Case cases[] = {
        {"Till",
         R"({"id":7,"mode":0,"functions":{"func1":{"printText":["Hello, receipt\n",0,0,0,1,1,0,0]},"func2":{"cutPaper":[65]}}})",
         "Hello, receipt\n"},
        {"Till", R"({"id":8,"mode":1,"functions":{"data":"Plain text\n"}})", "Plain text\n"},
        {"Till", R"({"id":9,"mode":2,"functions":{"data":"1B 40 48 69 00 0A"}})",
         std::string("\x1b@Hi\0\n", 6)},
        {"Labels", R"({"id":10,"mode":1,"functions":{"data":"^XA^FO5,5^FDmode one^FS^XZ"}})",
         "^XA^FO5,5^FDmode one^FS^XZ"},
        {"Labels", R"({"id":11,"mode":2,"functions":{"data":"5E 58 41 00 5E 58 5A"}})", "^XA",
         "^XZ"},
    };
    // A job's bytes, once its connection has come and gone at the printer.
    auto connectionAfter = [&](size_t before) -> std::optional<std::string> {
        for (auto end = std::chrono::steady_clock::now() + kStartLimit;
             std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            const auto raw = printer.rawBytes();
            if (raw.size() > before && printer.openConnections() == 0)
                return raw[before];
        }
        return std::nullopt;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        const size_t before = printer.rawBytes().size();
        const std::string path = std::string("/vembrix/") + c.printer;
        const std::string ready = roundTrip(port, post(path, c.job)).value_or("");
        const size_t at = ready.find("\"ResponseID\":\"");
        ASSERT_NE(std::string::npos, at) << ready;
        const std::string responseId = ready.substr(at + 14, 8);
        const std::string result =
            roundTrip(port, "GET " + path + "/" + responseId + " HTTP/1.1\r\n\r\n").value_or("");
        EXPECT_NE(std::string::npos, result.find(R"(","Result":"success"})")) << result;
        const std::string raw = connectionAfter(before).value_or("");
        EXPECT_NE(std::string::npos, raw.find(c.arrives)) << raw;
        if (!c.never.empty()) {
            EXPECT_EQ(std::string::npos, raw.find(c.never)) << raw;
        }
    }
    const auto texts = printer.journal().elements("text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("Hello, receipt", texts.front()["text"].asString());
    service.signal(SIGTERM);
    EXPECT_EQ(0, service.wait());
}

// A page names files in its jobs: only those the user allows reach a printer, and every
// other name fails alike, so a page learns nothing of what exists elsewhere.
TEST_F(ServiceProcessTest, JobsReachOnlyFilesTheUserAllowsAndLearnNothingOfOthers) {
    vprinter::VirtualPrinter printer(receiptAndLabelPorts());
    ASSERT_NO_FATAL_FAILURE(configureTillAndLabels(printer));
    std::filesystem::create_directory(home.file("JobFiles"));
    home.writeFile("JobFiles/label.prn", "^XA^FO5,5^FDfrom a file^FS^XZ");
    ASSERT_EQ(0, mkfifo(home.file("JobFiles/pipe").c_str(), 0600));
    std::filesystem::create_directory(home.file("JobFiles/folder"));
    std::filesystem::create_symlink("/etc/passwd", home.file("JobFiles/passwd"));
    ChildProcess service = vembrix();
    const int port = startServing(service);
    ASSERT_NE(0, port);
    auto result = [&](const std::string& printerName, const std::string& function,
                      const std::string& parameters) {
        const std::string path = "/vembrix/" + printerName;
        const std::string ready =
            roundTrip(port, post(path, R"({"id":1,"mode":0,"functions":{"func1":{")" + function +
                                           R"(":[)" + parameters + "]}}}"))
                .value_or("");
        const size_t at = ready.find("\"ResponseID\":\"");
        if (at == std::string::npos)
            return ready;
        const std::string answer =
            roundTrip(port, "GET " + path + "/" + ready.substr(at + 14, 8) + " HTTP/1.1\r\n\r\n")
                .value_or("");
        const size_t result = answer.find("\"Result\":\"");
        return result == std::string::npos
                   ? answer
                   : answer.substr(result + 10, answer.find('"', result + 10) - result - 10);
    };
    for (const std::string name : {"/etc/passwd", "/proc/self/environ", "/dev/zero", "pipe",
                                   "folder", "passwd", "../vembrix.ini", "missing.prn"})
        EXPECT_EQ("error", result("Labels", "PrintBinaryFile", "\"" + name + "\"")) << name;
    for (const std::string name : {"/etc/passwd", "missing.bmp"})
        EXPECT_EQ("error", result("Till", "printBitmapFile", "\"" + name + "\",-2,1,0,0,1"))
            << name;
    EXPECT_EQ("success", result("Labels", "PrintBinaryFile", R"("label.prn")"));
    EXPECT_EQ("success", result("Till", "printBitmapFile", R"("logo.bmp",-2,1,0,0,1)"));
    ASSERT_TRUE(printer.journal().waitForCount("image", 1, std::chrono::seconds(10)));
    ASSERT_TRUE(printer.journal().waitForCount("label_end", 1, std::chrono::seconds(10)));
    for (const std::string& raw : printer.rawBytes())
        EXPECT_EQ(std::string::npos, raw.find("root:")) << raw;
    service.signal(SIGTERM);
    EXPECT_EQ(0, service.wait());
}

// As a new user would: in an empty home, a printer that was added is listed and prints.
TEST_F(ServiceProcessTest, APrinterAddedToAnEmptyHomeIsListedAndPrints) {
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    const std::string port = std::to_string(printer.ports()[0]);
    ChildProcess add = vembrix({"printer", "add", "Till", "PrinterType=POSPrinter", "PortType=2",
                                "PortName=127.0.0.1", "BaudRate=" + port});
    ASSERT_EQ(0, add.wait()) << add.err();
    ChildProcess list = vembrix({"printers"});
    EXPECT_EQ(0, list.wait());
    EXPECT_EQ("Till\tPOSPrinter\t127.0.0.1:" + port + "\n", list.out());
    ChildProcess test = vembrix({"printer", "test", "Till"});
    EXPECT_EQ(0, test.wait()) << test.err();
    EXPECT_TRUE(printer.journal().waitForCount("cut", 1, std::chrono::seconds(10)));
}

TEST_F(ServiceProcessTest, PrinterCommandsPrintOrNameAndFailInOneLine) {
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    const int nobody = freePort();
    configure(8080,
              networkPrinter("Till", 2, printer.ports()[0]) + networkPrinter("Gone", 2, nobody) +
                  networkPrinter("GoneLabels", 1, nobody) + networkPrinter("Untyped", 0, nobody));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string errStart;  // the one stderr line begins so; empty: no stderr at all
    };
    const Case cases[] = {
        // The name as the printer dialog stores it, without the reply's leading "_".
        {{"printer", "name", "Till"}, 0, "VPRINTER-M1\n", ""},
        {{"printer", "test", "Till"}, 0, "", ""},
        {{"printer", "name", "Gone"}, 1, "", "vembrix: Cannot connect to printer. ('Gone' on"},
        {{"printer", "test", "Gone"}, 1, "", "vembrix: Cannot connect to printer. ('Gone' on"},
        {{"printer", "name", "GoneLabels"}, 1, "", "vembrix: Cannot connect to printer."},
        {{"printer", "test", "GoneLabels"}, 1, "", "vembrix: Cannot connect to printer."},
        {{"printer", "test", "Untyped"}, 1, "", "vembrix: Unknown printer type."},
        {{"printer", "name", "Nobody"}, 1, "", "vembrix: unknown printer 'Nobody'"},
        {{"printer", "test"}, 2, "", "usage:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        ChildProcess command = vembrix(c.args);
        EXPECT_EQ(c.status, command.wait());
        EXPECT_EQ(c.out, command.out());
        const std::vector<std::string> errLines = nonEmptyLines(command.err());
        if (c.errStart.empty()) {
            EXPECT_TRUE(errLines.empty()) << command.err();
        } else if (c.status == 1) {
            ASSERT_EQ(1u, errLines.size()) << command.err();
            EXPECT_EQ(0u, errLines[0].rfind(c.errStart, 0)) << errLines[0];
        }
    }
    // The test receipt arrived whole: its header and its closing cut.
    const auto texts = printer.journal().elements("text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("Halvard Print Works", texts.front()["text"].asString());
    EXPECT_EQ(1u, printer.journal().elements("cut").size());
}

}  // namespace
