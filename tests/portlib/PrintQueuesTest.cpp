// The print queues of a spooler on a device a port holds: a real cupsd that the test
// starts on a folder and socket of its own, with queues on the port's device and on
// others. Opening pauses exactly the queues on the device that were printing; closing,
// also after an open that failed, resumes exactly those.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "DevManHelper.h"
#include "PortListMng.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "VirtualPrinter.h"
#include "cvnport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kSpoolerProgram[] = "/usr/sbin/cupsd";

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A cupsd of the test's own, which libcups in this process reaches through CUPS_SERVER.
class PrivateSpooler {
public:
    explicit PrivateSpooler(const fs::path& folder) : folder_(folder) {}
    ~PrivateSpooler() {
        if (spooler_)
            spooler_->kill();
        unsetenv("CUPS_SERVER");
    }

    // False, with the reason, when no spooler could be started.
    bool start(std::string& why) {
        if (::access(kSpoolerProgram, X_OK) != 0) {
            why = "cupsd is not installed (Debian package cups-daemon)";
            return false;
        }
        if (::geteuid() != 0) {
            why = "cupsd runs only as root";
            return false;
        }
        for (const char* sub : {"conf", "spool", "cache", "state", "log", "ssl", "bin/backend"})
            fs::create_directories(folder_ / sub);
        // Queues take a device URI only with a backend for its scheme; these never run.
        for (const char* scheme : {"serial", "parallel", "usb"}) {
            fs::path backend = folder_ / "bin/backend" / scheme;
            writeFile(backend, "#!/bin/sh\nexit 1\n");
            fs::permissions(backend, fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        }
        socket_ = (folder_ / "cups.sock").string();
        writeFile(folder_ / "conf/cupsd.conf",
                  "Listen " + socket_ +
                      "\nLogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                      "<Policy default>\n<Limit All>\nOrder allow,deny\nAllow all\n</Limit>\n"
                      "</Policy>\n<Location />\nOrder allow,deny\nAllow all\n</Location>\n");
        const std::string f = folder_.string();
        writeFile(folder_ / "conf/cups-files.conf",
                  "ServerRoot " + f + "/conf\nRequestRoot " + f + "/spool\nCacheDir " + f +
                      "/cache\nStateDir " + f + "/state\nServerBin " + f +
                      "/bin\nDataDir /usr/share/cups\nErrorLog " + f + "/log/error_log\n" +
                      "AccessLog " + f + "/log/access_log\nPageLog " + f +
                      "/log/page_log\nServerKeychain " + f + "/ssl\n");
        // cupsd wants its folders writable by nobody else.
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_))
            fs::permissions(entry.path(), fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        spooler_ = std::make_unique<ChildProcess>(
            ChildProcess::run({kSpoolerProgram, "-f", "-c", f + "/conf/cupsd.conf", "-s",
                               f + "/conf/cups-files.conf"}));
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!fs::exists(socket_)) {
            if (std::chrono::steady_clock::now() > deadline) {
                why = "cupsd did not start: " + spooler_->err();
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        setenv("CUPS_SERVER", socket_.c_str(), 1);
        return true;
    }

    bool addQueue(const std::string& name, const std::string& deviceUri) {
        ipp_t* request = queueRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
                     deviceUri.c_str());
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        return send(request, "/admin/");
    }
    bool pause(const std::string& name) {
        return send(queueRequest(IPP_OP_PAUSE_PRINTER, name), "/admin/");
    }
    bool stopped(const std::string& name) {
        ipp_t* response = nullptr;
        send(queueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name), "/", &response);
        ipp_attribute_t* state =
            response ? ippFindAttribute(response, "printer-state", IPP_TAG_ENUM) : nullptr;
        bool result = state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED;
        ippDelete(response);
        return result;
    }

private:
    ipp_t* queueRequest(ipp_op_t operation, const std::string& name) {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                         "/printers/%s", name.c_str());
        ipp_t* request = ippNewRequest(operation);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     "root");
        return request;
    }
    bool send(ipp_t* request, const char* resource, ipp_t** keep = nullptr) {
        http_t* http = httpConnect2(socket_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER,
                                    1, 5000, nullptr);
        if (!http) {
            ippDelete(request);
            return false;
        }
        ipp_t* response = cupsDoRequest(http, request, resource);
        bool ok = response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
        if (keep)
            *keep = response;
        else
            ippDelete(response);
        httpClose(http);
        return ok;
    }

    fs::path folder_;
    std::string socket_;
    std::unique_ptr<ChildProcess> spooler_;
};

vprinter::VirtualPrinterOptions serialPrinter() {
    vprinter::VirtualPrinterOptions options;
    options.listeners.clear();
    options.serial = vprinter::VirtualPrinterOptions::Listener{};
    return options;
}

class PrintQueues : public ::testing::Test {
protected:
    PrintQueues() : spooler(home.file("spooler")), printer(serialPrinter()) {
        mng.SetTrace(1, false);
    }
    void SetUp() override {
        ASSERT_TRUE(printer.start());
        fs::create_directories(home.file("dosdevices"));
        fs::create_symlink(printer.serialPath(), home.file("dosdevices/COM5"));
        std::string why;
        if (!spooler.start(why))
            GTEST_SKIP() << why;
    }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }

    TempHome home;
    PrivateSpooler spooler;
    vprinter::VirtualPrinter printer;
    CPortListMng mng;
};

TEST_F(PrintQueues, QueuesOnTheDeviceArePausedWhileThePortHoldsItAndOnlyThoseAreResumed) {
    const std::string line = printer.serialPath();
    ASSERT_TRUE(spooler.addQueue("till", "serial:" + line + "?baud=9600+bits=8"));
    ASSERT_TRUE(spooler.addQueue("held", "serial:" + line));
    ASSERT_TRUE(spooler.addQueue("elsewhere", "serial:/dev/ttyS9?baud=9600"));
    ASSERT_TRUE(spooler.addQueue("usbqueue", "usb://Maker/Model?serial=ABC"));
    ASSERT_TRUE(spooler.pause("held"));  // someone else's pause

    int id = mng.Create(CVN_PORT_SERIAL, "COM5:9600", 0);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_TRUE(spooler.stopped("till"));
    EXPECT_TRUE(spooler.stopped("held"));
    EXPECT_FALSE(spooler.stopped("elsewhere"));
    EXPECT_FALSE(spooler.stopped("usbqueue"));
    EXPECT_TRUE(traced("print queue till paused while COM5 is in use"));

    EXPECT_EQ(mng.ClosePort(id, 0), 0);
    EXPECT_FALSE(spooler.stopped("till"));
    EXPECT_TRUE(spooler.stopped("held"));
    EXPECT_FALSE(spooler.stopped("elsewhere"));
    EXPECT_TRUE(traced("print queue till resumed"));
    mng.Remove(id, 0);
}

TEST_F(PrintQueues, AnOpenThatFailsGivesTheQueueBackAtOnce) {
    // The device is there, but no terminal: the open fails after the queue was paused.
    home.writeFile("not-a-terminal", "");
    fs::create_symlink(home.file("not-a-terminal"), home.file("dosdevices/COM6"));
    ASSERT_TRUE(spooler.addQueue("label", "serial:" + home.file("not-a-terminal")));
    int id = mng.Create(CVN_PORT_SERIAL, "COM6", 0);
    EXPECT_EQ(mng.OpenPort(id, 0), 0);
    EXPECT_TRUE(traced("print queue label paused"));
    EXPECT_FALSE(spooler.stopped("label"));
    EXPECT_EQ(mng.Remove(id, 0), 0);
}

// Without a spooler of this test, the port goes on and says why.
TEST(PrintQueuesAbsent, APortOpensWithoutASpoolerAndAskedNoneElsewhere) {
    TempHome home;
    vprinter::VirtualPrinter printer(serialPrinter());
    ASSERT_TRUE(printer.start());
    CPortListMng mng;
    mng.SetTrace(1, false);
    for (const std::string& server :
         {home.file("no-such.sock"), std::string("printhost.example")}) {
        setenv("CUPS_SERVER", server.c_str(), 1);
        int id = mng.Create(CVN_PORT_SERIAL, printer.serialPath() + ":9600", 0);
        EXPECT_EQ(mng.OpenPort(id, 0), 1);
        EXPECT_EQ(mng.ClosePort(id, 0), 0);
        mng.Remove(id, 0);
    }
    unsetenv("CUPS_SERVER");
    EXPECT_TRUE(
        tracefiles::contains(home.path(), "print queues not asked: no print spooler answers at"));
    EXPECT_TRUE(tracefiles::contains(
        home.path(),
        "print queues not asked: the print spooler printhost.example is not on this computer"));
}

TEST(PrintQueueDevices, DeviceUrisNameTheirDevices) {
    TempHome home;
    struct Case {
        const char* uri;
        const char* device;
        bool same;
    };
    const Case cases[] = {
        {"serial:/dev/ttyS0?baud=9600", "COM1", true},
        {"serial:/dev/ttyS0", "/dev/ttyS0", true},
        {"serial:/dev/ttyS1", "COM1", false},
        {"parallel:/dev/lp0", "LPT1", true},
        {"file:///dev/usb/lp3", "/dev/usb/lp3", true},
        {"file:/dev/usb/lp3", "/dev/usb/lp3", true},
        {"socket://10.0.0.9:9100", "/dev/usb/lp3", false},
        {"usb://Maker/Model?serial=ABC", "/dev/usb/lp3", false},  // no such printer here
        {"serial", "COM1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(CDevManHelper::QueueUsesDevice(c.uri, c.device), c.same);
    }
}

}  // namespace
