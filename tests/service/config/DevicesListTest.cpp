#include "DevicesList.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ConfigTestSupport.h"
#include "DeviceTypes.h"
#include "ServiceSettings.h"

namespace {

class DevicesListTest : public ConfigTest {
protected:
    CDeviceInfo loaded(const std::string& file, const std::string& name) {
        writeIni(file);
        list.loadDevices();
        CDeviceInfo device;
        EXPECT_EQ(list.getDeviceInfo(name, device), 1) << name;
        return device;
    }
    std::vector<std::string> names() const {
        std::vector<CDeviceInfo> devices;
        list.copyDeviceList(devices);
        std::vector<std::string> result;
        for (const CDeviceInfo& d : devices)
            result.push_back(d.logicalName);
        return result;
    }
    static CDeviceInfo serialPrinter(const std::string& name) {
        CDeviceInfo device;
        device.logicalName = name;
        device.printerType = devicetypes::kPosPrinter;
        device.portType = kPortSerial;
        device.portName = "/dev/ttyUSB0";
        device.baudRate = 19200;
        device.checkStatus = 1;
        return device;
    }

    CDevicesList list;
};

TEST_F(DevicesListTest, LoadsPrintersInFileOrderSkippingTheReservedSections) {
    writeIni("[Printer2]\nPortType=2\n[Vembrix]\nListenPort=1\n[Devices]\n[Printer1]\n");
    list.loadDevices();
    EXPECT_EQ(names(), (std::vector<std::string>{"Printer2", "Printer1"}));
    EXPECT_EQ(list.isRegistered("Devices"), 0);
    EXPECT_EQ(list.isRegistered("Vembrix"), 0);
}

TEST_F(DevicesListTest, FewerThanTwoSectionsGiveAnEmptyList) {
    writeIni("[Vembrix]\nListenPort=8080\n");
    list.loadDevices();
    EXPECT_EQ(list.size(), 0u);
    writeIni("[Printer1]\nPortType=16\n");
    list.loadDevices();
    EXPECT_EQ(list.size(), 0u);
    std::filesystem::remove(home.file("vembrix.ini"));
    list.loadDevices();
    EXPECT_EQ(list.size(), 0u);
}

TEST_F(DevicesListTest, SerialPrinterWithOnlyAPortTypeGetsTheReadDefaults) {
    CDeviceInfo d = loaded("[Vembrix]\n[P]\nPortType=32\n", "P");
    EXPECT_EQ(d.printerType, 1);
    EXPECT_EQ(d.portName, "");
    EXPECT_EQ(d.baudRate, 9600);
    EXPECT_EQ(d.dataBits, 8);
    EXPECT_EQ(d.parity, 0);
    EXPECT_EQ(d.stopBits, 0);
    EXPECT_EQ(d.flowControl, 0);
    EXPECT_EQ(d.checkStatus, 0);
    EXPECT_EQ(d.portText(), ":9600:8:0:0:0");
}

TEST_F(DevicesListTest, KeysAreReadOnlyForTheirPortAndPrinterTypes) {
    const std::string common = "[Vembrix]\n";
    // Label printers never watch their status.
    EXPECT_EQ(loaded(common + "[P]\nPrinterType=1\nCheckStatus=1\n", "P").checkStatus, 0);
    EXPECT_EQ(loaded(common + "[P]\nPrinterType=3\nCheckStatus=4\n", "P").checkStatus, 4);
    // A USB printer keeps the fresh serial settings whatever the file says.
    CDeviceInfo usb = loaded(common + "[P]\nBaudRate=115200\nDataBits=7\n", "P");
    EXPECT_EQ(usb.portType, kPortUsb);
    EXPECT_EQ(usb.baudRate, 9600);
    EXPECT_EQ(usb.dataBits, 8);
    // Bluetooth reads the baud rate but not the serial line settings.
    CDeviceInfo bt = loaded(common + "[P]\nPortType=4\nBaudRate=115200\nDataBits=7\n", "P");
    EXPECT_EQ(bt.baudRate, 115200);
    EXPECT_EQ(bt.dataBits, 8);
    EXPECT_EQ(bt.portText(), ":115200");
}

TEST_F(DevicesListTest, NetworkPrinterDefaultsToPort9100AndShowsOnlyOtherPorts) {
    CDeviceInfo d = loaded("[Vembrix]\n[P]\nPortType=2\nPortName=192.168.0.20\n", "P");
    EXPECT_EQ(d.baudRate, 9100);
    EXPECT_EQ(d.portText(), "192.168.0.20");
    d.baudRate = 6101;
    EXPECT_EQ(d.portText(), "192.168.0.20:6101");
    d.portType = kPortWirelessNetwork;
    EXPECT_EQ(d.portText(), "192.168.0.20:6101");
    d.portType = kPortParallel;
    EXPECT_EQ(d.portText(), "192.168.0.20");
}

TEST_F(DevicesListTest, NamesAreComparedExactly) {
    writeIni("[Vembrix]\n[Printer1]\nPrinterType=2\n");
    list.loadDevices();
    CDeviceInfo device;
    EXPECT_EQ(list.getDeviceInfo("printer1", device), 0);
    EXPECT_TRUE(traced("CDevicesList::getDeviceInfo(") &&
                traced("<ERROR> printer1 is not registered in device list in getDeviceInfo"));
    EXPECT_EQ(list.printerTypeOf("printer1"), 0);
    EXPECT_EQ(list.printerTypeOf("Printer1"), 2);
}

TEST_F(DevicesListTest, AddWritesTheSectionByTheSaveRules) {
    writeIni("; printers\n[Vembrix]\nListenPort=8080\n");
    ASSERT_EQ(list.addOrUpdateDevice(serialPrinter("Till")), DeviceSaveResult::Saved);
    EXPECT_EQ(iniBytes(), crlf("; printers\n[Vembrix]\nListenPort=8080\n"
                               "[Till]\nPrinterType=2\nPhysical=\nPortType=32\n"
                               "PortName=\"/dev/ttyUSB0\"\nBaudRate=19200\nDataBits=8\n"
                               "Parity=0\nStopBits=0\nFlowControl=0\nCheckStatus=1\n"));
    // And it reads back as it was given.
    CDevicesList fresh;
    fresh.loadDevices();
    CDeviceInfo device;
    ASSERT_EQ(fresh.getDeviceInfo("Till", device), 1);
    EXPECT_EQ(device.portText(), "/dev/ttyUSB0:19200:8:0:0:0");
    EXPECT_EQ(device.checkStatus, 1);
}

// A file of one printer section reads as no printers at all: adding a printer to a file
// without the settings section writes the section with the values a missing key gives,
// so that the printer that was added is there and the service runs as before.
TEST_F(DevicesListTest, AddingToAFileWithoutTheSettingsSectionWritesItWithItsDefaults) {
    const std::string settings =
        "[Vembrix]\nShowWindow=1\nListenPort=8080\nCheckDupReq=0\nDeviceLog=0\n";
    const std::string till =
        "[Till]\nPrinterType=2\nPhysical=\nPortType=32\nPortName=\"/dev/ttyUSB0\"\n"
        "BaudRate=19200\nDataBits=8\nParity=0\nStopBits=0\nFlowControl=0\nCheckStatus=1\n";
    std::filesystem::remove(home.file("vembrix.ini"));
    ASSERT_EQ(list.addOrUpdateDevice(serialPrinter("Till")), DeviceSaveResult::Saved);
    EXPECT_EQ(iniBytes(), crlf(settings + till));
    CDevicesList fresh;
    fresh.loadDevices();
    EXPECT_EQ(fresh.isRegistered("Till"), 1);
    CServiceSettings loaded;
    loaded.loadSettings();
    EXPECT_EQ(loaded.checkDupReq(), 0);

    // A printer section written elsewhere comes to light with the next one.
    writeIni("[Old]\nPortType=16\n");
    ASSERT_EQ(list.addOrUpdateDevice(serialPrinter("Till")), DeviceSaveResult::Saved);
    EXPECT_EQ(iniBytes(), crlf("[Old]\nPortType=16\n" + settings + till));
    fresh.loadDevices();
    EXPECT_EQ(fresh.size(), 2u);
}

TEST_F(DevicesListTest, UpdateReplacesTheRecordAndLeavesStaleKeysInTheFile) {
    writeIni("[Vembrix]\n[Till]\nPrinterType=2\nPortType=32\nDataBits=7\n; keep\n[Other]\n");
    list.loadDevices();
    CDeviceInfo usb;
    usb.logicalName = "Till";
    usb.printerType = devicetypes::kLabelPrinter;
    usb.portType = kPortUsb;
    usb.portName = "USB";
    ASSERT_EQ(list.addOrUpdateDevice(usb), DeviceSaveResult::Saved);
    EXPECT_EQ(names(), (std::vector<std::string>{"Till", "Other"}));
    EXPECT_EQ(list.printerTypeOf("Till"), 1);
    EXPECT_EQ(iniBytes(),
              crlf("[Vembrix]\n[Till]\nPrinterType=1\nPortType=16\nDataBits=7\nPhysical=\n"
                   "PortName=USB\n; keep\n[Other]\n"));
}

TEST_F(DevicesListTest, UnusableNamesAreRefusedWithoutWriting) {
    writeIni("[Vembrix]\nListenPort=8080\n");
    // Names the file cannot hold, then names no request could reach the printer by.
    const std::string tooLong(CDevicesList::kMaxLogicalNameBytes + 1, 'x');
    for (const std::string& name : std::vector<std::string>{
             "", "Vembrix", "Devices", "a|b", "a]b", "two\nlines", " padded", "a/b", "a?b", "a#b",
             "tab\tname", "bell\a", "Till.cvn", "list", tooLong}) {
        CDeviceInfo device = serialPrinter(name);
        EXPECT_EQ(list.addOrUpdateDevice(device), DeviceSaveResult::UnusableName) << name;
        EXPECT_EQ(list.saveDevice(device), DeviceSaveResult::UnusableName) << name;
    }
    CDeviceInfo quoted = serialPrinter("P");
    quoted.physicalName = "say \"hi\"";
    EXPECT_EQ(list.addOrUpdateDevice(quoted), DeviceSaveResult::UnstorableValue);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\nListenPort=8080\n"));
    EXPECT_TRUE(traced("CDevicesList::addOrUpdateDevice(") &&
                traced("<ERROR> unusable logical name : [Vembrix]"));
    // Names that only look odd are fine.
    EXPECT_EQ(list.addOrUpdateDevice(serialPrinter("vembrix")), DeviceSaveResult::Saved);
    EXPECT_EQ(list.addOrUpdateDevice(serialPrinter("a[b;c")), DeviceSaveResult::Saved);
    EXPECT_EQ(list.addOrUpdateDevice(serialPrinter("50% off.cvn x")), DeviceSaveResult::Saved);
    EXPECT_EQ(
        list.addOrUpdateDevice(serialPrinter(std::string(CDevicesList::kMaxLogicalNameBytes, 'x'))),
        DeviceSaveResult::Saved);
    CDevicesList fresh;
    fresh.loadDevices();
    EXPECT_EQ(fresh.isRegistered("a[b;c"), 1);
}

TEST_F(DevicesListTest, FailedWriteLeavesTheListAsTheFileIs) {
    std::filesystem::create_directory(home.file("vembrix.ini"));
    EXPECT_EQ(list.addOrUpdateDevice(serialPrinter("P")), DeviceSaveResult::WriteFailed);
    EXPECT_EQ(list.size(), 0u);
}

TEST_F(DevicesListTest, RemoveDropsTheSectionAndTheRecordOnly) {
    writeIni("[Vembrix]\n[A]\nPortType=2\n; about A\n[B]\nPortType=16\n");
    list.loadDevices();
    EXPECT_EQ(list.removeDevice("A"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\n; about A\n[B]\nPortType=16\n"));
    // A name that is not listed leaves the file alone, even where it has the section.
    writeIni("[Vembrix]\n[B]\n[C]\n");
    EXPECT_EQ(list.removeDevice("C"), 1);
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\n[B]\n[C]\n"));
}

TEST_F(DevicesListTest, CopiesAreIndependentOfTheList) {
    writeIni("[Vembrix]\n[A]\nPortType=2\n");
    list.loadDevices();
    std::vector<CDeviceInfo> copy;
    list.copyDeviceList(copy);
    list.clear();
    ASSERT_EQ(copy.size(), 1u);
    EXPECT_EQ(copy[0].logicalName, "A");
    EXPECT_EQ(list.size(), 0u);
}

TEST(DeviceTypes, NamesAndNumbers) {
    EXPECT_EQ(devicetypes::typeNumberOfName("POSPrinter"), 2);
    EXPECT_EQ(devicetypes::typeNumberOfName("posprinter"), 6);
    EXPECT_EQ(devicetypes::typeNumberOfName("Unknown type"), 0);
    EXPECT_EQ(devicetypes::typeNumberOfName(""), 5);
    EXPECT_EQ(devicetypes::typeNameOfModelType(9), "Unknown type");
    EXPECT_EQ(devicetypes::typeNameOfModelType(10), "LabelPrinter");
    EXPECT_EQ(devicetypes::typeNameOfModelType(29), "POSPrinter");
    EXPECT_EQ(devicetypes::typeNameOfModelType(35), "MobilePrinter");
    EXPECT_EQ(devicetypes::typeNameOfModelType(40), "Relvo");
    EXPECT_EQ(devicetypes::typeNameOfModelType(59), "");
    // Codes past the table do not read outside it.
    EXPECT_EQ(devicetypes::typeNameOfModelType(60), "Unknown type");
    EXPECT_EQ(devicetypes::typeNameOfModelType(-5), "Unknown type");
}

// --- Settings ---------------------------------------------------------------------

class SettingsTest : public ConfigTest {
protected:
    CServiceSettings settings;
};

TEST_F(SettingsTest, FreshRecordAndLoadFromAFileWithoutKeysDifferOnlyInCheckDupReq) {
    ServiceSettingsValues fresh = settings.values();
    EXPECT_EQ(fresh.checkDupReq, 1);
    settings.loadSettings();  // no file at all
    ServiceSettingsValues v = settings.values();
    EXPECT_EQ(v.checkDupReq, 0);
    EXPECT_EQ(v.listenPort, 8080);
    EXPECT_EQ(v.showWindow, 1);
    EXPECT_EQ(v.deviceLog, 0);
    EXPECT_EQ(v.restrictPublic, 1);
    EXPECT_EQ(v.thruPassPort, 8080);
}

TEST_F(SettingsTest, PassThroughAddressAndPortAreReadOnlyInPassThroughMode) {
    writeIni(
        "[Vembrix]\nThruPassMode=2\nThruPassIP=10.0.0.1\nThruPassPort=81\n"
        "RestrictPublic=0\nListenPort=abc\nResponseStatus=3\n");
    settings.loadSettings();
    ServiceSettingsValues v = settings.values();
    EXPECT_EQ(v.thruPassIP, "");
    EXPECT_EQ(v.thruPassPort, 8080);
    EXPECT_EQ(v.restrictPublic, 0);
    EXPECT_EQ(v.listenPort, 8080);  // not a number: the default
    EXPECT_EQ(v.responseStatus, 3);
    writeIni("[Vembrix]\nThruPassMode=1\nThruPassIP=10.0.0.1\nThruPassPort=81\n");
    settings.loadSettings();
    EXPECT_EQ(settings.values().thruPassIP, "10.0.0.1");
    EXPECT_EQ(settings.values().thruPassPort, 81);
}

TEST_F(SettingsTest, SaveWritesFourKeysInOrderAndLeavesTheRestAlone) {
    writeIni("; settings\n[Vembrix]\nRestrictPublic=0 ; open\nListenPort=8080\n[P]\nPortType=2\n");
    settings.loadSettings();
    ASSERT_TRUE(settings.saveSettings(9000, 0, 1, 1));
    EXPECT_EQ(iniBytes(), crlf("; settings\n[Vembrix]\nRestrictPublic=0 ; open\nListenPort=9000\n"
                               "ShowWindow=0\nCheckDupReq=1\nDeviceLog=1\n[P]\nPortType=2\n"));
    ServiceSettingsValues v = settings.values();
    EXPECT_EQ(v.listenPort, 9000);
    EXPECT_EQ(v.showWindow, 0);
    EXPECT_EQ(v.restrictPublic, 0);
}

TEST_F(SettingsTest, SaveThatCannotWriteReportsIt) {
    std::filesystem::create_directory(home.file("vembrix.ini"));
    EXPECT_FALSE(settings.saveSettings(9000, 1, 1, 0));
}

}  // namespace
