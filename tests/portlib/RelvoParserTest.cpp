#include "RelvoParser.h"

#include <gtest/gtest.h>

#include "ParserTestSupport.h"

using namespace parsertest;

namespace {

std::string packet(int channel, const std::string& payload) {
    std::string p = "CVN";
    p.push_back(static_cast<char>(channel));
    p.push_back(static_cast<char>((payload.size() >> 8) & 0xFF));
    p.push_back(static_cast<char>(payload.size() & 0xFF));
    return p + payload;
}

// A gateway control packet: the command byte is not counted in the length.
std::string control(int command, const std::string& payload) {
    std::string p = "CVN";
    p.push_back('\0');
    p.push_back(static_cast<char>((payload.size() >> 8) & 0xFF));
    p.push_back(static_cast<char>(payload.size() & 0xFF));
    p.push_back(static_cast<char>(command));
    return p + payload;
}

class RelvoParserTest : public ParserTest {
protected:
    void SetUp() override {
        ParserTest::SetUp();
        parser.SetPortId(kPortId);
    }

    void feed(const std::string& input) {
        parser.Parse(input.data(), static_cast<int>(input.size()));
    }

    std::string drain(int device) {
        std::string out(static_cast<size_t>(parser.Available(device)), '\0');
        out.resize(
            static_cast<size_t>(parser.TakeData(device, out.data(), static_cast<int>(out.size()))));
        return out;
    }

    CRelvoParser parser{queueMutex};
};

TEST_F(RelvoParserTest, DevicePacketsReachTheirReceiverOrQueue) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    feed(packet(5, "five") + packet(200, "two hundred"));
    ASSERT_EQ(eventsOf("data").size(), 1u);
    EXPECT_EQ(eventsOf("data")[0].tag, 5);
    EXPECT_EQ(eventsOf("data")[0].bytes, "five");
    EXPECT_EQ(drain(200), "two hundred");
    EXPECT_TRUE(traced("Fire DataEvent(len=4)"));
}

TEST_F(RelvoParserTest, SplitPacketIsParsedOnceAfterTheRestArrives) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    const std::string whole = packet(5, "ABCD");
    feed(whole.substr(0, 7));
    EXPECT_TRUE(eventsOf("data").empty());
    EXPECT_EQ(parser.PendingBytes(), 7u);
    EXPECT_TRUE(traced("CRelvoParser::IsValidPacket"));
    EXPECT_TRUE(traced("<ERROR> Invalid length"));

    feed(whole.substr(7));
    ASSERT_EQ(eventsOf("data").size(), 1u);
    EXPECT_EQ(eventsOf("data")[0].bytes, "ABCD");
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

TEST_F(RelvoParserTest, PacketSplitInsideItsMagicOrHeaderIsNotLost) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    const std::string whole = packet(5, "xy");
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        feed(whole.substr(0, cut));
        feed(whole.substr(cut));
    }
    EXPECT_EQ(eventsOf("data").size(), whole.size() - 1);
    for (const auto& e : eventsOf("data"))
        EXPECT_EQ(e.bytes, "xy");
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

TEST_F(RelvoParserTest, WholePacketsAheadOfAnUnfinishedOneAreNotHeldBack) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    const std::string second = packet(6, "later");
    feed(packet(5, "now") + second.substr(0, 4));
    ASSERT_EQ(eventsOf("data").size(), 1u);
    EXPECT_EQ(parser.PendingBytes(), 4u);
    feed(second.substr(4));
    EXPECT_EQ(drain(6), "later");
    EXPECT_EQ(eventsOf("data").size(), 1u);  // "now" was not delivered twice
}

TEST_F(RelvoParserTest, GarbageBetweenPacketsIsSkipped) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    feed("noise C CV CVx" + packet(5, "one") + "C" + packet(5, "two") + "CV" + packet(5, "three") +
         "tail");
    auto data = eventsOf("data");
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[0].bytes, "one");
    EXPECT_EQ(data[1].bytes, "two");
    EXPECT_EQ(data[2].bytes, "three");
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

TEST_F(RelvoParserTest, OversizedHeaderWaitsBoundedAndThenCompletes) {
    feed("CVN");
    feed(bytes({5, 0xFF}));  // header cut before its last length byte
    EXPECT_EQ(parser.PendingBytes(), 5u);
    feed(bytes({0xFF}));
    EXPECT_EQ(parser.PendingBytes(), 6u);
    const std::string payload(0xFFFF, 'p');
    feed(payload.substr(0, 1000));
    EXPECT_EQ(parser.PendingBytes(), 1006u);
    feed(payload.substr(1000) + "rest");
    EXPECT_EQ(parser.Available(5), 0xFFFF);
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

TEST_F(RelvoParserTest, GatewayAndPnPDevicesReadFromTheQueueEvenWithAReceiver) {
    parser.SetDataReceiver(0, dataReceiver<0>);
    parser.SetDataReceiver(255, dataReceiver<255>);
    // Command 73 for device 0 and device 255; the last payload byte carries no data.
    feed(control(0x73, bytes({0x00, 0x00, 'h', 'i', 0x00})));
    feed(control(0x73, bytes({0xFF, 0x00, 'p', 'n', 'p', 0x00})));
    EXPECT_TRUE(eventsOf("data").empty());
    EXPECT_EQ(drain(0), "hi");
    EXPECT_EQ(drain(255), "pnp");
}

TEST_F(RelvoParserTest, DeviceDataCommandRoutesByItsDeviceByte) {
    parser.SetDataReceiver(7, dataReceiver<7>);
    feed(control(0x73, bytes({0x07, 0x99, 'o', 'k', 0x5A})) + packet(7, "next"));
    auto data = eventsOf("data");
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].bytes, "ok");
    EXPECT_EQ(data[1].bytes, "next");
    feed(control(0x73, bytes({0xC8, 0x00, 'z', 0x00})));  // device 200
    EXPECT_EQ(drain(200), "z");
}

TEST_F(RelvoParserTest, ShortControlPacketsDeliverNothingAndParsingGoesOn) {
    parser.SetDataReceiver(7, dataReceiver<7>);
    parser.SetRelvoAlarm(0, alarmReceiver<0>);
    parser.SetRelvoAlarm(7, alarmReceiver<7>);
    feed(control(0x73, bytes({0x07, 0x00})) + control(0x73, "") + control(0x74, bytes({0x07})) +
         control(0x75, "") + packet(7, "after"));
    ASSERT_EQ(record().events.size(), 1u);
    EXPECT_EQ(record().events[0].bytes, "after");
    EXPECT_EQ(tracedCount("CRelvoParser::ParseRLVPacket"), 4);
    EXPECT_EQ(parser.PendingBytes(), 0u);
}

TEST_F(RelvoParserTest, DeviceAlarmStatesMapToCodes) {
    parser.SetRelvoAlarm(3, alarmReceiver<3>);
    parser.SetRelvoAlarm(200, alarmReceiver<200>);
    feed(control(0x74, bytes({0x03, 0x06})));
    auto alarms = eventsOf("alarm");
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].tag, 3);
    EXPECT_EQ(alarms[0].a, 116);
    EXPECT_EQ(alarms[0].b, 0);
    EXPECT_EQ(alarms[0].c, 1203);

    const std::pair<int, int> states[] = {{0, 1200}, {1, 1201}, {2, 1202},   {3, 1204},
                                          {4, 1203}, {5, 1204}, {0xFF, 1204}};
    std::string input;
    for (const auto& [state, code] : states)
        input += control(0x74, bytes({0xC8, state}));
    feed(input);
    alarms = eventsOf("alarm");
    ASSERT_EQ(alarms.size(), 1 + std::size(states));
    for (size_t i = 0; i < std::size(states); ++i) {
        EXPECT_EQ(alarms[i + 1].tag, 200);
        EXPECT_EQ(alarms[i + 1].c, states[i].second) << "state " << states[i].first;
    }
}

TEST_F(RelvoParserTest, GatewayAlarmGoesToDeviceZeroWithItsTwoBytes) {
    parser.SetRelvoAlarm(0, alarmReceiver<0>);
    feed(control(0x75, bytes({0x81, 0x02})));
    auto alarms = eventsOf("alarm");
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].tag, 0);
    EXPECT_EQ(alarms[0].a, 117);
    EXPECT_EQ(alarms[0].b, 0x81);
    EXPECT_EQ(alarms[0].c, 0x02);
}

TEST_F(RelvoParserTest, OtherControlCommandsAreGatewayData) {
    feed(control(0x41, bytes({'B', 'C', 0x00})));
    EXPECT_EQ(drain(0), "ABC");
}

TEST_F(RelvoParserTest, PlugAndPlayPacketsFireTheReceiverWhileSwitchedOn) {
    EXPECT_FALSE(parser.GetPnPMode());
    parser.SetPnPMode(true, pnpReceiver<1>);
    EXPECT_TRUE(parser.GetPnPMode());
    feed(packet(255, "plugged"));
    ASSERT_EQ(eventsOf("pnp").size(), 1u);
    EXPECT_EQ(eventsOf("pnp")[0].bytes, "plugged");
    EXPECT_TRUE(traced("Fire Pnp Event"));

    parser.SetPnPMode(false, pnpReceiver<1>);
    EXPECT_FALSE(parser.GetPnPMode());
    feed(packet(255, "again"));
    EXPECT_EQ(eventsOf("pnp").size(), 1u);
    EXPECT_EQ(parser.Available(255), 0);
}

TEST_F(RelvoParserTest, StatusChannelsParseBlocksOnlyWithAsbOn) {
    parser.SetASB(12, true, statusReceiver<12>);
    parser.SetDataReceiver(12, dataReceiver<12>);
    parser.SetASB(20, true, statusReceiver<20>);
    const std::string withBlock = bytes({0x10, 0x00, 0x00, 0x00, 'A'});
    feed(packet(12, withBlock) + packet(20, withBlock) + packet(13, withBlock));
    auto status = eventsOf("status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].tag, 12);
    ASSERT_EQ(eventsOf("data").size(), 1u);
    EXPECT_EQ(eventsOf("data")[0].bytes, "A");
    EXPECT_EQ(drain(20), withBlock);  // outside 10-19 the switch does not apply
    EXPECT_EQ(drain(13), withBlock);  // switch off
}

TEST_F(RelvoParserTest, AllDevicesAreInUseAndOnlyTheTableBoundIsRefused) {
    EXPECT_EQ(parser.deviceCount(), 256);
    EXPECT_TRUE(parser.gatewayFraming());
    EXPECT_TRUE(parser.SetRelvoAlarm(255, alarmReceiver<255>));
    EXPECT_FALSE(parser.SetRelvoAlarm(256, alarmReceiver<255>));
    EXPECT_FALSE(parser.SetRelvoAlarm(-1, alarmReceiver<255>));
    EXPECT_EQ(tracedCount("CRelvoParser::SetRelvoAlarm("), 2);
    EXPECT_EQ(tracedCount("<ERROR> over deviceId"), 2);
}

TEST_F(RelvoParserTest, ReceiversRunWithoutTheQueueMutexHeld) {
    parser.SetDataReceiver(5, dataReceiver<5>);
    parser.SetRelvoAlarm(0, alarmReceiver<0>);
    parser.SetRelvoAlarm(3, alarmReceiver<3>);
    parser.SetPnPMode(true, pnpReceiver<1>);
    parser.SetASB(11, true, statusReceiver<11>);
    feed(packet(5, "d") + control(0x74, bytes({3, 0})) + control(0x75, bytes({1, 2})) +
         packet(255, "p") + packet(11, bytes({0x35, 0x40, 0x40, 0x00})) +
         control(0x73, bytes({0, 0, 'q', 0})));
    EXPECT_EQ(record().callbacks, 5);
    EXPECT_EQ(record().lockedDuringCallback, 0);
}

}  // namespace
