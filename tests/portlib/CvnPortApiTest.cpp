// libcvnport.so as printer libraries use it: loaded with dlopen, reached only through
// its exported functions. Each test loads the library afresh and removes every port it
// creates, so that the unload deletes the port list and the next load starts anew.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>

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

TEST_F(CvnPortApi, UnloadWithAnOpenPortStopsItsThreadAndReleasesTheConnection) {
    vprinter::ScriptedPeer peer;
    ASSERT_TRUE(peer.start());
    int id = createA(2, peer.portName().c_str());
    ASSERT_EQ(fn<int(int, int)>("OpenPort")(id, 0), 1);
    ASSERT_TRUE(peer.waitForOpenConnections(1, std::chrono::seconds(10)));

    // A host that forgets to close: its read thread must not outlive the library's code.
    ASSERT_EQ(dlclose(handle), 0);
    handle = nullptr;
    EXPECT_TRUE(peer.waitForOpenConnections(0, std::chrono::seconds(10)));
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
