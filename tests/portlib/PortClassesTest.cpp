// The serial, parallel and USB port classes up to their device open: port name
// parsing, the failing open and its trace line; and the DOS device map that names their
// devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PortCom.h"
#include "PortLpt.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"
#include "platform/DosDevices.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPortId = 100;

class PortClasses : public ::testing::Test {
protected:
    void SetUp() override { TraceOpen(kPortId, 2, "Test"); }
    void TearDown() override { TraceClose(kPortId); }
    bool traced(const std::string& text) { return tracefiles::contains(home.path(), text); }

    TempHome home;
};

TEST_F(PortClasses, SerialNameWithoutFieldsKeepsTheDefaults) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(32, "com3"));
    EXPECT_EQ(port.deviceName, "COM3");
    EXPECT_EQ(port.line.baudRate, 115200);
    EXPECT_EQ(port.line.dataBits, 8);
    EXPECT_EQ(port.line.parity, 0);
    EXPECT_EQ(port.line.stopBits, 0);
    EXPECT_EQ(port.line.flowControl, platform::SerialLine::kFlowHardware);
    EXPECT_EQ(port.settingGiven, (std::array<bool, 5>{}));
    EXPECT_EQ(port.timeouts.readConstant, 50);
    EXPECT_EQ(port.timeouts.writeConstant, 5000);
    EXPECT_EQ(port.readThreadInterval, 100);
}

TEST_F(PortClasses, SerialFieldsSetTheLineInOrder) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(32, "COM12:9600"));
    EXPECT_EQ(port.deviceName, "COM12");
    EXPECT_EQ(port.line.baudRate, 9600);
    EXPECT_EQ(port.settingGiven, (std::array<bool, 5>{true, false, false, false, false}));

    CPortCom full;
    ASSERT_TRUE(full.CreateDeviceOption(32, "COM3:19200:7:2:2:2"));
    EXPECT_EQ(full.line.baudRate, 19200);
    EXPECT_EQ(full.line.dataBits, 7);
    EXPECT_EQ(full.line.parity, 2);
    EXPECT_EQ(full.line.stopBits, 2);
    EXPECT_EQ(full.line.flowControl, platform::SerialLine::kFlowNone);

    // A field that is no number is left alone.
    CPortCom odd;
    ASSERT_TRUE(odd.CreateDeviceOption(32, "COM3:fast:7"));
    EXPECT_EQ(odd.line.baudRate, 115200);
    EXPECT_EQ(odd.line.dataBits, 7);
    EXPECT_EQ(odd.settingGiven, (std::array<bool, 5>{false, true, false, false, false}));
}

TEST_F(PortClasses, BluetoothForcesTheLineSettings) {
    CPortCom port;
    ASSERT_TRUE(port.CreateDeviceOption(4, "COM5:9600:7:1:1:1"));
    EXPECT_EQ(port.line.baudRate, 9600);
    EXPECT_EQ(port.line.dataBits, 8);
    EXPECT_EQ(port.line.parity, 0);
    EXPECT_EQ(port.line.stopBits, 0);
    EXPECT_EQ(port.line.flowControl, 0);
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
    EXPECT_EQ(port.line.baudRate, 19200);
    EXPECT_EQ(port.line.flowControl, platform::SerialLine::kFlowNone);
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

}  // namespace
