// The port list manager with in-memory ports: identifiers, sharing, open and close
// counting, the driver port calls around serial, parallel and USB ports, and the trace
// channels.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakePort.h"
#include "PortListMng.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

class RecordingDriverPorts : public IDriverPortHelper {
public:
    bool moveDriverPort(int, const std::string& deviceName) override {
        calls.push_back("move " + deviceName);
        return true;
    }
    bool restoreDriverPort(int, const std::string& deviceName) override {
        calls.push_back("restore " + deviceName);
        return true;
    }
    std::vector<std::string> calls;
};

class PortList : public ::testing::Test {
protected:
    PortList()
        : driverPorts(std::make_shared<RecordingDriverPorts>()), mng(driverPorts, [this](int) {
              auto port = std::make_shared<FakePort>();
              port->useReadThread = false;
              made.push_back(port);
              return port;
          }) {}

    FakePort& last() { return *made.back(); }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }

    TempHome home;
    std::shared_ptr<RecordingDriverPorts> driverPorts;
    std::vector<std::shared_ptr<FakePort>> made;
    CPortListMng mng;
};

TEST_F(PortList, IdentifiersStartAt100AndAreNeverReused) {
    EXPECT_EQ(mng.Create(32, "COM1", 0), 100);
    EXPECT_EQ(mng.Create(32, "COM2", 0), 101);
    EXPECT_EQ(mng.Remove(100, 0), 0);
    EXPECT_EQ(mng.Create(32, "COM1", 0), 102);
    EXPECT_EQ(mng.Create(2, "127.0.0.1", 0), 103);
}

TEST_F(PortList, SameNameSharesThePortWhateverTheType) {
    int id = mng.Create(32, "COM3", 0);
    EXPECT_EQ(mng.Create(4, "COM3", 0), id);
    EXPECT_EQ(made.size(), 1u);
    EXPECT_EQ(last().portType, 32);
    EXPECT_EQ(last().deviceName, "COM3");

    EXPECT_EQ(mng.Remove(id, 0), 1);
    EXPECT_EQ(mng.Lookup(id, ""), made[0]);
    EXPECT_EQ(mng.Remove(id, 0), 0);
    EXPECT_EQ(mng.Lookup(id, ""), nullptr);
    EXPECT_TRUE(mng.empty());
    EXPECT_EQ(mng.Remove(id, 0), 0);
}

TEST_F(PortList, RejectedTypesAndNamesCreateNothing) {
    EXPECT_EQ(mng.Create(8, "COM3", 0), 0);
    EXPECT_EQ(mng.Create(3, "COM3", 0), 0);
    EXPECT_EQ(mng.Create(32, "com3", 0), 0);  // the name check minds letter case
    EXPECT_EQ(mng.Create(4, "BT1", 0), 0);
    EXPECT_EQ(mng.Create(64, "PRN1", 0), 0);
    EXPECT_EQ(mng.Create(16, "", 0), 0);
    EXPECT_TRUE(made.empty());
    EXPECT_EQ(tracefiles::count(home.path(), "<ERROR> strPort is empty or invalid string."), 6);
    // A name that only contains the device name is accepted.
    EXPECT_EQ(mng.Create(64, "MyLPT2", 0), 100);
}

TEST_F(PortList, OpenAndCloseAreCountedPerUser) {
    int id = mng.Create(32, "COM3", 0);
    EXPECT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_EQ(mng.OpenPort(id, 0), 2);
    EXPECT_EQ(last().opens(), 1);
    EXPECT_EQ(mng.ClosePort(id, 0), 1);
    EXPECT_EQ(last().closes(), 0);
    EXPECT_EQ(mng.ClosePort(id, 0), 0);
    EXPECT_EQ(last().closes(), 1);
    EXPECT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_EQ(last().opens(), 2);
    EXPECT_EQ(mng.ClosePort(id, 0), 0);
}

TEST_F(PortList, ADeviceKeepsItsDataWhileAnotherOfItsUsersStaysOpen) {
    int id = mng.Create(32, "COM3", 0);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    ASSERT_EQ(mng.OpenPort(id, 0), 2);
    ASSERT_EQ(mng.ClosePort(id, 0), 1);
    last().inject("ok");
    EXPECT_EQ(mng.ReadAvailable(id, 0), 2);
    mng.ClosePort(id, 0);
}

TEST_F(PortList, PortThatIsNotOnLineAfterOpenIsClosedAgain) {
    int id = mng.Create(32, "COM3", 0);
    last().powerOnOpen = kPowerNeverOpened;
    EXPECT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_EQ(last().closes(), 1);
    EXPECT_EQ(last().openCount, 0);
    // Not counted as open, so the next OpenPort opens the device again.
    last().powerOnOpen = kPowerOnLine;
    EXPECT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_EQ(last().opens(), 2);
    EXPECT_EQ(last().openCount, 1);
    mng.ClosePort(id, 0);
}

TEST_F(PortList, FailedOpenReleasesThePortAndKeepsItClosed) {
    mng.SetTrace(1, false);
    int id = mng.Create(32, "COM3", 0);
    last().openSucceeds = false;
    EXPECT_EQ(mng.OpenPort(id, 0), 0);
    EXPECT_EQ(last().closes(), 1);
    EXPECT_EQ(last().openCount, 0);
    EXPECT_TRUE(traced("-<retVal : 0>"));
}

TEST_F(PortList, DriverPortsMoveAroundDevicePortsAndComeBackWhenTheOpenFails) {
    int com = mng.Create(32, "COM3:9600", 0);
    int lpt = mng.Create(64, "LPT1", 0);
    int net = mng.Create(2, "127.0.0.1", 0);
    made[0]->openSucceeds = false;

    // A host removes a port it could not open without closing it: the queues come back
    // with the failed open itself.
    EXPECT_EQ(mng.OpenPort(com, 0), 0);
    EXPECT_EQ(driverPorts->calls, (std::vector<std::string>{"move COM3", "restore COM3"}));

    driverPorts->calls.clear();
    EXPECT_EQ(mng.OpenPort(lpt, 0), 1);
    EXPECT_EQ(mng.OpenPort(lpt, 0), 2);
    EXPECT_EQ(mng.ClosePort(lpt, 0), 1);
    EXPECT_EQ(driverPorts->calls, std::vector<std::string>{"move LPT1"});
    EXPECT_EQ(mng.ClosePort(lpt, 0), 0);
    EXPECT_EQ(driverPorts->calls, (std::vector<std::string>{"move LPT1", "restore LPT1"}));

    driverPorts->calls.clear();
    EXPECT_EQ(mng.OpenPort(net, 0), 1);
    EXPECT_EQ(mng.ClosePort(net, 0), 0);
    EXPECT_TRUE(driverPorts->calls.empty());
}

TEST_F(PortList, LastRemoveOfAnOpenPortClosesIt) {
    int id = mng.Create(64, "LPT1", 0);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    std::shared_ptr<FakePort> port = made[0];
    made.clear();
    EXPECT_EQ(mng.Remove(id, 0), 0);
    EXPECT_EQ(port->closes(), 1);
    EXPECT_FALSE(port->m_bOpen);
    EXPECT_EQ(driverPorts->calls, (std::vector<std::string>{"move LPT1", "restore LPT1"}));
}

TEST_F(PortList, UnknownIdentifiersYieldTheFailureValues) {
    char buffer[4] = {};
    EXPECT_EQ(mng.OpenPort(555, 0), 0);
    EXPECT_EQ(mng.ClosePort(555, 0), -1);
    EXPECT_EQ(mng.Write("ab", 2, 555), 0);
    EXPECT_EQ(mng.Read(buffer, 4, 0, 555, 0), 0);
    EXPECT_EQ(mng.ReadAvailable(555, 0), 0);
    EXPECT_FALSE(mng.IsConnected(555));
    EXPECT_FALSE(mng.SetDataReceiver(555, 0, nullptr));
    EXPECT_FALSE(mng.GetAsbMode(555, 0));
    EXPECT_FALSE(mng.GetPnPMode(555));
    EXPECT_EQ(mng.Remove(555, 0), 0);
}

TEST_F(PortList, WritesAndReadsReachTheOpenPort) {
    int id = mng.Create(2, "127.0.0.1", 0);
    mng.SetOutputBufferSize(id, 3);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_EQ(mng.Write("abcdefg", 7, id), 7);
    EXPECT_EQ(last().writeLengths(), (std::vector<int>{3, 3, 1}));

    last().putOnWire("xy");
    char buffer[4] = {};
    EXPECT_EQ(mng.Read(buffer, 2, 1000, id, 0), 2);
    EXPECT_EQ(std::string(buffer, 2), "xy");
    EXPECT_TRUE(mng.IsConnected(id));

    last().inject("qq");
    EXPECT_EQ(mng.ReadAvailable(id, 0), 2);
    mng.Clear(id, 0);
    EXPECT_EQ(mng.ReadAvailable(id, 0), 0);
    mng.ClosePort(id, 0);
    EXPECT_EQ(last().closes(), 1);
}

TEST_F(PortList, TraceMarkerOpensThePortChannel) {
    home.writeFile("trace.txt", "");
    int id = mng.Create(32, "COM3", 7);
    EXPECT_TRUE(traced("+<portType : 32, portName : COM3, deviceType : 7>"));
    EXPECT_TRUE(traced("- new created id : 100"));
    bool comFile = false;
    for (const std::string& name : tracefiles::list(home.path()))
        comFile = comFile || name.rfind("Com", 0) == 0;
    EXPECT_TRUE(comFile);
    mng.Remove(id, 0);
}

TEST_F(PortList, DataTraceChannelLivesFromFirstOpenToLastCloseOrRemove) {
    home.writeFile("trace.bin", "");
    auto dumps = [&] {
        int files = 0;
        for (const std::string& name : tracefiles::list(home.path()))
            if (name.rfind("ComPRN", 0) == 0)
                files += 1;
        return files;
    };
    for (bool removeOpen : {false, true}) {
        SCOPED_TRACE(removeOpen ? "removed while open" : "closed");
        int id = mng.Create(32, "COM3", 0);
        TraceDump(id, "before", 6);
        EXPECT_EQ(dumps(), 0);
        ASSERT_EQ(mng.OpenPort(id, 0), 1);
        TraceDump(id, "during", 6);
        EXPECT_EQ(dumps(), 1);
        if (removeOpen)
            ASSERT_EQ(mng.Remove(id, 0), 0);
        else
            ASSERT_EQ(mng.ClosePort(id, 0), 0);
        for (const std::string& name : tracefiles::list(home.path()))
            std::filesystem::remove(home.path() + "/Log/" + name);
        TraceDump(id, "after", 5);
        EXPECT_EQ(dumps(), 0);
        if (!removeOpen)
            mng.Remove(id, 0);
    }
}

std::string g_received;
void receive(const char* data, int length) {
    g_received.append(data, length);
}

TEST_F(PortList, DataReceiverNeedsAnOpenPortWithAReadThread) {
    int id = mng.Create(32, "COM3", 0);
    EXPECT_FALSE(mng.SetDataReceiver(id, 0, receive));  // closed: no parser to keep it
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_FALSE(mng.SetDataReceiver(id, 0, receive));  // no read thread
    mng.ClosePort(id, 0);

    mng.SetUseReadThread(id, true);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    EXPECT_TRUE(mng.SetDataReceiver(id, 5, receive));  // over the count: refused quietly
    ASSERT_TRUE(mng.SetDataReceiver(id, 0, receive));
    g_received.clear();
    last().inject("hello");
    EXPECT_EQ(g_received, "hello");
    EXPECT_EQ(mng.ReadAvailable(id, 0), 0);
    mng.ClosePort(id, 0);
}

void pnp(const char*, int) {}

TEST_F(PortList, PlugAndPlayOnlyForGatewayPorts) {
    int id = mng.Create(2, "127.0.0.1", 0);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    mng.SetPnPMode(true, id, pnp);
    EXPECT_FALSE(mng.GetPnPMode(id));
    mng.ClosePort(id, 0);

    mng.SetConnectMode(id, kConnectModeGateway);
    ASSERT_EQ(mng.OpenPort(id, 0), 1);
    mng.SetPnPMode(true, id, pnp);
    EXPECT_TRUE(mng.GetPnPMode(id));
    mng.SetPnPMode(false, id, pnp);
    EXPECT_FALSE(mng.GetPnPMode(id));
    mng.ClosePort(id, 0);
}

TEST_F(PortList, WithoutTraceLevelNothingIsWritten) {
    mng.Create(32, "COM3", 0);
    EXPECT_TRUE(tracefiles::list(home.path()).empty());
}

// A data receiver that closes or removes the port it is called for, from the read thread.
struct ReentrantHost {
    CPortListMng* mng = nullptr;
    int id = 0;
    bool remove = false;
    std::mutex mutex;
    std::condition_variable changed;
    int result = -2;
    bool destroyed = false;
};
ReentrantHost* g_host = nullptr;

void closeFromReceiver(const char*, int) {
    ReentrantHost& host = *g_host;
    int result = host.remove ? host.mng->Remove(host.id, 0) : host.mng->ClosePort(host.id, 0);
    std::lock_guard<std::mutex> guard(host.mutex);
    host.result = result;
    host.changed.notify_all();
}

TEST_F(PortList, ReceiverMayCloseOrRemoveItsOwnPort) {
    for (bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "remove" : "close");
        // The port's last user may still be unlocking the host's mutex after the wait
        // below has seen its notice; the port keeps the host alive until it is gone.
        auto shared = std::make_shared<ReentrantHost>();
        ReentrantHost& host = *shared;
        host.mng = &mng;
        host.remove = remove;
        g_host = &host;
        host.id = mng.Create(32, remove ? "COM4" : "COM3", 0);
        mng.SetUseReadThread(host.id, true);
        std::shared_ptr<FakePort> port = made.back();
        port->onDestroyed = [shared] {
            std::lock_guard<std::mutex> guard(shared->mutex);
            shared->destroyed = true;
            shared->changed.notify_all();
        };
        ASSERT_EQ(mng.OpenPort(host.id, 0), 1);
        ASSERT_TRUE(mng.SetDataReceiver(host.id, 0, closeFromReceiver));
        FakePort* wire = port.get();
        if (remove) {
            // Only the manager holds the port now, so the remove in the receiver lets go
            // of it on the read thread.
            made.clear();
            port.reset();
        }
        wire->putOnWire("bye");
        std::unique_lock<std::mutex> lock(host.mutex);
        ASSERT_TRUE(host.changed.wait_for(lock, std::chrono::seconds(10),
                                          [&host] { return host.result != -2; }));
        EXPECT_EQ(host.result, 0);
        if (remove) {
            EXPECT_TRUE(host.changed.wait_for(lock, std::chrono::seconds(10),
                                              [&host] { return host.destroyed; }));
            EXPECT_TRUE(mng.empty());
        } else {
            lock.unlock();
            EXPECT_EQ(port->closes(), 1);
            ASSERT_TRUE(port->waitThreadEnded());
            // The port opens again with a read thread that serves the next data.
            ASSERT_EQ(mng.OpenPort(host.id, 0), 1);
            port->putOnWire("again");
            char buffer[8] = {};
            EXPECT_EQ(mng.Read(buffer, 5, 5000, host.id, 0), 5);
            EXPECT_EQ(std::string(buffer, 5), "again");
            EXPECT_EQ(mng.ClosePort(host.id, 0), 0);
            EXPECT_EQ(mng.Remove(host.id, 0), 0);
        }
        g_host = nullptr;
    }
}

}  // namespace
