// libcvnport.so as printer libraries use it: loaded with dlopen, reached only through
// its exported functions. Each test loads the library afresh and removes every port it
// creates, so that the unload deletes the port list and the next load starts anew.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "ModelTable.h"
#include "ScriptedPeer.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "cvnport.h"

#ifndef CVNPORT_LIBRARY
#error "CVNPORT_LIBRARY must name the library under test"
#endif

namespace {

namespace fs = std::filesystem;

class CvnPortApi : public ::testing::Test {
protected:
    void SetUp() override {
        handle = dlopen(CVNPORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle)
            dlclose(handle);
    }

    template <typename Function>
    Function* fn(const char* name) {
        void* symbol = dlsym(handle, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Function*>(symbol);
    }

    int createA(int type, const char* name) {
        return fn<int(int, const char*, int)>("CreatePortA")(type, name, 0);
    }
    int remove(int id) { return fn<int(int, int)>("RemovePort")(id, 0); }

    TempHome home;
    void* handle = nullptr;
};

TEST_F(CvnPortApi, SameNameSharesOneIdentifierAndRemoveCountsDown) {
    int id = createA(32, "COM3");
    EXPECT_EQ(id, 100);
    EXPECT_EQ(createA(32, "COM3"), id);
    auto createW = fn<int(int, const cvn_wchar*, int)>("CreatePortW");
    EXPECT_EQ(createW(4, u"COM3", 0), id);
    EXPECT_EQ(remove(id), 2);
    EXPECT_EQ(remove(id), 1);
    EXPECT_EQ(remove(id), 0);
    EXPECT_EQ(remove(id), 0);
}

TEST_F(CvnPortApi, IdentifiersAreHandedOutInOrderAndNeverReused) {
    int first = createA(32, "COM1");
    int second = createA(64, "LPT1");
    EXPECT_EQ(first, 100);
    EXPECT_EQ(second, 101);
    EXPECT_EQ(remove(first), 0);
    int third = createA(32, "COM1");
    EXPECT_EQ(third, 102);
    remove(second);
    remove(third);
}

TEST_F(CvnPortApi, RejectedTypesAndNamesGiveZero) {
    home.writeFile("trace.txt", "");
    EXPECT_EQ(createA(8, "COM3"), 0);
    EXPECT_EQ(createA(3, "COM3"), 0);
    EXPECT_EQ(createA(32, "com3"), 0);
    EXPECT_EQ(createA(64, "PRN"), 0);
    EXPECT_EQ(createA(16, nullptr), 0);
    // The library writes its trace in UTF-16LE.
    EXPECT_EQ(tracefiles::count(home.path(), "strPort is empty or invalid string.", true), 5);
}

TEST_F(CvnPortApi, UnknownIdentifiersChangeNothing) {
    char buffer[8] = {};
    EXPECT_EQ(fn<int(int, int)>("OpenPort")(777, 0), 0);
    EXPECT_EQ(fn<int(int, int)>("ClosePort")(777, 0), -1);
    EXPECT_EQ(fn<int(const void*, int, int)>("Write")("ab", 2, 777), 0);
    EXPECT_EQ(fn<int(const void*, int, int, int)>("WriteWithSleep")("ab", 2, 0, 777), 0);
    EXPECT_EQ(fn<int(void*, int, int, int, int)>("Read")(buffer, 8, 0, 777, 0), 0);
    EXPECT_EQ(fn<int(int, int)>("ReadAvailable")(777, 0), 0);
    EXPECT_EQ(fn<cvn_bool(int)>("IsPowerState")(777), 0);
    EXPECT_EQ(fn<cvn_bool(int, int, CVN_DATA_RECEIVER)>("SetDataReceiver")(777, 0, nullptr), 0);
    EXPECT_EQ(fn<cvn_bool(int, int)>("GetAsbMode")(777, 0), 0);
    EXPECT_EQ(fn<cvn_bool(int)>("GetPnPMode")(777), 0);
    fn<void(int, int)>("SetOutputBufferSize")(777, 10);
    fn<void(int, int)>("Clear")(777, 0);
    EXPECT_EQ(remove(777), 0);
}

TEST_F(CvnPortApi, WriteAndReadRefuseBadArgumentsAndClosedPorts) {
    auto write = fn<int(const void*, int, int)>("Write");
    auto read = fn<int(void*, int, int, int, int)>("Read");
    int id = createA(32, "COM3");
    char buffer[4] = {};
    EXPECT_EQ(write(nullptr, 4, id), 0);
    EXPECT_EQ(write("abcd", 0, id), 0);
    EXPECT_EQ(write("abcd", 4, id), 0);  // never opened
    EXPECT_EQ(read(nullptr, 4, 0, id, 0), 0);
    EXPECT_EQ(read(buffer, 4, 0, id, 0), 0);
    // No device behind COM3 here: the open fails and the port stays closed.
    EXPECT_EQ(fn<int(int, int)>("OpenPort")(id, 0), 0);
    EXPECT_EQ(fn<cvn_bool(int)>("IsPowerState")(id), 0);
    EXPECT_EQ(fn<int(int, int)>("ClosePort")(id, 0), 0);
    EXPECT_EQ(remove(id), 0);
}

// The first model of the table with this type code.
std::string modelOfType(int typeCode) {
    for (int group = 0; group < modeltable::kModelGroupCount; ++group) {
        for (const char* row : modeltable::groupRows(group)) {
            if (!row || !*row)
                continue;
            std::string name = row;
            name = name.substr(0, name.find(','));
            auto model = modeltable::lookup(name);
            if (model && model->typeCode == typeCode)
                return name;
        }
    }
    return {};
}

TEST_F(CvnPortApi, ModelLookups) {
    std::string model = modelOfType(23);
    ASSERT_FALSE(model.empty());
    auto typeA = fn<int(const char*, cvn_bool)>("GetDeviceTypeA");
    EXPECT_EQ(typeA(model.c_str(), 1), 23);
    EXPECT_EQ(typeA(model.c_str(), 0), 20);
    EXPECT_EQ(typeA("no such model", 1), 0);

    char pid[16];
    ASSERT_EQ(fn<cvn_bool(const char*, char*)>("GetDevicePidA")(model.c_str(), pid), 1);
    EXPECT_EQ(std::string(pid), modeltable::productId(model));
    // The same row by product id, in upper case, through the wide twin.
    std::u16string widePid;
    for (char c : std::string(pid))
        widePid += static_cast<char16_t>(std::toupper(c));
    EXPECT_EQ(fn<int(const cvn_wchar*, cvn_bool)>("GetDeviceTypeW")(widePid.c_str(), 1), 23);
    cvn_wchar name[128];
    ASSERT_EQ(fn<cvn_bool(const cvn_wchar*, cvn_wchar*)>("GetDeviceNameW")(widePid.c_str(), name),
              1);
    EXPECT_EQ(std::u16string(name), std::u16string(model.begin(), model.end()));

    char out[8] = "xxxxxxx";
    EXPECT_EQ(fn<cvn_bool(const char*, char*)>("GetDeviceNameA")("no such model", out), 0);
    EXPECT_EQ(out[0], '\0');
}

TEST_F(CvnPortApi, UsbLookupsOfAbsentPrintersWriteEmptyResults) {
    char out[8] = "xxxxxxx";
    EXPECT_EQ(fn<cvn_bool(const char*, char*)>("GetUSBDevicePathA")("fffe", out), 0);
    EXPECT_EQ(out[0], '\0');
    out[0] = 'x';
    EXPECT_EQ(fn<cvn_bool(const char*, char*)>("GetUSBDevicePathABySN")("no-serial", out), 0);
    EXPECT_EQ(out[0], '\0');
    out[0] = 'x';
    EXPECT_EQ(fn<cvn_bool(const char*, char*)>("ConvertUSBDevicePathA")("PID_01", out), 0);
    EXPECT_EQ(out[0], '\0');
    cvn_wchar wide[4] = {u'x', u'x', u'x', 0};
    EXPECT_EQ(fn<cvn_bool(const cvn_wchar*, cvn_wchar*)>("GetUSBDevicePathW")(u"fffe", wide), 0);
    EXPECT_EQ(wide[0], 0);
}

TEST_F(CvnPortApi, PortListNamesTheDevicesOfTheMap) {
    fs::create_directories(home.file("dosdevices"));
    home.writeFile("node", "");
    fs::create_symlink(home.file("node"), home.file("dosdevices/COM140"));
    fs::create_symlink(home.file("node"), home.file("dosdevices/LPT200"));
    char list[16384];
    int count = fn<int(int, char*)>("GetPortListA")(32 | 64, list);
    std::string text = list;
    EXPECT_NE(text.find("COM140|"), std::string::npos);
    EXPECT_NE(text.find("|LPT200|"), std::string::npos);
    EXPECT_GE(count, 2);
    // Only the serial group.
    count = fn<int(int, char*)>("GetPortListA")(4, list);
    EXPECT_EQ(std::string(list).find("LPT"), std::string::npos);
    EXPECT_NE(std::string(list).find("COM140|"), std::string::npos);

    cvn_wchar wide[16384];
    EXPECT_EQ(fn<int(int, cvn_wchar*)>("GetPortListW")(4, wide), count);
    // Nothing selected: an empty list, written all the same.
    list[0] = 'x';
    EXPECT_EQ(fn<int(int, char*)>("GetPortListA")(0, list), 0);
    EXPECT_EQ(list[0], '\0');
}

TEST_F(CvnPortApi, NetworkPortWritesAndReadsThroughTheExports) {
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    peer.addReply("ping", "pong");
    int id = createA(2, peer.portName().c_str());
    ASSERT_GE(id, 100);
    ASSERT_EQ(fn<int(int, int)>("OpenPort")(id, 0), 1);
    EXPECT_EQ(fn<cvn_bool(int)>("IsPowerState")(id), 1);

    EXPECT_EQ(fn<int(const void*, int, int)>("Write")("ping", 4, id), 4);
    ASSERT_TRUE(peer.waitForBytes(4, std::chrono::seconds(10)));
    EXPECT_EQ(peer.received(), "ping");
    char buffer[8] = {};
    EXPECT_EQ(fn<int(void*, int, int, int, int)>("Read")(buffer, 4, 10000, id, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");

    EXPECT_EQ(fn<int(int, int)>("ClosePort")(id, 0), 0);
    EXPECT_EQ(remove(id), 0);
}

TEST_F(CvnPortApi, SerialPortsTakeDeviceNodesBesideComNames) {
    for (auto [type, name] :
         {std::pair{32, "/dev/ttyUSB0"}, {4, "/dev/rfcomm0"}, {32, "/dev/ttyS0:9600:8:0:0:2"}}) {
        int id = createA(type, name);
        EXPECT_GE(id, 100) << name;
        EXPECT_EQ(remove(id), 0) << name;
    }
    EXPECT_EQ(createA(32, "/dev/sda"), 0);
    EXPECT_EQ(createA(4, "ttyUSB0"), 0);
    EXPECT_EQ(createA(32, "/dev/tty"), 0);  // the controlling terminal, no printer
}

TEST_F(CvnPortApi, NetworkNameThatDoesNotParseNeverConnects) {
    home.writeFile("trace.txt", "");
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    // Unparsed, the address would stay 0.0.0.0: this computer, where the peer listens.
    for (std::string address : {"printer.local", "10.0.0.256"}) {
        std::string name = address + ":" + std::to_string(peer.port());
        int id = createA(2, name.c_str());
        ASSERT_GE(id, 100) << name;
        EXPECT_EQ(fn<int(int, int)>("OpenPort")(id, 0), 0) << name;
        EXPECT_EQ(tracefiles::count(home.path(), "Invalid port name : " + name, true), 2);
        fn<int(int, int)>("ClosePort")(id, 0);
        EXPECT_EQ(remove(id), 0);
    }
    EXPECT_EQ(peer.connections(), 0);
}

// What the receivers of the tests below share with their host.
struct HostSide {
    std::mutex lock;  // the host's own lock, taken by its receiver
    std::atomic<bool> entered{false};
    std::atomic<int> portId{0};
    cvn_bool (*isPowerState)(int) = nullptr;
};
HostSide host;

void receiverTakingTheHostsLock(const char*, int) {
    host.entered = true;
    std::lock_guard<std::mutex> guard(host.lock);
}

void receiverCallingAnExport(const char*, int) {
    host.entered = true;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end)
        host.isPowerState(host.portId);
}

bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

bool libraryLoaded() {
    void* loaded = dlopen(CVNPORT_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (loaded)
        dlclose(loaded);
    return loaded != nullptr;
}

class CvnPortThreads : public CvnPortApi {
protected:
    // A network port to the peer, open, whose receiver of device 0 is `receiver`.
    int openWithReceiver(vprinter::ScriptedPeer& peer, CVN_DATA_RECEIVER receiver) {
        int id = createA(2, peer.portName().c_str());
        if (id < 100 || fn<int(int, int)>("OpenPort")(id, 0) != 1)
            return 0;
        fn<cvn_bool(int, int, CVN_DATA_RECEIVER)>("SetDataReceiver")(id, 0, receiver);
        host.portId = id;
        host.entered = false;
        return id;
    }
    int readThreadEnds() { return tracefiles::count(home.path(), "Port Read Thread End", true); }
};

// The host holds a lock while it closes; its receiver waits for that lock. The close
// gives up on the thread after its limit; the thread then ends by itself, touches no
// later open of the port, and keeps the library loaded until it has returned.
TEST_F(CvnPortThreads, CloseLetsGoOfAReceiverThatWaitsForItsHost) {
    home.writeFile("trace.txt", "");
    int result = ChildProcess::runToEnd([this] {
        vprinter::ScriptedPeer peer;
        if (!peer.start())
            return 1;
        auto close = fn<int(int, int)>("ClosePort");
        std::unique_lock<std::mutex> held(host.lock);
        int id = openWithReceiver(peer, receiverTakingTheHostsLock);
        if (!id || !peer.sendToAll("x") || !waitFor([] { return host.entered.load(); }))
            return 2;
        if (close(id, 0) != 0 ||
            !tracefiles::contains(home.path(), "TerminateThread Port ReadThread.", true))
            return 3;
        // Opened again, the port gets a thread of its own; the old one leaves once free.
        if (fn<int(int, int)>("OpenPort")(id, 0) != 1)
            return 4;
        fn<cvn_bool(int, int, CVN_DATA_RECEIVER)>("SetDataReceiver")(id, 0,
                                                                     receiverTakingTheHostsLock);
        held.unlock();
        if (!waitFor([this] { return readThreadEnds() == 1; }))
            return 5;
        if (fn<int(const void*, int, int)>("Write")("w", 1, id) != 1 ||
            !peer.waitForBytes(1, std::chrono::seconds(10)))
            return 6;
        // Let go of again, now with the host unloading the library right after.
        held.lock();
        host.entered = false;
        if (!peer.sendToAll("y") || !waitFor([] { return host.entered.load(); }))
            return 7;
        if (close(id, 0) != 0 || remove(id) != 0)
            return 8;
        dlclose(handle);
        handle = nullptr;
        if (!libraryLoaded())
            return 9;
        held.unlock();  // the thread returns into the library's code
        return waitFor([] { return !libraryLoaded(); }) ? 0 : 10;
    });
    EXPECT_EQ(result, 0);
}

// Printer libraries load and unload the library around every call: an open port and its
// read thread carry on in between. A port without a read thread is closed at the unload.
TEST_F(CvnPortThreads, HostThatUnloadsBetweenCallsKeepsItsOpenPort) {
    int result = ChildProcess::runToEnd([this] {
        vprinter::ScriptedPeer peer;
        if (!peer.start())
            return 1;
        int threaded = openWithReceiver(peer, nullptr);
        if (!threaded || !peer.waitForOpenConnections(1, std::chrono::seconds(10)))
            return 2;
        dlclose(handle);
        handle = dlopen(CVNPORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (fn<cvn_bool(int)>("IsPowerState")(threaded) != 1 ||
            fn<int(const void*, int, int)>("Write")("w", 1, threaded) != 1 ||
            !peer.waitForBytes(1, std::chrono::seconds(10)))
            return 3;

        vprinter::ScriptedPeer second;
        if (!second.start())
            return 4;
        int plain = createA(2, second.portName().c_str());
        fn<void(int, cvn_bool)>("SetUseReadThread")(plain, 0);
        if (fn<int(int, int)>("OpenPort")(plain, 0) != 1 ||
            !second.waitForOpenConnections(1, std::chrono::seconds(10)))
            return 5;
        if (fn<int(int, int)>("ClosePort")(threaded, 0) != 0 || remove(threaded) != 0)
            return 6;
        dlclose(handle);
        handle = nullptr;
        if (libraryLoaded())
            return 7;
        return second.waitForOpenConnections(0, std::chrono::seconds(10)) ? 0 : 8;
    });
    EXPECT_EQ(result, 0);
}

// The host's main returns with a port open while its receiver calls an export: the
// unload at the end of the process must not wait for that thread under the export's lock.
TEST_F(CvnPortThreads, ExportCalledByAReceiverDuringTheUnloadAtExit) {
    int result = ChildProcess::runToEnd([this] {
        vprinter::ScriptedPeer peer;
        host.isPowerState = fn<cvn_bool(int)>("IsPowerState");
        if (!peer.start() || !openWithReceiver(peer, receiverCallingAnExport) ||
            !peer.sendToAll("x") || !waitFor([] { return host.entered.load(); }))
            return 1;
        std::exit(0);
    });
    EXPECT_EQ(result, 0);
}

// What the plug-and-play receiver heard, for the gateway tests.
struct PnpEvents {
    std::mutex lock;
    std::condition_variable changed;
    std::string bytes;
};
PnpEvents pnpEvents;

void pnpReceiver(const char* data, int length) {
    std::lock_guard<std::mutex> guard(pnpEvents.lock);
    pnpEvents.bytes.append(data, static_cast<size_t>(length));
    pnpEvents.changed.notify_all();
}

class CvnPortGatewayDetection : public CvnPortApi {
protected:
    // Opens a network port in connect mode 2 to a peer that answers the gateway probe
    // with `reply`, and switches plug-and-play on.
    int openDetecting(vprinter::ScriptedPeer& peer, const std::string& reply) {
        peer.addReply(std::string("\x1d\x49\x04", 3), reply);
        int id = createA(2, peer.portName().c_str());
        fn<void(int, int)>("SetConnectMode")(id, 2);
        EXPECT_EQ(fn<int(int, int)>("OpenPort")(id, 0), 1);
        fn<void(cvn_bool, int, CVN_PNP_RECEIVER)>("SetPnPMode")(1, id, pnpReceiver);
        return id;
    }
    void closeAndRemove(int id) {
        EXPECT_EQ(fn<int(int, int)>("ClosePort")(id, 0), 0);
        EXPECT_EQ(remove(id), 0);
    }
};

TEST_F(CvnPortGatewayDetection, GatewayAnswerSwitchesThePortToGatewayPackets) {
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    {
        std::lock_guard<std::mutex> guard(pnpEvents.lock);
        pnpEvents.bytes.clear();
    }
    int id = openDetecting(peer, std::string("\x5f\x01\x02\x03\x10\x00", 6));
    ASSERT_GE(id, 100);
    EXPECT_EQ(fn<cvn_bool(int)>("GetPnPMode")(id), 1);

    // A plug-and-play packet of the gateway now reaches its receiver.
    ASSERT_TRUE(peer.sendToAll(std::string("CVN\xff\x00\x04plug", 10)));
    {
        std::unique_lock<std::mutex> lock(pnpEvents.lock);
        EXPECT_TRUE(pnpEvents.changed.wait_for(lock, std::chrono::seconds(10),
                                               [] { return pnpEvents.bytes.size() >= 4; }));
        EXPECT_EQ(pnpEvents.bytes, "plug");
    }
    closeAndRemove(id);
}

TEST_F(CvnPortGatewayDetection, PrinterAnswerKeepsThePortAPrinter) {
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    // The mark is there but the gateway flag of the fifth byte is not.
    int id = openDetecting(peer, std::string("\x5f\x01\x02\x03\xef\x00", 6));
    ASSERT_GE(id, 100);
    EXPECT_EQ(fn<cvn_bool(int)>("GetPnPMode")(id), 0);
    ASSERT_TRUE(peer.waitForBytes(3, std::chrono::seconds(10)));
    EXPECT_EQ(peer.received(), std::string("\x1d\x49\x04", 3));
    closeAndRemove(id);
}

}  // namespace
