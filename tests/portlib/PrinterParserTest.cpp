#include "PrinterParser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ParserTestSupport.h"

using namespace parsertest;

namespace {

class PrinterParserTest : public ParserTest {
protected:
    void SetUp() override {
        ParserTest::SetUp();
        parser.SetPortId(kPortId);
        parser.SetUseDevice(0, true);
    }

    void feed(const std::string& input) {
        parser.Parse(input.data(), static_cast<int>(input.size()));
    }

    std::string drain(int device = 0) {
        std::string out(static_cast<size_t>(parser.Available(device)), '\0');
        out.resize(
            static_cast<size_t>(parser.TakeData(device, out.data(), static_cast<int>(out.size()))));
        return out;
    }

    CPrinterParser parser{1, queueMutex};
};

TEST_F(PrinterParserTest, DataWithoutReceiverCollectsInTheQueueUntilTaken) {
    feed("hello ");
    feed("world");
    EXPECT_EQ(parser.Available(0), 11);
    EXPECT_TRUE(traced("CCVNParser::EnqueueData"));
    EXPECT_TRUE(traced("input Queue Data : deviceId=0, len=6"));

    char part[5];
    ASSERT_EQ(parser.TakeData(0, part, 5), 5);
    EXPECT_EQ(std::string(part, 5), "hello");
    EXPECT_EQ(parser.Available(0), 6);
    parser.ClearData(0);
    EXPECT_EQ(parser.Available(0), 0);
    EXPECT_EQ(parser.TakeData(0, part, 5), 0);
}

TEST_F(PrinterParserTest, DataReceiverGetsTheBytesAndTheQueueStaysEmpty) {
    parser.SetDataReceiver(0, dataReceiver<0>);
    feed("abc");
    ASSERT_EQ(eventsOf("data").size(), 1u);
    EXPECT_EQ(eventsOf("data")[0].bytes, "abc");
    EXPECT_EQ(parser.Available(0), 0);
    EXPECT_TRUE(traced("Fire DataEvent(len=3)"));
}

TEST_F(PrinterParserTest, OnlyDevicesInUseReceiveAndEachGetsAllBytes) {
    CPrinterParser two(3, queueMutex);
    two.SetUseDevice(0, true);
    two.SetUseDevice(2, true);
    two.Parse("xyz", 3);
    EXPECT_EQ(two.Available(0), 3);
    EXPECT_EQ(two.Available(1), 0);
    EXPECT_EQ(two.Available(2), 3);

    parser.SetUseDevice(0, false);
    feed("lost");
    EXPECT_EQ(parser.Available(0), 0);
}

TEST_F(PrinterParserTest, StatusBlockIsSplitFromFollowingData) {
    parser.SetASB(0, true, nullptr);
    feed(bytes({0x10, 0x00, 0x00, 0x00, 0x41, 0x42}));
    EXPECT_EQ(parser.StatusAvailable(0), 4);
    EXPECT_EQ(drain(), "AB");
    EXPECT_TRUE(traced("Enqueue Status : deviceId=0 (10 00 00 00)"));
    EXPECT_TRUE(traced("input Queue Data : deviceId=0, len=2"));
}

TEST_F(PrinterParserTest, FormBBlockIsRecognisedAndABadLastByteMakesItData) {
    parser.SetASB(0, true, statusReceiver<0>);
    feed(bytes({0x35, 0x40, 0x40, 0x00}));
    ASSERT_EQ(eventsOf("status").size(), 1u);
    EXPECT_EQ(eventsOf("status")[0].bytes, bytes({0x35, 0x40, 0x40, 0x00}));
    EXPECT_EQ(parser.Available(0), 0);
    EXPECT_TRUE(traced("Fire StatusEvent : deviceId=0 (35 40 40 00)"));

    feed(bytes({0x35, 0x40, 0x43, 0x00}));
    EXPECT_EQ(eventsOf("status").size(), 1u);
    EXPECT_EQ(drain(), bytes({0x35, 0x40, 0x43, 0x00}));
}

TEST_F(PrinterParserTest, MixedFormsArePassedOnAsData) {
    parser.SetASB(0, true, statusReceiver<0>);
    feed(bytes({0x10, 0x00, 0x35}));
    EXPECT_EQ(drain(), bytes({0x10, 0x00, 0x35}));
    // The byte that mixed the forms goes out with the rest and starts no block.
    feed(bytes({0x10, 0x00, 0x35, 0x40, 0x40, 0x00}));
    EXPECT_EQ(drain(), bytes({0x10, 0x00, 0x35, 0x40, 0x40, 0x00}));
    EXPECT_TRUE(eventsOf("status").empty());
}

TEST_F(PrinterParserTest, BrokenCandidateIsDataAndItsBreakerStartsTheNextBlock) {
    parser.SetASB(0, true, statusReceiver<0>);
    feed(bytes({0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x41}));
    ASSERT_EQ(eventsOf("status").size(), 1u);
    EXPECT_EQ(eventsOf("status")[0].bytes, bytes({0x10, 0x00, 0x00, 0x00}));
    EXPECT_EQ(drain(), bytes({0x10, 0x00, 0x41}));
}

TEST_F(PrinterParserTest, IncompleteBlockAtTheEndIsDropped) {
    parser.SetASB(0, true, statusReceiver<0>);
    feed(bytes({0x41, 0x10, 0x00}));
    EXPECT_EQ(drain(), "A");
    EXPECT_TRUE(eventsOf("status").empty());
}

TEST_F(PrinterParserTest, LongInputGoesOutInPiecesInOrderAndBlocksAcrossPiecesAreFound) {
    parser.SetDataReceiver(0, dataReceiver<0>);
    parser.SetASB(0, true, statusReceiver<0>);
    std::string input(1022, 'a');
    input += bytes({0x10, 0x00, 0x00, 0x00});  // straddles the first piece boundary
    input += std::string(2000, 'b');
    feed(input);

    ASSERT_EQ(eventsOf("status").size(), 1u);
    std::string delivered;
    for (const auto& e : eventsOf("data")) {
        EXPECT_LE(e.bytes.size(), 1024u);
        delivered += e.bytes;
    }
    EXPECT_EQ(delivered, std::string(1022, 'a') + std::string(2000, 'b'));
    EXPECT_EQ(eventsOf("data").size(), 3u);
}

TEST_F(PrinterParserTest, TurningAsbOffForgetsTheReceiver) {
    parser.SetASB(0, true, statusReceiver<0>);
    EXPECT_TRUE(parser.GetASB(0));
    parser.SetASB(0, false, statusReceiver<0>);
    EXPECT_FALSE(parser.GetASB(0));
    feed(bytes({0x10, 0x00, 0x00, 0x00}));
    EXPECT_EQ(parser.Available(0), 4);  // plain data while off

    parser.SetASB(0, true, nullptr);
    feed(bytes({0x10, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(eventsOf("status").empty());
    EXPECT_EQ(parser.StatusAvailable(0), 4);
}

TEST_F(PrinterParserTest, UnreadStatusBlocksStayBounded) {
    parser.SetASB(0, true, nullptr);
    std::string blocks;
    for (int i = 0; i < 1000; ++i)
        blocks += bytes({0x10, 0x00, 0x00, 0x00});
    feed(blocks);
    EXPECT_EQ(parser.StatusAvailable(0), CCVNParser::kMaxStatusQueueBytes);
    EXPECT_EQ(parser.Available(0), 0);
}

TEST_F(PrinterParserTest, PowerStatusReachesEveryDeviceWithAReceiver) {
    CPrinterParser three(3, queueMutex);
    three.SetPortId(kPortId);
    three.SetPowerStatusReceiver(0, powerReceiver<0>);
    three.SetPowerStatusReceiver(2, powerReceiver<2>);
    three.FirePowerStatusReceiver(true);
    three.FirePowerStatusReceiver(false);
    auto power = eventsOf("power");
    ASSERT_EQ(power.size(), 4u);
    EXPECT_EQ(power[0].tag, 0);
    EXPECT_EQ(power[0].a, 1);
    EXPECT_EQ(power[1].tag, 2);
    EXPECT_EQ(power[2].a, 0);
    EXPECT_TRUE(traced("CCVNParser::FirePowerStatusReceiver"));
    EXPECT_TRUE(traced("Fire PowerStatusEvent=1"));
    EXPECT_TRUE(traced("Fire PowerStatusEvent=0"));
}

TEST_F(PrinterParserTest, DeviceAtOrOverTheCountIsRefusedUnderEachSetter) {
    EXPECT_FALSE(parser.SetUseDevice(1, true));
    EXPECT_FALSE(parser.SetDataReceiver(1, dataReceiver<1>));
    EXPECT_FALSE(parser.SetPowerStatusReceiver(-1, powerReceiver<1>));
    EXPECT_FALSE(parser.SetASB(256, true, statusReceiver<1>));
    EXPECT_FALSE(parser.GetASB(1));
    for (const char* method :
         {"CCVNParser::SetUseDevice", "CCVNParser::SetDataReceiver",
          "CCVNParser::SetPowerStatusReceiver", "CCVNParser::SetASB", "CCVNParser::GetASB"}) {
        EXPECT_EQ(tracedCount(std::string(method) + "("), 1) << method;
    }
    EXPECT_EQ(tracedCount("<ERROR> over deviceId"), 5);
    // Nothing outside the tables is touched by the queue calls either.
    char buffer[4];
    EXPECT_EQ(parser.Available(1), 0);
    EXPECT_EQ(parser.TakeData(300, buffer, 4), 0);
    parser.ClearData(-1);
}

TEST_F(PrinterParserTest, ReceiversRunWithoutTheQueueMutexHeld) {
    parser.SetDataReceiver(0, dataReceiver<0>);
    parser.SetASB(0, true, statusReceiver<0>);
    parser.SetPowerStatusReceiver(0, powerReceiver<0>);
    feed(bytes({0x41, 0x10, 0x00, 0x00, 0x00, 0x42}));
    parser.FirePowerStatusReceiver(true);
    EXPECT_EQ(record().callbacks, 3);
    EXPECT_EQ(record().lockedDuringCallback, 0);
}

std::atomic<int> g_countedBytes{0};
void countingReceiver(const char*, int length) {
    g_countedBytes += length;
}

TEST_F(PrinterParserTest, NoByteIsLostWhileTheHostSwitchesReceiversAndReads) {
    g_countedBytes = 0;
    constexpr int kBlocks = 2000;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < kBlocks; ++i)
            parser.Parse("0123456789", 10);
        done = true;
    });
    int taken = 0;
    char buffer[64];
    for (int round = 0; !done || parser.Available(0) > 0; ++round) {
        parser.SetDataReceiver(0, round % 2 ? countingReceiver : nullptr);
        taken += parser.TakeData(0, buffer, sizeof buffer);
    }
    reader.join();
    taken += parser.TakeData(0, buffer, sizeof buffer);
    EXPECT_EQ(taken + g_countedBytes, kBlocks * 10);
}

}  // namespace
