// The serial port against the virtual printer's serial line: a pseudo-terminal whose far
// end the printer reads, so the line settings, the bytes and the answers are real. The
// modem lines a pseudo-terminal lacks come from the test.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "PortCom.h"
#include "PortListMng.h"
#include "Receivers.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "VirtualPrinter.h"
#include "cvnport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kWait = 10s;
constexpr ComPortTimings kShortTimings{5, 20, 50};

// The real device of the pseudo-terminal, with modem lines the test sets, and a link the
// test can take down (the device cannot be opened then). It keeps the last line set: a
// pseudo-terminal takes every frame as 8N1, so data bits and parity show only here.
class TestLines : public platform::SerialPorts, public std::enable_shared_from_this<TestLines> {
public:
    std::atomic<unsigned> lines{platform::kModemCts | platform::kModemDsr};
    std::atomic<bool> linkUp{true};
    std::atomic<int> opens{0};
    platform::SerialLine applied;

    std::unique_ptr<platform::SerialDevice> open(const std::string& path, int& error) override {
        if (!linkUp) {
            error = ENXIO;
            return nullptr;
        }
        std::unique_ptr<platform::SerialDevice> real =
            platform::systemSerialPorts()->open(path, error);
        if (!real)
            return nullptr;
        ++opens;
        return std::make_unique<Device>(std::move(real), shared_from_this());
    }

private:
    class Device : public platform::SerialDevice {
    public:
        Device(std::unique_ptr<platform::SerialDevice> real, std::shared_ptr<TestLines> owner)
            : real_(std::move(real)), owner_(std::move(owner)) {}
        bool readState() override { return real_->readState(); }
        bool applyLine(const platform::SerialLine& line) override {
            owner_->applied = line;
            return real_->applyLine(line);
        }
        bool applyTimeouts(const platform::CommTimeouts& t) override {
            return real_->applyTimeouts(t);
        }
        bool purge(unsigned what) override { return real_->purge(what); }
        int drain(int stallMs, int totalMs) override { return real_->drain(stallMs, totalMs); }
        platform::ModemStatus modemStatus() override {
            if (!owner_->linkUp)
                return {platform::ModemStatus::Outcome::Failed, 0, EIO};
            return {platform::ModemStatus::Outcome::Lines, owner_->lines, 0};
        }
        int queuedInput() override { return real_->queuedInput(); }
        platform::DeviceIo read(void* buffer, int length) override {
            return real_->read(buffer, length);
        }
        platform::DeviceIo write(const void* data, int length) override {
            return real_->write(data, length);
        }
        bool waitReadable(int timeoutMs) override { return real_->waitReadable(timeoutMs); }
        void cancel() override { real_->cancel(); }
        int lastError() const override { return real_->lastError(); }

    private:
        std::unique_ptr<platform::SerialDevice> real_;
        std::shared_ptr<TestLines> owner_;
    };
};

vprinter::VirtualPrinterOptions serialPrinter() {
    vprinter::VirtualPrinterOptions options;
    options.listeners.clear();
    options.serial = vprinter::VirtualPrinterOptions::Listener{};
    return options;
}

class SerialPort : public ::testing::Test {
protected:
    SerialPort()
        : printer(std::make_unique<vprinter::VirtualPrinter>(serialPrinter())),
          mng(nullptr, [this](int type) {
              std::shared_ptr<CPortInterface> port = CPortListMng::makePort(type);
              if (auto com = std::dynamic_pointer_cast<CPortCom>(port)) {
                  com->SetTimings(kShortTimings);
                  if (lines)
                      com->SetSerialPorts(lines);
              }
              return port;
          }) {
        Heard::instance().reset();
        mng.SetTrace(2, false);
    }
    void SetUp() override { ASSERT_TRUE(printer->start()); }

    // Opens a port on the printer's line and, once its read thread has told of the open,
    // sets the receivers: they hear the changes after it.
    int open(int type, const std::string& fields = "") {
        int signals = tracedCount("Serial On-line signal");
        int id = mng.Create(type, printer->serialPath() + fields, 0);
        if (id == 0 || mng.OpenPort(id, 0) != 1)
            return 0;
        waitForTrace("Serial On-line signal", signals + 1);
        mng.SetPowerStatusReceiver(id, 0, &Heard::power<0>);
        return id;
    }
    // Waits until the trace holds `count` lines with the text.
    bool waitForTrace(const std::string& text, int count = 1) {
        auto deadline = std::chrono::steady_clock::now() + kWait;
        while (tracedCount(text) < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    void close(int id) {
        mng.ClosePort(id, 0);
        mng.Remove(id, 0);
    }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }
    int tracedCount(const std::string& text) { return tracefiles::count(home.path(), text); }

    TempHome home;
    std::unique_ptr<vprinter::VirtualPrinter> printer;
    std::shared_ptr<TestLines> lines;
    CPortListMng mng;
};

TEST_F(SerialPort, PortNameFieldsSetTheLine) {
    struct Case {
        const char* fields;
        platform::SerialLine line;
        const char* farEnd;  // what the far end's terminal shows of it
    };
    const Case cases[] = {
        {"", {115200, 8, 0, 0, 0}, "115200 8N1 rtscts"},  // the defaults: hardware handshake
        {":9600:8:0:0:2", {9600, 8, 0, 0, 2}, "9600 8N1 none"},
        {":19200:7:2:2:1", {19200, 7, 2, 2, 1}, "19200 8N2 xonxoff rtscts"},
        {":38400:8:1:0:0", {38400, 8, 1, 0, 0}, "38400 8N1 rtscts"},
        {":4800:5:4:1:2", {4800, 5, 4, 1, 2}, "4800 8N2 none"},  // 1.5 stop bits at 5 data bits
    };
    lines = std::make_shared<TestLines>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields);
        int id = open(CVN_PORT_SERIAL, c.fields);
        ASSERT_NE(id, 0);
        EXPECT_EQ(printer->serialLine(), c.farEnd);
        const platform::SerialLine& applied = lines->applied;
        EXPECT_EQ(applied.baudRate, c.line.baudRate);
        EXPECT_EQ(applied.dataBits, c.line.dataBits);
        EXPECT_EQ(applied.parity, c.line.parity);
        EXPECT_EQ(applied.stopBits, c.line.stopBits);
        EXPECT_EQ(applied.flowControl, c.line.flowControl);
        close(id);
    }
    // A Bluetooth link keeps its byte frame whatever the name says.
    int id = open(CVN_PORT_BLUETOOTH, ":9600:7:2:2:2");
    ASSERT_NE(id, 0);
    EXPECT_EQ(printer->serialLine(), "9600 8N1 rtscts");
    EXPECT_EQ(lines->applied.dataBits, 8);
    EXPECT_EQ(lines->applied.parity, 0);
    close(id);
}

TEST_F(SerialPort, ALineTheDeviceCannotTakeFailsTheOpen) {
    EXPECT_EQ(open(CVN_PORT_SERIAL, ":12345"), 0);
    EXPECT_TRUE(traced("<ERROR> -(BLE) : fail to SetCommState=22"));
    EXPECT_EQ(open(CVN_PORT_SERIAL, ":9600:9"), 0);
    // Nothing of the failed opens is left holding the line.
    int id = open(CVN_PORT_SERIAL, ":9600");
    EXPECT_NE(id, 0);
    close(id);
}

TEST_F(SerialPort, APortWithoutModemLinesIsOnLineUntilItsFarEndHangsUp) {
    int id = open(CVN_PORT_SERIAL, ":9600");
    ASSERT_NE(id, 0);
    EXPECT_TRUE(mng.IsConnected(id));
    EXPECT_EQ(tracedCount("change GetCommModemStatus : dwMask=48"), 1);

    // The printer goes away with its end of the line.
    printer.reset();
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_EQ(Heard::instance().powerEvents(), std::vector<int>{0});
    EXPECT_FALSE(mng.IsConnected(id));
    EXPECT_EQ(tracedCount("Serial Off-line signal"), 1);
    close(id);
}

TEST_F(SerialPort, CheckedModemLinesDecideOnLineAndTheReceiversHearEachChange) {
    lines = std::make_shared<TestLines>();
    lines->lines = platform::kModemDsr;
    EXPECT_EQ(open(CVN_PORT_SERIAL, ":9600"), 0);  // CTS is checked and low
    EXPECT_TRUE(traced("change GetCommModemStatus : dwMask=32"));

    lines->lines = platform::kModemCts | platform::kModemDsr;
    int id = open(CVN_PORT_SERIAL, ":19200");
    ASSERT_NE(id, 0);
    mng.SetCheckModemStatus(id, false, true);
    lines->lines = platform::kModemDsr;  // CTS drops, but is not checked any more
    ASSERT_TRUE(waitForTrace("change GetCommModemStatus : dwMask=32", 2));
    EXPECT_TRUE(mng.IsConnected(id));

    lines->lines = 0;  // DSR drops
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(id));
    lines->lines = platform::kModemDsr;
    ASSERT_TRUE(Heard::instance().waitForPower(2));
    EXPECT_TRUE(mng.IsConnected(id));
    EXPECT_EQ(Heard::instance().powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_EQ(tracedCount("Serial Off-line signal"), 1);
    // A serial port stays open while off-line; only a Bluetooth link is reopened.
    EXPECT_EQ(lines->opens, 2);
    close(id);
}

TEST_F(SerialPort, ADroppedBluetoothLinkIsClosedAndReopenedWhenItIsBack) {
    lines = std::make_shared<TestLines>();
    int id = open(CVN_PORT_BLUETOOTH, ":9600");
    ASSERT_NE(id, 0);

    lines->linkUp = false;
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(id));
    // Tries to reopen meanwhile fail, and wait between them.
    EXPECT_TRUE(waitForTrace("failed. sleep time"));
    EXPECT_TRUE(traced("<ERROR> -(Bluetooth) : port is INVALID_HANDLE_VALUE, GetLastError(6)"));

    lines->linkUp = true;
    ASSERT_TRUE(Heard::instance().waitForPower(2));
    EXPECT_TRUE(mng.IsConnected(id));
    EXPECT_EQ(Heard::instance().powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(traced("retry :Success"));
    EXPECT_EQ(tracedCount("Serial Off-line signal"), 1);
    EXPECT_EQ(tracedCount("Serial On-line signal"), 2);

    // The reopened link carries data.
    const char text[] = "after the drop\n";
    EXPECT_EQ(mng.Write(text, sizeof text - 1, id), static_cast<int>(sizeof text - 1));
    EXPECT_TRUE(printer->journal().waitFor(
        [](const vprinter::Journal::Elements& elements) {
            for (const Json::Value& element : elements)
                if (element["text"].asString() == "after the drop")
                    return true;
            return false;
        },
        kWait));
    close(id);
}

TEST_F(SerialPort, AWriteTheFarEndDoesNotTakeEndsAtTheWriteTimeOut) {
    int id = mng.Create(CVN_PORT_SERIAL, printer->serialPath() + ":115200", 0);
    auto port = std::dynamic_pointer_cast<CPortCom>(mng.Lookup(id, ""));
    port->timeouts.writeMultiplier = 0;
    port->timeouts.writeConstant = 200;
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    printer->stall(true);
    std::string block(1 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    int written = mng.Write(block.data(), static_cast<int>(block.size()), id);
    EXPECT_LT(written, static_cast<int>(block.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kWait);
    EXPECT_TRUE(traced("<ERROR> Fail("));
    printer->stall(false);
    close(id);
}

// What was written is on its way, not yet sent: a close at once must not throw it away.
TEST_F(SerialPort, AJobClosedRightAfterItsWriteArrivesWhole) {
    std::string job;
    for (int line = 0; line < 2000; ++line)
        job += "Line " + std::to_string(line) + " of a long receipt\n";
    int id = open(CVN_PORT_SERIAL, ":115200");
    ASSERT_NE(id, 0);
    ASSERT_EQ(mng.Write(job.data(), static_cast<int>(job.size()), id),
              static_cast<int>(job.size()));
    close(id);
    ASSERT_TRUE(printer->waitForOpenConnections(0, kWait));
    ASSERT_EQ(printer->rawBytes().size(), 1u);
    EXPECT_EQ(printer->rawBytes()[0].size(), job.size());
}

// The library as printer libraries load it, on a COM name the program's device map gives
// the printer's line.
TEST_F(SerialPort, TextAndAnswersPassThroughTheExportsOnAComName) {
    fs::create_directories(home.file("dosdevices"));
    fs::create_symlink(printer->serialPath(), home.file("dosdevices/COM7"));
    void* library = dlopen(CVNPORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto fn = [library](const char* name) { return dlsym(library, name); };
    auto createA = reinterpret_cast<int (*)(int, const char*, int)>(fn("CreatePortA"));
    auto openPort = reinterpret_cast<int (*)(int, int)>(fn("OpenPort"));
    auto write = reinterpret_cast<int (*)(const void*, int, int)>(fn("Write"));
    auto read = reinterpret_cast<int (*)(void*, int, int, int, int)>(fn("Read"));
    auto closePort = reinterpret_cast<int (*)(int, int)>(fn("ClosePort"));
    auto removePort = reinterpret_cast<int (*)(int, int)>(fn("RemovePort"));

    int id = createA(CVN_PORT_SERIAL, "COM7:9600:8:0:0:2", 0);
    ASSERT_GE(id, 100);
    ASSERT_EQ(openPort(id, 0), 1);
    EXPECT_EQ(printer->serialLine(), "9600 8N1 none");
    const char job[] = "Receipt over a serial line\n\x10\x04\x01";
    EXPECT_EQ(write(job, sizeof job - 1, id), static_cast<int>(sizeof job - 1));
    unsigned char answer = 0;
    EXPECT_EQ(read(&answer, 1, 5000, id, 0), 1);
    EXPECT_EQ(answer, 0x12);  // DLE EOT 1: on-line, drawer pin low
    EXPECT_EQ(closePort(id, 0), 0);
    EXPECT_EQ(removePort(id, 0), 0);
    dlclose(library);

    // The close ends the printer's connection, and the job is in its journal.
    EXPECT_TRUE(printer->waitForOpenConnections(0, kWait));
    vprinter::Journal::Elements texts = printer->journal().elements("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]["text"].asString(), "Receipt over a serial line");
    EXPECT_EQ(texts[0]["device"].asString(), printer->serialPath());
}

}  // namespace
