// USB printers through libudev as the system shows them, faked by umockdev: which are
// listed and how they are named, printing and answers on the printer node, and a printer
// unplugged and plugged in again. Each printer's node leads to a virtual printer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DevManHelper.h"
#include "PortListMng.h"
#include "PortUsb.h"
#include "Receivers.h"
#include "RegistUsb.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "UsbTestbed.h"
#include "VirtualPrinter.h"
#include "cvnport.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kWait = 10s;

std::unique_ptr<vprinter::VirtualPrinter> startPrinter() {
    vprinter::VirtualPrinterOptions options;
    options.listeners.clear();
    options.serial = vprinter::VirtualPrinterOptions::Listener{};
    auto printer = std::make_unique<vprinter::VirtualPrinter>(options);
    return printer->start() ? std::move(printer) : nullptr;
}

bool printed(vprinter::VirtualPrinter& printer, const std::string& text) {
    return printer.journal().waitFor(
        [&](const vprinter::Journal::Elements& elements) {
            for (const Json::Value& element : elements)
                if (element["text"].asString() == text)
                    return true;
            return false;
        },
        kWait);
}

class UsbPrinters : public ::testing::Test {
protected:
    UsbPrinters() {
        for (int which = 0; which < Heard::kRecords; ++which)
            Heard::instance(which).reset();
        mng.SetTrace(2, false);
    }

    // A virtual printer plugged in as /dev/usb/lp<number>.
    vprinter::VirtualPrinter& plug(int number, const std::string& vendorId,
                                   const std::string& productId, const std::string& serial) {
        auto& printer = printers[number];
        if (!printer)
            printer = startPrinter();
        testbed.attach(number, vendorId, productId, serial, printer->serialPath());
        return *printer;
    }

    int open(const std::string& portName, CVN_POWER_STATUS_RECEIVER receiver = &Heard::power<0>) {
        int id = mng.Create(CVN_PORT_USB, portName, 0);
        if (id == 0 || mng.OpenPort(id, 0) != 1)
            return 0;
        mng.SetPowerStatusReceiver(id, 0, receiver);
        return id;
    }
    void close(int id) {
        mng.ClosePort(id, 0);
        mng.Remove(id, 0);
    }
    bool write(int id, const std::string& bytes) {
        return mng.Write(bytes.data(), static_cast<int>(bytes.size()), id) ==
               static_cast<int>(bytes.size());
    }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }
    int tracedCount(const std::string& text) { return tracefiles::count(home.path(), text); }

    TempHome home;
    UsbTestbed testbed;
    std::map<int, std::unique_ptr<vprinter::VirtualPrinter>> printers;
    CPortListMng mng;
};

TEST_F(UsbPrinters, OnlyTheMakersPrintersAreListedInNodeOrderWithNamesAndInstances) {
    plug(10, "3f1c", "0101", "SN-D");
    plug(0, "3F1C", "0101", "SN-A");
    plug(1, "3a8e", "4011", "SN-B");  // the vendor's other products are not printers of ours
    plug(2, "3b27", "3c01", "SN-C");
    plug(3, "3c5d", "003f", "");

    CRegistUsb attached;
    const std::vector<_USB_DEVICE_INFO_>& records = attached.records();
    ASSERT_EQ(records.size(), 4u);
    const char* paths[] = {"/dev/usb/lp0", "/dev/usb/lp2", "/dev/usb/lp3", "/dev/usb/lp10"};
    const char* names[] = {"USB01:", "USB02:", "USB03:", "USB04:"};
    const int instances[] = {1, 1, 1, 2};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].devicePath, paths[i]);
        EXPECT_EQ(records[i].portName, names[i]);
        EXPECT_EQ(records[i].instance, instances[i]);
    }
    EXPECT_EQ(records[0].vendorId, "3f1c");
    EXPECT_EQ(records[1].serialNumber, "sn-c");
    EXPECT_EQ(records[2].serialNumber, "");

    // The vendor filter's own rules.
    EXPECT_TRUE(CRegistUsb::IsMakersPrinter("3f1c", "0109"));
    EXPECT_FALSE(CRegistUsb::IsMakersPrinter("3a8e", "4011"));
    EXPECT_TRUE(CRegistUsb::IsMakersPrinter("3a8e", "4010"));
    EXPECT_TRUE(CRegistUsb::IsMakersPrinter("3b27", "3C00"));
    EXPECT_FALSE(CRegistUsb::IsMakersPrinter("3c5d", "0040"));
}

// The lookups as printer libraries call them, through the library's exports.
TEST_F(UsbPrinters, PortNamesProductIdsSerialNumbersAndModelsFindTheirPrinters) {
    plug(0, "3f1c", "0101", "SN-A");
    plug(2, "3b27", "3c01", "SN-C");
    plug(5, "3f1c", "0101", "SN-E");
    void* library = dlopen(CVNPORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Lookup = cvn_bool (*)(const char*, char*);
    auto convert = reinterpret_cast<Lookup>(dlsym(library, "ConvertUSBDevicePathA"));
    auto byPid = reinterpret_cast<Lookup>(dlsym(library, "GetUSBDevicePathA"));
    auto bySerial = reinterpret_cast<Lookup>(dlsym(library, "GetUSBDevicePathABySN"));
    auto pidList = reinterpret_cast<int (*)(char*)>(dlsym(library, "GetUsbPidListA"));
    auto portList = reinterpret_cast<int (*)(int, char*)>(dlsym(library, "GetPortListA"));

    struct Case {
        const char* name;
        const char* path;
    };
    const Case cases[] = {
        {"USB01", "/dev/usb/lp0"},
        {"usb1", "/dev/usb/lp0"},
        {"USB", "/dev/usb/lp0"},
        {"USB02:", "/dev/usb/lp2"},
        {"USB09", "/dev/usb/lp5"},  // the number is capped at the count
        {"usb001", ""},
        {"PID_0101", "/dev/usb/lp0|/dev/usb/lp5"},
        {"3C01", "/dev/usb/lp2"},
        {"PID_01", ""},
        {"sn-e", "/dev/usb/lp5"},        // a serial number, when no model has the name
        {"Varo-PT220", "/dev/usb/lp2"},  // a model name, by its product id
        {"/dev/usb/lp7", "/dev/usb/lp7"},
        {"nothing of the kind", ""},
    };
    char out[1024];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(convert(c.name, out), std::string(c.path).empty() ? 0 : 1);
        EXPECT_EQ(std::string(out), c.path);
    }
    EXPECT_EQ(byPid("0101", out), 1);
    EXPECT_EQ(std::string(out), "/dev/usb/lp0|/dev/usb/lp5");
    EXPECT_EQ(bySerial("SN-C", out), 1);
    EXPECT_EQ(std::string(out), "/dev/usb/lp2");
    EXPECT_EQ(byPid("0202", out), 0);
    EXPECT_EQ(pidList(out), 3);
    EXPECT_EQ(std::string(out), "0101|3c01|0101|");
    EXPECT_EQ(portList(CVN_PORT_USB, out), 3);
    EXPECT_EQ(std::string(out), "/dev/usb/lp0|/dev/usb/lp2|/dev/usb/lp5|");
    dlclose(library);
}

TEST_F(UsbPrinters, APortPrintsAndReadsAnswersOnThePrinterNode) {
    vprinter::VirtualPrinter& printer = plug(0, "3f1c", "0101", "SN-A");
    int id = open("USB01");
    ASSERT_NE(id, 0);
    EXPECT_TRUE(write(id, "Receipt over USB\n\x10\x04\x01"));
    unsigned char answer = 0;
    EXPECT_EQ(mng.Read(&answer, 1, 5000, id, 0), 1);
    EXPECT_EQ(answer, 0x12);
    EXPECT_TRUE(printed(printer, "Receipt over USB"));
    close(id);
    EXPECT_TRUE(printer.waitForOpenConnections(0, kWait));
}

TEST_F(UsbPrinters, UnpluggingGoesOffLineOnceAndPluggingInReopensThePrinter) {
    vprinter::VirtualPrinter& printer = plug(0, "3f1c", "0101", "SN-A");
    int id = open("USB01");
    ASSERT_NE(id, 0);

    testbed.detach(0);
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(id));
    EXPECT_TRUE(traced("********************************** usb disconnect"));
    EXPECT_FALSE(write(id, "lost\n"));

    plug(0, "3f1c", "0101", "SN-A");
    ASSERT_TRUE(Heard::instance().waitForPower(2));
    EXPECT_TRUE(mng.IsConnected(id));
    EXPECT_EQ(Heard::instance().powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_EQ(tracedCount("usb disconnect"), 1);
    EXPECT_EQ(tracedCount("usb connect"), 1);
    EXPECT_TRUE(write(id, "After the replug\n"));
    EXPECT_TRUE(printed(printer, "After the replug"));
    close(id);
}

// A spooler's USB queue names its printer by serial number.
TEST_F(UsbPrinters, AUsbQueueUsesThePrinterOfItsSerialNumber) {
    plug(0, "3f1c", "0101", "SN-A");
    EXPECT_TRUE(CDevManHelper::QueueUsesDevice("usb://Maker/Model?serial=sn-a&interface=1",
                                               "/dev/usb/lp0"));
    EXPECT_FALSE(CDevManHelper::QueueUsesDevice("usb://Maker/Model?serial=SN-B", "/dev/usb/lp0"));
    EXPECT_FALSE(CDevManHelper::QueueUsesDevice("usb://Maker/Model", "/dev/usb/lp0"));
}

// The watcher tells each port of its own printer, not the port made last.
TEST_F(UsbPrinters, TwoPrintersOfOneProductEachGoAndComeOnTheirOwn) {
    plug(0, "3f1c", "0101", "SN-A");
    vprinter::VirtualPrinter& second = plug(1, "3f1c", "0101", "SN-B");
    int first = open("USB01");
    int other = open("USB02", &Heard::power<1>);
    ASSERT_NE(first, 0);
    ASSERT_NE(other, 0);

    testbed.detach(0);
    ASSERT_TRUE(Heard::instance(0).waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(first));
    EXPECT_TRUE(mng.IsConnected(other));
    EXPECT_TRUE(write(other, "Still printing\n"));
    EXPECT_TRUE(printed(second, "Still printing"));
    EXPECT_TRUE(Heard::instance(1).powerEvents().empty());

    plug(0, "3f1c", "0101", "SN-A");
    ASSERT_TRUE(Heard::instance(0).waitForPower(2));
    EXPECT_TRUE(mng.IsConnected(first));
    EXPECT_TRUE(Heard::instance(1).powerEvents().empty());
    close(first);
    close(other);
}

// A printer whose far end is gone refuses the write; the port gives up the handle, tells
// its receivers once, and is back when the printer is.
TEST_F(UsbPrinters, AWriteThePrinterRefusesTakesThePortOffLineUntilThePrinterIsBack) {
    plug(0, "3f1c", "0101", "SN-A");
    int id = open("USB01");
    ASSERT_NE(id, 0);
    printers[0].reset();  // the far end closes: writes fail on the node
    EXPECT_FALSE(write(id, "into nothing\n"));
    ASSERT_TRUE(Heard::instance().waitForPower(1));
    EXPECT_FALSE(mng.IsConnected(id));
    EXPECT_TRUE(traced("trying close/open"));
    EXPECT_TRUE(traced("disconnect in write"));

    testbed.detach(0);
    vprinter::VirtualPrinter& back = plug(0, "3f1c", "0101", "SN-A");
    ASSERT_TRUE(Heard::instance().waitForPower(2));
    EXPECT_EQ(Heard::instance().powerEvents(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(write(id, "Back again\n"));
    EXPECT_TRUE(printed(back, "Back again"));
    close(id);
}

}  // namespace

int main(int argc, char** argv) {
    UsbTestbed::enterMockEnvironment(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
