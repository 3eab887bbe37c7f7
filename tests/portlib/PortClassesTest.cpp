// The serial, parallel and USB port classes up to their device open: port name
// parsing, the failing open and its trace line; and the DOS device map and USB scan
// that name their devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PortCom.h"
#include "PortLpt.h"
#include "PortUsb.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/UsbPrinters.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPortId = 100;

class PortClasses : public ::testing::Test {
protected:
    void SetUp() override { TraceOpen(kPortId, 2, "Test"); }
    void TearDown() override {
        CPortUsb::SetRecordSource(nullptr);
        TraceClose(kPortId);
    }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }

    TempHome home;
};

TEST_F(PortClasses, SerialNameWithoutFieldsKeepsTheDefaults) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(32, "com3"));
    EXPECT_EQ(port.deviceName, "COM3");
    EXPECT_EQ(port.baudRate, 115200);
    EXPECT_EQ(port.dataBits, 8);
    EXPECT_EQ(port.parity, 0);
    EXPECT_EQ(port.stopBits, 0);
    EXPECT_EQ(port.flowControl, CPortCom::kFlowDtrDsr);
    EXPECT_EQ(port.settingGiven, (std::array<bool, 5>{}));
    EXPECT_EQ(port.timeouts.readConstant, 50);
    EXPECT_EQ(port.timeouts.writeConstant, 5000);
    EXPECT_EQ(port.readThreadInterval, 100);
}

TEST_F(PortClasses, SerialFieldsSetTheLineInOrder) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(32, "COM12:9600"));
    EXPECT_EQ(port.deviceName, "COM12");
    EXPECT_EQ(port.baudRate, 9600);
    EXPECT_EQ(port.settingGiven, (std::array<bool, 5>{true, false, false, false, false}));

    CPortCom full;
    ASSERT_TRUE(full.CreateDeviceOption(32, "COM3:19200:7:2:2:2"));
    EXPECT_EQ(full.baudRate, 19200);
    EXPECT_EQ(full.dataBits, 7);
    EXPECT_EQ(full.parity, 2);
    EXPECT_EQ(full.stopBits, 2);
    EXPECT_EQ(full.flowControl, CPortCom::kFlowNone);

    // A field that is no number is left alone.
    CPortCom odd;
    ASSERT_TRUE(odd.CreateDeviceOption(32, "COM3:fast:7"));
    EXPECT_EQ(odd.baudRate, 115200);
    EXPECT_EQ(odd.dataBits, 7);
    EXPECT_EQ(odd.settingGiven, (std::array<bool, 5>{false, true, false, false, false}));
}

TEST_F(PortClasses, BluetoothForcesTheLineSettings) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(4, "COM5:9600:7:1:1:1"));
    EXPECT_EQ(port.baudRate, 9600);
    EXPECT_EQ(port.dataBits, 8);
    EXPECT_EQ(port.parity, 0);
    EXPECT_EQ(port.stopBits, 0);
    EXPECT_EQ(port.flowControl, 0);
}

TEST_F(PortClasses, SerialRejectsOtherNames) {
    CPortCom port;
    EXPECT_FALSE(port.CreateDeviceOption(32, "LPT1"));
    EXPECT_FALSE(port.CreateDeviceOption(32, "MyCOM3"));
    EXPECT_FALSE(port.CreateDeviceOption(32, "/dev/sda"));
}

TEST_F(PortClasses, SerialDeviceNodeKeepsItsPathAndTakesTheLineFields) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(32, "/dev/ttyUSB0:19200:8:0:0:2"));
    EXPECT_EQ(port.deviceName, "/dev/ttyUSB0");
    EXPECT_EQ(port.devicePath(), "/dev/ttyUSB0");
    EXPECT_EQ(port.baudRate, 19200);
    EXPECT_EQ(port.flowControl, CPortCom::kFlowNone);
    CPortCom bluetooth;
    ASSERT_TRUE(bluetooth.CreateDeviceOption(4, "/dev/rfcomm0"));
    EXPECT_EQ(bluetooth.devicePath(), "/dev/rfcomm0");
}

TEST_F(PortClasses, SerialOpenFailsWithItsErrorLineAndStaysClosed) {
    {
        CPortCom port;
        port.portId = kPortId;
        port.portType = 32;
        port.CreateDeviceOption(32, "COM200");
        EXPECT_FALSE(port.OpenPort());
        EXPECT_FALSE(port.m_bOpen);
        EXPECT_TRUE(traced("<ERROR> -(BLE) : port is INVALID_HANDLE_VALUE, GetLastError(2)"));
        char byte = 0;
        EXPECT_EQ(port.WritePort(&byte, 1, 0), 0);
        EXPECT_EQ(port.Write(&byte, 1, 0), 0);
        port.ClosePort();
        EXPECT_EQ(port.parser(), nullptr);
        EXPECT_TRUE(traced("-Success"));
    }
    EXPECT_TRUE(traced("CPortCom::~CPortCom"));
}

TEST_F(PortClasses, ParallelNameAndOpen) {
    {
        CPortLpt port;
        port.portId = kPortId;
        EXPECT_FALSE(port.CreateDeviceOption(64, "COM1"));
        ASSERT_TRUE(port.CreateDeviceOption(64, "lpt2:ignored"));
        EXPECT_EQ(port.deviceName, "LPT2");
        EXPECT_EQ(port.timeouts.writeConstant, 3000);
        EXPECT_EQ(port.readThreadInterval, 300);
        EXPECT_FALSE(port.OpenPort());
        EXPECT_TRUE(traced("<ERROR> -port is INVALID_HANDLE_VALUE, GetLastError("));
        char buffer[4];
        EXPECT_EQ(port.ReadPort(buffer, 4), 0);
        EXPECT_TRUE(traced("m_hPort is NULL"));
        port.ClosePort();
    }
    EXPECT_TRUE(traced("CPortLpt::~CPortLpt"));
}

class UsbLookup : public PortClasses {
protected:
    void attach(std::vector<platform::UsbPrinter> printers) {
        CPortUsb::SetRecordSource([printers] { return printers; });
    }
};

TEST_F(UsbLookup, NumberedNamesCountFromOneAndStopAtTheLast) {
    attach({{"/dev/usb/lp0", "0101", "SN-A"}, {"/dev/usb/lp1", "0202", "SN-B"}});
    EXPECT_EQ(CPortUsb::ConvertDevicePath("USB01"), "/dev/usb/lp0");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("usb1"), "/dev/usb/lp0");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("USB"), "/dev/usb/lp0");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("USB02"), "/dev/usb/lp1");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("USB05"), "/dev/usb/lp1");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("usb001"), "");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("usbx"), "");
    attach({});
    EXPECT_EQ(CPortUsb::ConvertDevicePath("USB"), "");
}

TEST_F(UsbLookup, ProductIdsSerialNumbersAndPaths) {
    attach({{"/dev/usb/lp0", "0101", "SN-A"},
            {"/dev/usb/lp1", "0202", "SN-B"},
            {"/dev/usb/lp2", "0101", "SN-C"}});
    EXPECT_EQ(CPortUsb::ConvertDevicePath("PID_0101"), "/dev/usb/lp0|/dev/usb/lp2");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("0202"), "/dev/usb/lp1");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("PID_01"), "");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("sn-b"), "/dev/usb/lp1");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("/dev/usb/lp9"), "/dev/usb/lp9");
    EXPECT_EQ(CPortUsb::ConvertDevicePath("\\\\?\\usb#vid"), "\\\\?\\usb#vid");
    EXPECT_EQ(CPortUsb::DevicePathsByProductId("0303"), "");

    CPortUsb port;
    port.portId = kPortId;
    ASSERT_TRUE(port.CreateDeviceOption(16, "USB02"));
    EXPECT_EQ(port.deviceName, "/dev/usb/lp1");
    EXPECT_FALSE(port.OpenPort());
    EXPECT_TRUE(traced("<ERROR> -port is INVALID_HANDLE_VALUE, GetLastError("));
    port.ClosePort();
}

class DosDevices : public ::testing::Test {
protected:
    DosDevices() {
        fs::create_directories(home.file("dosdevices"));
        fs::create_directories(home.file("dev"));
    }
    std::string node(const std::string& name) {
        home.writeFile("dev/" + name, "");
        return home.file("dev/" + name);
    }
    TempHome home;
};

TEST_F(DosDevices, FixedRangesMapToTheirNodeFamilies) {
    platform::DosDeviceMap map(home.file("dosdevices"), home.file("dev"));
    EXPECT_EQ(map.target("COM1"), home.file("dev/ttyS0"));
    EXPECT_EQ(map.target("com32"), home.file("dev/ttyS31"));
    EXPECT_EQ(map.target("COM33"), home.file("dev/ttyUSB0"));
    EXPECT_EQ(map.target("COM65"), home.file("dev/ttyACM0"));
    EXPECT_EQ(map.target("COM128"), home.file("dev/rfcomm31"));
    EXPECT_EQ(map.target("COM129"), "");
    EXPECT_EQ(map.target("LPT1"), home.file("dev/lp0"));
    EXPECT_EQ(map.target("COM0"), "");
    EXPECT_EQ(map.target("COM01"), "");
    EXPECT_EQ(map.target("COM3X"), "");
    EXPECT_EQ(map.target("USB1"), "");

    EXPECT_FALSE(map.known("COM1"));
    node("ttyS0");
    EXPECT_TRUE(map.known("COM1"));
}

TEST_F(DosDevices, LinksInTheMapFolderWin) {
    platform::DosDeviceMap map(home.file("dosdevices"), home.file("dev"));
    fs::create_symlink(node("pts7"), home.file("dosdevices/COM3"));
    fs::create_symlink(home.file("dev/gone"), home.file("dosdevices/LPT1"));
    EXPECT_EQ(map.target("com3"), home.file("dosdevices/COM3"));
    EXPECT_TRUE(map.known("COM3"));
    // A link to nothing names the device, but it is not known.
    EXPECT_EQ(map.target("LPT1"), home.file("dosdevices/LPT1"));
    EXPECT_FALSE(map.known("LPT1"));
    // The standard map reads the program directory.
    EXPECT_TRUE(platform::DosDeviceMap::standard().known("COM3"));
}

TEST(UsbPrinterScan, ReadsIdsFromTheUsbDeviceOfEachPrinterNode) {
    TempHome home;
    auto device = [&](const std::string& usb, const std::string& node, const std::string& pid,
                      const std::string& serial) {
        fs::path dev = fs::path(home.file("sys/devices/usb1")) / usb;
        fs::create_directories(dev / (usb + ":1.0"));
        home.writeFile("sys/devices/usb1/" + usb + "/idProduct", pid + "\n");
        if (!serial.empty())
            home.writeFile("sys/devices/usb1/" + usb + "/serial", serial + "\n");
        fs::path entry = fs::path(home.file("sys/class/usbmisc")) / node;
        fs::create_directories(entry);
        fs::create_directory_symlink(dev / (usb + ":1.0"), entry / "device");
    };
    device("1-1", "lp10", "0A0B", "S1");
    device("1-2", "lp2", "0101", "");
    fs::create_directories(home.file("sys/class/usbmisc/hiddev0"));

    std::vector<platform::UsbPrinter> found = platform::listUsbPrinters(home.file("sys"), "/dev");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].devicePath, "/dev/usb/lp2");
    EXPECT_EQ(found[0].productId, "0101");
    EXPECT_EQ(found[0].serialNumber, "");
    EXPECT_EQ(found[1].devicePath, "/dev/usb/lp10");
    EXPECT_EQ(found[1].productId, "0a0b");
    EXPECT_EQ(found[1].serialNumber, "S1");

    EXPECT_TRUE(platform::listUsbPrinters(home.file("nothing"), "/dev").empty());
}

}  // namespace
