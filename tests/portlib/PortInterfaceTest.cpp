// The port base: chunked writes, queued and direct reads, the read thread's stop, and
// the gateway detection, against an in-memory port.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "FakePort.h"
#include "RelvoParser.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

constexpr int kPortId = 100;

class PortBase : public ::testing::Test {
protected:
    void SetUp() override {
        TraceOpen(kPortId, 2, "Test");
        port.portId = kPortId;
    }
    void TearDown() override {
        port.ClosePort();
        TraceClose(kPortId);
    }

    // Opens the port with or without its read thread and lets device 0 take data.
    void open(bool readThread) {
        port.useReadThread = readThread;
        ASSERT_TRUE(port.OpenPort());
        port.parser()->SetUseDevice(0, true);
    }

    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }
    int tracedCount(const std::string& text) { return tracefiles::count(home.path(), text); }

    TempHome home;
    FakePort port;
};

TEST_F(PortBase, WriteSplitsIntoPiecesOfTheOutputBufferSize) {
    open(false);
    std::string data(10000, 'x');
    EXPECT_EQ(port.Write(data.data(), 10000, 0), 10000);
    EXPECT_EQ(port.writeLengths(), (std::vector<int>{4096, 4096, 1808}));
}

TEST_F(PortBase, ShortPieceEndsTheWriteWithTheCountSoFar) {
    open(false);
    port.writeLimit = [](int call, int) { return call == 0 ? 100 : -1; };
    std::string data(10000, 'x');
    EXPECT_EQ(port.Write(data.data(), 10000, 0), 100);
    EXPECT_EQ(port.writeLengths().size(), 1u);
    EXPECT_TRUE(traced("<ERROR> Fail(100/10000)"));
}

TEST_F(PortBase, WriteRefusesBadArgumentsAndAClosedPort) {
    char byte = 'a';
    EXPECT_EQ(port.Write(&byte, 1, 0), 0);  // not open
    open(false);
    EXPECT_EQ(port.Write(nullptr, 5, 0), 0);
    EXPECT_EQ(port.Write(&byte, 0, 0), 0);
    EXPECT_EQ(port.Write(&byte, -3, 0), 0);
    EXPECT_TRUE(port.writeLengths().empty());
    EXPECT_EQ(tracedCount("-fail to invalid parameters"), 4);
}

TEST_F(PortBase, OutputBufferSizeBelowOneStillMovesOn) {
    open(false);
    port.outputBufferSize = 0;
    std::string data(5000, 'x');
    EXPECT_EQ(port.Write(data.data(), 5000, 0), 5000);
    EXPECT_EQ(port.writeLengths(), (std::vector<int>{4096, 904}));
}

TEST_F(PortBase, QueuedReadThatTimesOutReturnsWhatCame) {
    open(true);
    port.inject("abc");
    char buffer[8] = {};
    EXPECT_EQ(port.Read(buffer, 5, 200, 0), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_TRUE(traced("-fail (3/5)"));
}

TEST_F(PortBase, BytesArrivingInTwoPartsAreDeliveredInOrder) {
    open(true);
    char buffer[4] = {};
    auto reader = std::async(std::launch::async, [&] { return port.Read(buffer, 4, 10000, 0); });
    port.putOnWire("12");
    ASSERT_TRUE(port.waitWireEmpty());
    port.putOnWire("34");
    EXPECT_EQ(reader.get(), 4);
    EXPECT_EQ(std::string(buffer, 4), "1234");
    EXPECT_FALSE(traced("-fail ("));
}

TEST_F(PortBase, ReadWithoutThreadReadsOnTheCallersThread) {
    open(false);
    char buffer[8] = {};
    // A time-out of 0 has passed before anything is read.
    EXPECT_EQ(port.Read(buffer, 4, 0, 0), 0);
    EXPECT_EQ(port.reads(), 0);

    port.putOnWire("wxyz");
    EXPECT_EQ(port.Read(buffer, 4, 1000, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "wxyz");
}

TEST_F(PortBase, ReadWithoutThreadHandsOverBytesQueuedBefore) {
    open(false);
    port.inject("ab");  // queued by an earlier read that asked for less
    char buffer[2] = {};
    EXPECT_EQ(port.Read(buffer, 2, 300, 0), 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    EXPECT_EQ(port.parser()->Available(0), 0);
}

TEST_F(PortBase, ReadRefusesBadArguments) {
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, 4, 100, 0), 0);  // not open
    open(false);
    EXPECT_EQ(port.Read(nullptr, 4, 100, 0), 0);
    // Also without the read thread, where the length would reach ReadPort.
    EXPECT_EQ(port.Read(buffer, 0, 100, 0), 0);
    EXPECT_EQ(port.Read(buffer, -1, 100, 0), 0);
    EXPECT_EQ(port.reads(), 0);
}

TEST_F(PortBase, StopOnAnEndedThreadDoesNotWait) {
    open(true);
    port.m_bTerminateThread = true;  // the thread leaves its loop by itself
    ASSERT_TRUE(port.waitThreadEnded());
    port.StopReadThread();
    EXPECT_TRUE(traced("stopReadThread : set to m_bTerminateThread flag"));
    EXPECT_TRUE(traced("***************** Port Read Thread End ***********"));
    EXPECT_FALSE(traced("wait Terminate Port ReadThread."));
}

TEST_F(PortBase, StopWakesAReadBlockedInTheInterruptibleWait) {
    port.idleWaitMs = 100000;
    open(true);
    ASSERT_TRUE(port.waitReadPortWaiting());
    port.StopReadThread();
    // Woken by the stop, not by the end of its wait.
    EXPECT_EQ(port.waitResults(), std::vector<bool>{true});
    EXPECT_TRUE(traced("***************** Port Read Thread End ***********"));
    EXPECT_FALSE(traced("TerminateThread Port ReadThread."));
}

TEST_F(PortBase, CloseStopsTheThreadAndDropsTheParser) {
    open(true);
    port.inject("zz");
    port.ClosePort();
    EXPECT_EQ(port.parser(), nullptr);
    EXPECT_TRUE(traced("***************** Port Read Thread End ***********"));
    EXPECT_TRUE(traced("-End"));
    // A reopen starts afresh: nothing queued before survives.
    open(true);
    EXPECT_EQ(port.parser()->Available(0), 0);
}

TEST_F(PortBase, SetWriteNeedsAnOpenPort) {
    port.SetWrite(true);
    EXPECT_FALSE(port.writing);
    EXPECT_TRUE(traced("-m_bOpen is FALSE"));
    open(false);
    port.SetWrite(true);
    EXPECT_TRUE(port.writing);
}

TEST_F(PortBase, ConnectModePicksTheParser) {
    port.connectMode = kConnectModeGateway;
    open(false);
    EXPECT_NE(dynamic_cast<CRelvoParser*>(port.parser().get()), nullptr);
    EXPECT_EQ(port.parser()->portId(), kPortId);
    port.ClosePort();

    port.connectMode = kConnectModePrinter;
    port.printerDeviceCount = 3;
    open(false);
    EXPECT_EQ(dynamic_cast<CRelvoParser*>(port.parser().get()), nullptr);
    EXPECT_EQ(port.parser()->deviceCount(), 3);
}

class GatewayDetection : public PortBase {
protected:
    void answer(const std::string& reply) {
        port.replyPattern = std::string("\x1D\x49\x04", 3);
        port.reply = reply;
        port.connectMode = kConnectModeDetectGateway;
    }
};

TEST_F(GatewayDetection, ReplyWithTheGatewayFlagSwitchesToTheGatewayParser) {
    answer(std::string("\x5F\x00\x00\x00\x10\x00", 6));
    open(false);
    EXPECT_EQ(port.connectMode, kConnectModeGateway);
    auto parser = port.parser();
    ASSERT_NE(dynamic_cast<CRelvoParser*>(parser.get()), nullptr);
    EXPECT_EQ(parser->portId(), kPortId);
    EXPECT_EQ(port.writeLengths(), std::vector<int>{3});
}

TEST_F(GatewayDetection, PrinterReplyKeepsThePrinterParser) {
    answer(std::string("\x5F\x00\x00\x00\x0F\x00", 6));
    open(false);
    EXPECT_EQ(port.connectMode, kConnectModeDetectGateway);
    EXPECT_EQ(dynamic_cast<CRelvoParser*>(port.parser().get()), nullptr);
}

TEST_F(GatewayDetection, NoReplyKeepsThePrinterParser) {
    port.connectMode = kConnectModeDetectGateway;
    open(false);
    EXPECT_EQ(port.connectMode, kConnectModeDetectGateway);
    EXPECT_EQ(port.writeLengths(), std::vector<int>{3});
    EXPECT_NE(port.parser(), nullptr);
}

TEST_F(GatewayDetection, OtherModesSendNoProbe) {
    port.connectMode = kConnectModePrinter;
    open(false);
    EXPECT_TRUE(port.writeLengths().empty());
}

}  // namespace
