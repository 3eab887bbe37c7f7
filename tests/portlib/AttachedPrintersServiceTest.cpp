// The vembrix program printing through both printer libraries to printers attached to the
// computer: virtual printers on serial lines (pseudo-terminals), and the same as USB
// printers that umockdev shows the service, unplugged and plugged in again while it
// watches one.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "HttpTestSupport.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "UsbTestbed.h"
#include "VirtualPrinter.h"

namespace {

constexpr const char* kServing = "vembrix serving on port ";
constexpr auto kWait = 20s;

std::unique_ptr<vprinter::VirtualPrinter> serialPrinter(const std::string& language) {
    vprinter::VirtualPrinterOptions options;
    options.listeners.clear();
    options.serial = vprinter::VirtualPrinterOptions::Listener{0, language};
    auto printer = std::make_unique<vprinter::VirtualPrinter>(options);
    return printer->start() ? std::move(printer) : nullptr;
}

// A loopback port that was free a moment ago.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A printer's section; a path is quoted, as the configuration commands write it (an
// unquoted slash would begin a comment).
std::string section(const std::string& name, const std::string& keys) {
    return "[" + name + "]\r\n" + keys;
}

// What a job's poll answered.
std::string runJob(int port, const std::string& printer, const std::string& job) {
    const std::string path = "/vembrix/" + printer;
    const std::string ready = roundTrip(port, post(path, job)).value_or("");
    const size_t at = ready.find("\"ResponseID\":\"");
    if (at == std::string::npos)
        return ready;
    return roundTrip(port, "GET " + path + "/" + ready.substr(at + 14, 8) + " HTTP/1.1\r\n\r\n")
        .value_or("");
}

bool succeeded(const std::string& result) {
    return result.find(R"("Result":"success")") != std::string::npos;
}

bool journaled(vprinter::VirtualPrinter& printer, const char* member, const std::string& text) {
    return printer.journal().waitFor(
        [&](const vprinter::Journal::Elements& elements) {
            for (const Json::Value& element : elements)
                if (element[member].asString() == text)
                    return true;
            return false;
        },
        kWait);
}

std::string receipt(const std::string& text) {
    return R"({"id":1,"mode":0,"functions":{"func1":{"printText":[")" + text +
           R"(\n",0,0,0,1,1,0,0]},"func2":{"cutPaper":[65]}}})";
}

std::string label(const std::string& text) {
    return R"({"id":2,"mode":1,"functions":{"data":"^XA^FO20,20^A0N,30,30^FD)" + text +
           R"(^FS^XZ"}})";
}

class AttachedPrinters : public ::testing::Test {
protected:
    // Starts the service with these printers; its port, 0 when it did not serve.
    int serve(const std::string& printers) {
        home.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=" + std::to_string(freePort()) +
                                          "\r\nCheckDupReq=0\r\n" + printers);
        home.writeFile("trace.txt", "");
        service = std::make_unique<ChildProcess>(ChildProcess::run({VEMBRIX_BINARY}));
        if (!service->waitForOutput(kServing, kWait))
            return 0;
        const std::string out = service->out();
        return std::atoi(out.c_str() + out.find(kServing) + std::strlen(kServing));
    }
    void stop() {
        service->signal(SIGTERM);
        EXPECT_EQ(service->wait(), 0);
    }
    // cvnport's trace lines, written in UTF-16 as the library writes them.
    int traced(const std::string& text) { return tracefiles::count(home.path(), text, true); }
    bool waitForTrace(const std::string& text, int count) {
        for (auto end = std::chrono::steady_clock::now() + kWait; traced(text) < count;
             std::this_thread::sleep_for(10ms))
            if (std::chrono::steady_clock::now() > end)
                return false;
        return true;
    }

    TempHome home;
    std::unique_ptr<ChildProcess> service;
};

TEST_F(AttachedPrinters, BothLibrariesPrintToSerialPrintersWithTheLineConfigured) {
    auto till = serialPrinter("escpos");
    auto labels = serialPrinter("zpl");
    ASSERT_TRUE(till && labels);
    int port = serve(
        section("Till", "PrinterType=2\r\nPortType=32\r\nPortName=\"" + till->serialPath() +
                            "\"\r\nBaudRate=19200\r\nDataBits=8\r\nParity=0\r\n"
                            "StopBits=0\r\nFlowControl=2\r\n") +
        section("Labels", "PrinterType=1\r\nPortType=32\r\nPortName=\"" + labels->serialPath() +
                              "\"\r\nBaudRate=9600\r\nDataBits=8\r\nParity=0\r\n"
                              "StopBits=0\r\n"));
    ASSERT_NE(port, 0) << service->err();

    const std::string result = runJob(port, "Till", receipt("Receipt on a serial line"));
    EXPECT_TRUE(succeeded(result)) << result << service->err();
    EXPECT_TRUE(journaled(*till, "text", "Receipt on a serial line"));
    EXPECT_EQ(till->serialLine(), "19200 8N1 none");
    EXPECT_TRUE(succeeded(runJob(port, "Labels", label("Label on a serial line"))));
    EXPECT_TRUE(journaled(*labels, "text", "Label on a serial line"));
    EXPECT_EQ(labels->serialLine(), "9600 8N1 rtscts");
    stop();
}

TEST_F(AttachedPrinters, BothLibrariesPrintToUsbPrintersAndAWatchedOneComesBackAfterAReplug) {
    UsbTestbed testbed;
    auto till = serialPrinter("escpos");
    auto labels = serialPrinter("zpl");
    ASSERT_TRUE(till && labels);
    testbed.attach(0, "3b27", "3c01", "T-1", till->serialPath());    // a Varo-PT220
    testbed.attach(1, "3f1c", "0101", "L-1", labels->serialPath());  // a Varo-L40
    // The service sees the testbed through the preload library this program runs under.
    int port = serve(
        section("Till",
                "PrinterType=2\r\nPortType=16\r\nPortName=USB\r\nPhysical=Varo-PT220\r\n"
                "CheckStatus=1\r\n") +
        section("Labels", "PrinterType=1\r\nPortType=16\r\nPortName=USB\r\nPhysical=Varo-L40\r\n"));
    ASSERT_NE(port, 0) << service->err();

    EXPECT_TRUE(succeeded(runJob(port, "Till", receipt("Receipt over USB"))));
    EXPECT_TRUE(journaled(*till, "text", "Receipt over USB"));
    EXPECT_TRUE(succeeded(runJob(port, "Labels", label("Label over USB"))));
    EXPECT_TRUE(journaled(*labels, "text", "Label over USB"));

    // The receipt printer is watched: its port stays open and follows the cable.
    testbed.detach(0);
    ASSERT_TRUE(waitForTrace("usb disconnect", 1));
    EXPECT_FALSE(succeeded(runJob(port, "Till", receipt("Nowhere to go"))));
    testbed.attach(0, "3b27", "3c01", "T-1", till->serialPath());
    ASSERT_TRUE(waitForTrace("usb connect", 1));
    EXPECT_TRUE(succeeded(runJob(port, "Till", receipt("After the replug"))));
    EXPECT_TRUE(journaled(*till, "text", "After the replug"));
    EXPECT_EQ(traced("usb disconnect"), 1);
    stop();
}

}  // namespace

int main(int argc, char** argv) {
    UsbTestbed::enterMockEnvironment(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
