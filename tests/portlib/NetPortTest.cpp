// The network port against a scripted printer on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "PortNet.h"
#include "ScriptedPeer.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"
#include "platform/Clock.h"
#include "platform/IcmpEcho.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kEventWait = 10s;

// The receivers are plain function pointers, so what they hear goes to globals.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> power;
    std::string data;

    void reset() {
        std::lock_guard<std::mutex> guard(mutex);
        power.clear();
        data.clear();
    }
    std::vector<int> powerEvents() {
        std::lock_guard<std::mutex> guard(mutex);
        return power;
    }
    bool waitForPower(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kEventWait, [&] { return power.size() >= count; });
    }
    bool waitForData(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kEventWait,
                                [&] { return data.find(text) != std::string::npos; });
    }
};
Heard heard;

void onPower(int onLine) {
    {
        std::lock_guard<std::mutex> guard(heard.mutex);
        heard.power.push_back(onLine);
    }
    heard.changed.notify_all();
}

void onData(const char* bytes, int length) {
    {
        std::lock_guard<std::mutex> guard(heard.mutex);
        heard.data.append(bytes, static_cast<size_t>(length));
    }
    heard.changed.notify_all();
}

// A printer that answers pings or not, on cue.
class FakeEcho : public platform::IcmpEcho {
public:
    platform::EchoReply echo(uint32_t, int) override {
        ++calls;
        platform::EchoReply reply;
        if (answers)
            reply.outcome = platform::EchoReply::Outcome::Reply;
        else
            reply.error = 11010;
        return reply;
    }
    std::atomic<bool> answers{true};
    std::atomic<int> calls{0};
};

class ManualClock : public platform::Clock {
public:
    uint32_t tickCount() const override { return ticks; }
    int64_t epochMillis() const override { return platform::systemClock().epochMillis(); }
    platform::LocalTime toLocal(int64_t ms) const override {
        return platform::systemClock().toLocal(ms);
    }
    std::atomic<uint32_t> ticks{1000000};
};

NetPortTimings fastTimings() {
    NetPortTimings t;
    t.openCloseCheckMs = 20;
    t.secondCallDelayMs = 30;
    t.connectSettleMs = 5;
    t.reopenCloseWaitMs = 30;
    t.reconnectRetryMs = 30;
    t.reopenSettleMs = 30;
    t.probeFailSleepMs = 5;
    t.sendWaitMs = 300;
    t.sendWaitStepMs = 20;
    t.acknowledgeStallMs = 300;
    t.acknowledgeTotalMs = 1000;
    return t;
}

int nextPortId = 500;

// The system call the thread is blocked in: the first field of its /proc syscall line.
long blockingCall(pid_t tid) {
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    return file >> number ? number : -1;
}

// True when the thread sits in a poll of its socket.
bool inPoll(pid_t tid) {
    long number = blockingCall(tid);
#ifdef SYS_poll
    if (number == SYS_poll)
        return true;
#endif
    return number == SYS_ppoll;
}

// True when the thread sleeps (a write's pause after a piece).
bool asleep(pid_t tid) {
    long number = blockingCall(tid);
    return number == SYS_nanosleep || number == SYS_clock_nanosleep;
}

std::string withoutZerosAround(const std::string& bytes) {
    size_t first = bytes.find_first_not_of('\0');
    if (first == std::string::npos)
        return {};
    return bytes.substr(first, bytes.find_last_not_of('\0') - first + 1);
}

class NetPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        TraceSetEncoding(TraceEncoding::Utf16LE);
        heard.reset();
        port.portId = nextPortId++;
        port.portType = 2;
        TraceOpen(port.portId, 2, "Net");
        ASSERT_TRUE(peer.start());
        port.SetIcmpEcho(echo);
        port.SetTimings(fastTimings());
    }
    void TearDown() override {
        port.ClosePort();
        TraceClose(port.portId);
    }

    void open() {
        ASSERT_TRUE(port.CreateDeviceOption(2, peer.portName()));
        ASSERT_TRUE(port.OpenPort());
        auto parser = port.parser();
        ASSERT_TRUE(parser);
        parser->SetUseDevice(0, true);
        parser->SetDataReceiver(0, onData);
        parser->SetPowerStatusReceiver(0, onPower);
    }
    // Small socket buffers at both ends and no read thread: a peer that stalls holds
    // back the host's writes soon.
    void openWithSmallBuffers() {
        peer.stop();
        ASSERT_TRUE(peer.start(4096));
        port.SetSendBufferSize(4096);
        port.useReadThread = false;
        open();
        ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    }
    // A printer that holds little, behind a host buffer that holds a job: a printer that
    // stalls leaves the job sent but not acknowledged.
    void openWithSmallPrinterBuffer() {
        peer.stop();
        ASSERT_TRUE(peer.start(4096));
        port.SetSendBufferSize(256 * 1024);
        port.useReadThread = false;
        open();
        ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    }
    // Trace lines whose text (after the method and line number) is exactly `text`.
    int linesSaying(const std::string& text) {
        int count = 0;
        for (const std::string& line : tracefiles::lines(home.path(), true)) {
            std::string end = ") " + text;
            if (line.size() >= end.size() &&
                line.compare(line.size() - end.size(), end.size(), end) == 0)
                ++count;
        }
        return count;
    }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text, true); }
    int readOnce() {
        char buffer[1024];
        return port.ReadPort(buffer, sizeof buffer);
    }

    TempHome home;
    vprinter::ScriptedPeer peer;
    std::shared_ptr<FakeEcho> echo = std::make_shared<FakeEcho>();
    CPortNet port;
};

TEST_F(NetPortTest, PortNamesNeedFourDecimalPartsAndAUsablePort) {
    for (const char* name : {"10.0.0.256:9100", "printer.local:9100", "10.0.0.5:0", "10.0.0:9100",
                             "10.0.0.5.1", "10..0.5", "10.0.0.5:70000", ""}) {
        EXPECT_FALSE(port.CreateDeviceOption(2, name)) << name;
        EXPECT_TRUE(traced(std::string("Invalid port name : ") + name)) << name;
    }

    EXPECT_TRUE(port.CreateDeviceOption(2, "10.0.0.5"));
    EXPECT_EQ(port.tcpPort(), 9100);
    EXPECT_EQ(port.deviceName, "10.0.0.5");
    EXPECT_TRUE(port.CreateDeviceOption(1, "10.0.0.5:abc"));
    EXPECT_EQ(port.tcpPort(), 9100);
    EXPECT_TRUE(port.CreateDeviceOption(2, "192.168.000.10:9101"));
    EXPECT_EQ(port.tcpPort(), 9101);
    EXPECT_EQ(port.address(), 0xC0A8000Au);
}

TEST_F(NetPortTest, WritesReachThePrinterAndRepliesReachTheDataReceiver) {
    peer.addReply("ping", "pong");
    open();
    EXPECT_TRUE(port.IsConnected());
    EXPECT_TRUE(traced("CPortNet::OpenPort"));

    std::string job(10000, 'j');
    job += "ping";
    EXPECT_EQ(port.Write(job.data(), static_cast<int>(job.size()), 0),
              static_cast<int>(job.size()));
    ASSERT_TRUE(peer.waitForBytes(job.size(), kEventWait));
    EXPECT_EQ(peer.received().substr(0, job.size()), job);
    EXPECT_TRUE(heard.waitForData("pong"));
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{});
}

TEST_F(NetPortTest, LastBytesBeforeThePrinterClosesAreReadBeforeTheClose) {
    port.useReadThread = false;
    port.SetNetworkTimeout(30, 800, 3);
    open();
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    ASSERT_TRUE(peer.sendToAll("bye"));
    peer.dropConnections();

    char buffer[1024] = {};
    int got = 0;
    for (int i = 0; i < 5 && got == 0; ++i)
        got = port.ReadPort(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(std::max(got, 0))), "bye");
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{});
    EXPECT_EQ(readOnce(), 0);
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{0});
}

TEST_F(NetPortTest, PrinterThatGoesAwayIsReportedOffLineOnceAndOnLineWhenBack) {
    open();
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    peer.refuse();
    peer.dropConnections();
    ASSERT_TRUE(heard.waitForPower(1));
    EXPECT_FALSE(port.IsConnected());

    ASSERT_TRUE(peer.comeBack());
    ASSERT_TRUE(heard.waitForPower(2));
    EXPECT_EQ(heard.powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(linesSaying("Socket reopen success. power status on-line"), 1);

    EXPECT_EQ(port.Write("after", 5, 0), 5);
    EXPECT_TRUE(peer.waitForBytes(5, kEventWait));
}

TEST_F(NetPortTest, ReconnectsThatAreDroppedAgainStayOffLineWithoutNewReports) {
    open();
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    peer.closeNextAccepts(2);
    peer.dropConnections();
    ASSERT_TRUE(peer.waitForConnections(3, kEventWait));
    ASSERT_TRUE(heard.waitForPower(2));
    EXPECT_EQ(heard.powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_EQ(peer.connections(), 4);
    EXPECT_EQ(linesSaying("Socket reopen success. power status on-line"), 1);
}

TEST_F(NetPortTest, PrinterThatClosesRightAfterAcceptingIsCalledASecondTime) {
    NetPortTimings timings = fastTimings();
    timings.openCloseCheckMs = NetPortTimings::kOpenCloseCheckMs;
    port.SetTimings(timings);
    peer.closeNextAccepts(1);
    open();
    EXPECT_EQ(peer.connections(), 2);
    EXPECT_EQ(linesSaying("second call"), 1);
    EXPECT_EQ(port.Write("x", 1, 0), 1);
    EXPECT_TRUE(peer.waitForBytes(1, kEventWait));
}

TEST_F(NetPortTest, ClosedPrinterFailsTheOpen) {
    peer.refuse();
    ASSERT_TRUE(port.CreateDeviceOption(2, peer.portName()));
    EXPECT_FALSE(port.OpenPort());
    EXPECT_TRUE(traced("-fail to connected. retry(1)"));
    EXPECT_EQ(port.Write("x", 1, 0), 0);
}

TEST_F(NetPortTest, IdleReadProbesOnlyWhileTheHostIsNotWriting) {
    NetPortTimings timings = fastTimings();
    timings.probeIntervalMs = 0;
    port.SetTimings(timings);
    port.useReadThread = false;
    port.SetNetworkTimeout(30, 800, 3);
    open();

    // TCP keeps the order: a probe sent by the idle read would arrive before the marker.
    port.SetWrite(true);
    EXPECT_EQ(readOnce(), 0);
    ASSERT_EQ(port.WritePort("A", 1, 0), 1);
    ASSERT_TRUE(peer.waitForBytes(1, kEventWait));

    port.SetWrite(false);
    EXPECT_EQ(readOnce(), 0);
    ASSERT_EQ(port.WritePort("B", 1, 0), 1);
    ASSERT_TRUE(peer.waitForBytes(3, kEventWait));
    EXPECT_EQ(peer.received(), std::string("A\0B", 3));

    port.useWriteNullByte = false;
    EXPECT_EQ(readOnce(), 0);
    ASSERT_EQ(port.WritePort("C", 1, 0), 1);
    ASSERT_TRUE(peer.waitForBytes(4, kEventWait));
    EXPECT_EQ(peer.received(), std::string("A\0BC", 4));
}

TEST_F(NetPortTest, SendThatStaysBlockedGivesUpWithoutLosingOrRepeatingBytes) {
    ASSERT_NO_FATAL_FAILURE(openWithSmallBuffers());
    peer.stall(true);
    // Far more than both socket buffers hold: the send itself stays blocked.
    std::string job(256 * 1024, '\0');
    for (size_t k = 0; k < job.size(); ++k)
        job[k] = static_cast<char>(k % 251);
    const int sent = port.WritePort(job.data(), static_cast<int>(job.size()), 0);
    ASSERT_GT(sent, 0);
    ASSERT_LT(sent, static_cast<int>(job.size()));
    EXPECT_TRUE(traced("waitfor timeout"));
    EXPECT_TRUE(port.IsConnected());

    peer.stall(false);
    ASSERT_TRUE(peer.waitForBytes(static_cast<size_t>(sent), kEventWait));
    EXPECT_EQ(peer.receivedCount(), static_cast<size_t>(sent));
    EXPECT_TRUE(peer.received() == job.substr(0, static_cast<size_t>(sent)));
}

// Bytes in the socket's buffer are not yet the printer's: a write succeeds only once the
// printer acknowledged them, so one that stopped taking data or died a moment ago fails
// it, and one that takes data again passes the next.
TEST_F(NetPortTest, AWriteSucceedsOnlyOnceThePrinterAcknowledgedItsBytes) {
    ASSERT_NO_FATAL_FAILURE(openWithSmallPrinterBuffer());
    peer.stall(true);
    const std::string job(20000, 'j');  // fits the host's buffer, not the printer's
    EXPECT_EQ(port.Write(job.data(), static_cast<int>(job.size()), 0), 0);
    EXPECT_TRUE(traced("the printer did not acknowledge"));
    peer.stall(false);
    EXPECT_EQ(port.Write("x", 1, 0), 1);
    ASSERT_TRUE(peer.waitForBytes(job.size() + 1, kEventWait));

    // The printer closes; the next write goes into the buffer all the same, and the
    // printer's end answers it with a reset.
    peer.dropConnections(false);
    ASSERT_TRUE(peer.waitForOpenConnections(0, kEventWait));
    EXPECT_EQ(port.Write("lost", 4, 0), 0);
    EXPECT_TRUE(traced("the connection ended before the printer took 4 bytes"));
    EXPECT_FALSE(port.IsConnected());
}

// A printer that resets the connection with a job unread, while the write pauses after a
// piece, and takes the read thread's new connection: the write must not go on over that
// connection, nor take its empty buffer for the printer having acknowledged the job.
TEST_F(NetPortTest, AWriteWhoseConnectionWasReplacedUnderItFails) {
    constexpr int kJob = 20000;     // more than the printer's buffer holds
    constexpr int kPauseMs = 1000;  // after each piece; far longer than a reconnect
    struct Case {
        const char* replaced;
        int pieceSize;
        int written;  // what Write reports: the pieces that went out on the first connection
    };
    const Case cases[] = {
        {"before the confirmation", kJob, 0},
        {"between two pieces", kJob / 2, kJob / 2},
    };
    const std::string job(kJob, 'j');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replaced);
        port.ClosePort();
        heard.reset();
        port.outputBufferSize = c.pieceSize;
        peer.stop();
        ASSERT_TRUE(peer.start(4096));
        port.SetSendBufferSize(256 * 1024);
        ASSERT_NO_FATAL_FAILURE(open());
        ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
        peer.stall(true);

        std::atomic<pid_t> writer{0};
        auto write = std::async(std::launch::async, [&] {
            writer = static_cast<pid_t>(::syscall(SYS_gettid));
            return port.Write(job.data(), kJob, kPauseMs);
        });
        // The first piece is in the host's buffer once the writer pauses after it.
        bool pausing = false;
        for (int i = 0; i < 1000 && !pausing; ++i) {
            pausing = writer && asleep(writer);
            if (!pausing)
                std::this_thread::sleep_for(1ms);
        }
        ASSERT_TRUE(pausing);
        peer.dropConnections(true);
        peer.stall(false);
        ASSERT_TRUE(heard.waitForPower(2));  // off-line, then on-line on a new connection
        EXPECT_EQ(write.get(), c.written);
        EXPECT_EQ(peer.received().find('j'), std::string::npos);
        EXPECT_TRUE(port.IsConnected());
    }
}

// An answer the host never read makes a plain close a reset, which drops the end of the
// job still on its way; the close waits for the printer to take it.
TEST_F(NetPortTest, CloseRightAfterAWriteDeliversItAllThoughAnAnswerLiesUnread) {
    ASSERT_NO_FATAL_FAILURE(openWithSmallPrinterBuffer());
    ASSERT_TRUE(peer.sendToAll("status"));
    peer.stall(true);
    // The write gives up waiting for the printer to acknowledge; its bytes stay on their way.
    const std::string job(20000, 'j');
    ASSERT_EQ(port.Write(job.data(), static_cast<int>(job.size()), 0), 0);
    // The printer takes the rest only once the close has begun.
    std::thread printer([&] {
        std::this_thread::sleep_for(50ms);
        peer.stall(false);
    });
    port.ClosePort();
    printer.join();
    ASSERT_TRUE(peer.waitForOpenConnections(0, kEventWait));
    EXPECT_EQ(peer.receivedCount(), job.size());
}

TEST_F(NetPortTest, SendToAResetConnectionMarksOffLineAndTheNextReadReportsIt) {
    port.useReadThread = false;
    port.SetNetworkTimeout(30, 800, 3);
    open();
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    peer.dropConnections(true);

    int result = 1;
    for (int i = 0; i < 100 && result != 0; ++i)
        result = port.WritePort("x", 1, 0);
    ASSERT_EQ(result, 0);
    EXPECT_TRUE(traced("and connect status off-line"));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{});

    // The failed send only marked the state; the read reports it, then reconnects.
    for (int i = 0; i < 5 && heard.powerEvents().size() < 2; ++i)
        readOnce();
    EXPECT_EQ(heard.powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(port.IsConnected());
}

TEST_F(NetPortTest, SwitchedOffPrinterIsReportedOnceAndReconnectedWhenItAnswers) {
    port.useReadThread = false;
    port.SetNetworkTimeout(30, 800, 3);
    open();

    echo->answers = false;
    EXPECT_EQ(readOnce(), 0);
    EXPECT_EQ(echo->calls, 3);
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{0});
    EXPECT_EQ(readOnce(), 0);
    EXPECT_EQ(echo->calls, 6);
    EXPECT_EQ(heard.powerEvents(), std::vector<int>{0});
    EXPECT_EQ(linesSaying("power status off-line"), 1);
    EXPECT_EQ(peer.connections(), 1);

    echo->answers = true;
    EXPECT_EQ(readOnce(), 0);
    EXPECT_EQ(heard.powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_EQ(linesSaying("Socket is close and sleep"), 1);
    EXPECT_EQ(linesSaying("Socket reopen success. power status on-line"), 1);
    EXPECT_TRUE(peer.waitForConnections(2, kEventWait));
    EXPECT_TRUE(port.IsConnected());
}

TEST_F(NetPortTest, EchoIsSentAtMostOncePerPingInterval) {
    ManualClock manual;
    platform::ScopedClock scoped(manual);
    port.useReadThread = false;
    port.useWriteNullByte = false;
    port.SetNetworkTimeout(10, 800, 3);
    open();

    readOnce();
    readOnce();
    EXPECT_EQ(echo->calls, 1);
    manual.ticks += NetPortTimings::kPingIntervalMs - 1;
    readOnce();
    EXPECT_EQ(echo->calls, 1);
    manual.ticks += 1;
    readOnce();
    EXPECT_EQ(echo->calls, 2);

    port.SetCheckIcmpEcho(false);
    manual.ticks += 10000;
    readOnce();
    EXPECT_EQ(echo->calls, 2);
}

// An echo that cannot be sent is no printer that does not answer: ordinary users may send
// none (net.ipv4.ping_group_range here lets no group in), root may.
TEST_F(NetPortTest, RealEchoOrItsAbsenceKeepsThePortOnLine) {
    peer.stop();  // each child makes its own; a process forks only while it has one thread
    for (bool asNobody : {false, true}) {
        SCOPED_TRACE(asNobody ? "unprivileged" : "privileged");
        ChildProcess::openToEveryone(home.path());
        int result = ChildProcess::runToEnd(
            [this, asNobody] {
                vprinter::ScriptedPeer printer;
                CPortNet child;
                child.portId = port.portId;
                child.SetTimings(fastTimings());
                child.useReadThread = false;
                child.SetNetworkTimeout(10, 800, 3);
                if (!printer.start() || !child.CreateDeviceOption(2, printer.portName()) ||
                    !child.OpenPort())
                    return 1;
                child.parser()->SetPowerStatusReceiver(0, onPower);
                char buffer[16];
                for (int i = 0; i < 3; ++i)
                    child.ReadPort(buffer, sizeof buffer);
                bool noEcho = platform::systemIcmpEcho()->echo(0x7F000001, 800).outcome ==
                              platform::EchoReply::Outcome::NoHandle;
                int failures = 0;
                if (!child.IsConnected() || !heard.powerEvents().empty())
                    failures |= 2;
                if (linesSaying("echo check unavailable: the connection alone watches the "
                                "printer") != (noEcho ? 1 : 0))
                    failures |= 4;
                if (child.Write("x", 1, 0) != 1 || !printer.waitForBytes(1, kEventWait))
                    failures |= 8;
                if (asNobody && !noEcho)
                    failures |= 16;  // the unprivileged case would test nothing
                child.ClosePort();
                return failures;
            },
            asNobody);
        EXPECT_EQ(result, 0);
    }
}

TEST_F(NetPortTest, NoProbeByteLandsBetweenThePiecesOfAWrite) {
    NetPortTimings timings = fastTimings();
    timings.probeIntervalMs = 0;
    port.SetTimings(timings);
    port.SetNetworkTimeout(5, 800, 3);  // idle receive waits end, and probe, every 5 ms
    port.readThreadInterval = 1;
    port.outputBufferSize = 100;
    open();
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));

    // A printer that drains slowly: 30 ms after each piece in which the read thread idles.
    std::string job(500, 'd');
    ASSERT_EQ(port.Write(job.data(), static_cast<int>(job.size()), 30),
              static_cast<int>(job.size()));
    ASSERT_TRUE(peer.waitForBytes(job.size(), kEventWait));
    EXPECT_EQ(withoutZerosAround(peer.received()), job);
}

TEST_F(NetPortTest, ReadWithoutThreadWaitsForDataNoLongerThanItsTimeOut) {
    port.useReadThread = false;
    port.SetNetworkTimeout(60000, 800, 3);  // the connect time-out, far beyond the caller's
    open();
    char buffer[4];
    auto read = std::async(std::launch::async, [&] { return port.Read(buffer, 4, 300, 0); });
    ASSERT_EQ(read.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(read.get(), 0);
}

TEST_F(NetPortTest, TwoReadsWithoutThreadShareTheConnection) {
    port.useReadThread = false;
    open();
    port.parser()->SetDataReceiver(0, nullptr);  // the bytes stay queued for the readers
    ASSERT_TRUE(peer.waitForOpenConnections(1, kEventWait));
    std::atomic<pid_t> tids[2] = {0, 0};
    std::string got[2];
    auto reader = [&](int i) {
        tids[i] = static_cast<pid_t>(::syscall(SYS_gettid));
        char byte = 0;
        if (port.Read(&byte, 1, 10000, 0) == 1)
            got[i] = std::string(1, byte);
    };
    std::thread first(reader, 0);
    std::thread second(reader, 1);
    // Both wait on the socket when the byte comes: one takes it, the other finds nothing.
    bool bothWaiting = false;
    for (int i = 0; i < 1000 && !bothWaiting; ++i) {
        bothWaiting = tids[0] && tids[1] && inPoll(tids[0]) && inPoll(tids[1]);
        if (!bothWaiting)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(bothWaiting);
    ASSERT_TRUE(peer.sendToAll("a"));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(peer.sendToAll("b"));
    first.join();
    second.join();

    EXPECT_TRUE(got[0] + got[1] == "ab" || got[0] + got[1] == "ba") << got[0] << "|" << got[1];
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(peer.connections(), 1);
    EXPECT_FALSE(traced("recv SOCKET_ERROR"));
}

}  // namespace
