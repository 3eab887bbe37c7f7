// The parallel port with the printer's status lines and data played by the test: the
// status byte decides on-line, the receivers hear each change, reads and the idle probe
// byte go as a parallel printer's do.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "PortListMng.h"
#include "PortLpt.h"
#include "Receivers.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "cvnport.h"

namespace {

using namespace std::chrono_literals;
constexpr unsigned kOnLine = 0x80;      // selected
constexpr unsigned kPowerOff = 0x90;    // selected, but switched off
constexpr unsigned kDeselected = 0x08;  // off-line

// A printer on the far side of the port.
class TestPrinter : public platform::ParallelPorts,
                    public std::enable_shared_from_this<TestPrinter> {
public:
    std::atomic<unsigned> status{kOnLine};

    void send(const std::string& bytes) {
        std::lock_guard<std::mutex> guard(mutex_);
        toHost_.insert(toHost_.end(), bytes.begin(), bytes.end());
    }
    std::string received() {
        std::lock_guard<std::mutex> guard(mutex_);
        return received_;
    }
    std::string openedPath() {
        std::lock_guard<std::mutex> guard(mutex_);
        return path_;
    }

    std::unique_ptr<platform::ParallelDevice> open(const std::string& path, int&) override {
        std::lock_guard<std::mutex> guard(mutex_);
        path_ = path;
        return std::make_unique<Device>(shared_from_this());
    }

private:
    class Device : public platform::ParallelDevice {
    public:
        explicit Device(std::shared_ptr<TestPrinter> printer) : printer_(std::move(printer)) {}
        bool status(unsigned& out) override {
            out = printer_->status;
            return true;
        }
        bool applyTimeouts(const platform::CommTimeouts&) override { return true; }
        bool purge() override { return true; }
        platform::DeviceIo read(void* buffer, int length) override {
            std::lock_guard<std::mutex> guard(printer_->mutex_);
            int count = 0;
            while (count < length && !printer_->toHost_.empty()) {
                static_cast<char*>(buffer)[count++] = printer_->toHost_.front();
                printer_->toHost_.pop_front();
            }
            return {count, platform::DeviceIo::Outcome::Done, 0};
        }
        platform::DeviceIo write(const void* data, int length) override {
            std::lock_guard<std::mutex> guard(printer_->mutex_);
            printer_->received_.append(static_cast<const char*>(data), static_cast<size_t>(length));
            return {length, platform::DeviceIo::Outcome::Done, 0};
        }
        void cancel() override {}

    private:
        std::shared_ptr<TestPrinter> printer_;
    };

    std::mutex mutex_;
    std::deque<char> toHost_;
    std::string received_;
    std::string path_;
};

class ParallelPort : public ::testing::Test {
protected:
    ParallelPort()
        : printer(std::make_shared<TestPrinter>()), mng(nullptr, [this](int type) {
              std::shared_ptr<CPortInterface> port = CPortListMng::makePort(type);
              if (auto lpt = std::dynamic_pointer_cast<CPortLpt>(port))
                  lpt->SetParallelPorts(printer);
              return port;
          }) {
        Heard::instance().reset();
        mng.SetTrace(2, false);
    }

    // Opens a port and, once its read thread has told of the open, sets the receivers:
    // they hear the changes after it.
    int open(const std::string& name, bool useThread = true) {
        const std::string told = "LPT Power Status Changed : 2001";
        int before = tracedCount(told);
        int id = mng.Create(CVN_PORT_PARALLEL, name, 0);
        mng.SetReadThreadInterval(id, 10);
        mng.SetUseReadThread(id, useThread);
        if (mng.OpenPort(id, 0) != 1)
            return 0;
        if (useThread)
            waitForTrace(told, before + 1);
        mng.SetPowerStatusReceiver(id, 0, &Heard::power<0>);
        return id;
    }
    void close(int id) {
        mng.ClosePort(id, 0);
        mng.Remove(id, 0);
    }
    int tracedCount(const std::string& text) { return tracefiles::count(home.path(), text); }
    bool waitForTrace(const std::string& text, int count) {
        auto deadline = std::chrono::steady_clock::now() + Heard::kWait;
        while (tracedCount(text) < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    TempHome home;
    std::shared_ptr<TestPrinter> printer;
    CPortListMng mng;
};

TEST_F(ParallelPort, OnlyASelectedPrinterWithPowerOpens) {
    printer->status = kPowerOff;
    EXPECT_EQ(open("LPT1"), 0);
    EXPECT_EQ(tracedCount("LPT Status : 90"), 1);
    printer->status = kDeselected;
    EXPECT_EQ(open("lpt1:anything"), 0);

    printer->status = kOnLine;
    int id = open("LPT1");
    ASSERT_NE(id, 0);
    EXPECT_EQ(printer->openedPath(), "/dev/lp0");
    const char job[] = "Receipt on a parallel port\n";
    EXPECT_EQ(mng.Write(job, sizeof job - 1, id), static_cast<int>(sizeof job - 1));
    // Idle probes may come before it.
    EXPECT_NE(printer->received().find(job), std::string::npos);
    close(id);
}

TEST_F(ParallelPort, APrinterSwitchedOffIsOffLineOnceAndTheReceiversHearItComeBack) {
    int id = open("LPT1");
    ASSERT_NE(id, 0);

    printer->status = kPowerOff;
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(id));
    printer->status = kOnLine;
    ASSERT_TRUE(Heard::instance().waitForPower(2));
    EXPECT_TRUE(mng.IsConnected(id));
    EXPECT_EQ(Heard::instance().powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_EQ(tracedCount("LPT Power Status Changed : 2003"), 1);
    close(id);
}

TEST_F(ParallelPort, ReadsTakeAtMostTwentyBytesAndAnIdlePortProbesOnlyWhenNoWriteIsUnderWay) {
    int id = open("LPT1", false);
    ASSERT_NE(id, 0);
    auto port = std::dynamic_pointer_cast<CPortLpt>(mng.Lookup(id, ""));
    port->useOverlappedIO = false;  // byte by byte
    printer->send(std::string(50, 'a'));
    char buffer[1024];
    EXPECT_EQ(port->ReadPort(buffer, sizeof buffer), 20);
    EXPECT_EQ(port->ReadPort(buffer, sizeof buffer), 20);
    EXPECT_EQ(port->ReadPort(buffer, sizeof buffer), 10);
    EXPECT_TRUE(printer->received().empty());

    mng.WriteLock(true, id);
    EXPECT_EQ(port->ReadPort(buffer, sizeof buffer), 0);
    EXPECT_TRUE(printer->received().empty());
    mng.WriteLock(false, id);
    EXPECT_EQ(port->ReadPort(buffer, sizeof buffer), 0);
    EXPECT_EQ(printer->received(), std::string(1, '\0'));
    close(id);
}

}  // namespace
