// The printer dialog's behaviour on a real printer list in a private home: the name it
// offers, the port-type layouts, the USB rule, what Save stores, and a test print that
// borrows a configured printer's name.
#include "AddDeviceDlg.h"

#include <gtest/gtest.h>

#include "PresenterFakes.h"
#include "TempHome.h"

namespace {

using Lines = std::vector<std::string>;

// A printer as a test compares it: everything the file keeps for it.
std::string describe(const CDeviceInfo& d) {
    return d.logicalName + " type=" + std::to_string(d.printerType) +
           " port=" + std::to_string(d.portType) + " " + d.portText() + " name=" + d.physicalName +
           " check=" + std::to_string(d.checkStatus);
}

class AddDeviceDlgTest : public ::testing::Test {
protected:
    // A file with a single printer section reads as no printers at all.
    AddDeviceDlgTest() { home.writeFile("vembrix.ini", "[Vembrix]\r\n"); }
    void configure(const CDeviceInfo& device) {
        ASSERT_EQ(devices.addOrUpdateDevice(device), DeviceSaveResult::Saved);
    }
    std::unique_ptr<CAddDeviceDlg> open(std::optional<std::string> edited = std::nullopt) {
        auto dialog = std::make_unique<CAddDeviceDlg>(devices, discovery, printers, edited);
        dialog->attach(messages);
        return dialog;
    }
    // The printer as the file holds it now.
    std::string stored(const std::string& name) {
        CDevicesList reread;
        reread.loadDevices();
        CDeviceInfo device;
        return reread.getDeviceInfo(name, device) ? describe(device) : "(none)";
    }

    TempHome home;
    CDevicesList devices;
    FakeDiscovery discovery;
    FakePrinters printers;
    RecordingMessages messages;
};

TEST_F(AddDeviceDlgTest, OffersTheFirstPrinterNumberNoConfiguredPrinterUses) {
    struct Case {
        Lines configured;
        const char* offered;
    };
    const Case cases[] = {{{}, "Printer1"},
                          {{"Printer1", "Printer2"}, "Printer3"},
                          {{"Printer2"}, "Printer1"},
                          {{"Printer1", "Printer3"}, "Printer2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered);
        devices.clear();
        for (const std::string& name : c.configured)
            devices.addOrUpdateDevice(networkPrinter(name, 2));
        EXPECT_EQ(open()->state().logicalName, c.offered);
    }
}

TEST_F(AddDeviceDlgTest, EachPortTypeShowsItsOwnControlsAndPorts) {
    discovery.usb = {"0101"};
    struct Case {
        int portType;
        Lines ports;
        std::string secondCaption;
        bool baudRateShown, tcpPortShown, addressShown, baudRateEnabled, serialSettingsEnabled;
    };
    const Case cases[] = {
        // Network: address and TCP port 9100 instead of the port list and the serial line.
        {kPortWiredNetwork, {}, "TCP port :", false, true, true, false, false},
        {kPortSerial, {"COM1", "COM2"}, "BaudRate :", true, false, false, true, true},
        {kPortBluetooth, {"COM1", "COM2"}, "BaudRate :", true, false, false, true, false},
        {kPortParallel, {"LPT1"}, "BaudRate :", true, false, false, false, false},
        {kPortUsb, {"Varo-L40"}, "BaudRate :", true, false, false, false, false},
    };
    auto dialog = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.portType);
        dialog->choosePortType(c.portType);
        const AddDeviceDlgState& s = dialog->state();
        EXPECT_EQ(s.portChoice, c.portType);
        EXPECT_EQ(s.secondCaption, c.secondCaption);
        EXPECT_EQ(s.portsShown, !c.addressShown);
        EXPECT_EQ(s.ports, c.ports);
        EXPECT_EQ(s.port, c.ports.empty() ? -1 : 0);
        EXPECT_EQ(s.baudRateShown, c.baudRateShown);
        EXPECT_EQ(s.tcpPortShown, c.tcpPortShown);
        EXPECT_EQ(s.addressShown, c.addressShown);
        EXPECT_EQ(s.searchShown, c.addressShown);
        EXPECT_EQ(s.baudRateEnabled, c.baudRateEnabled);
        EXPECT_EQ(s.serialSettingsEnabled, c.serialSettingsEnabled);
        if (c.tcpPortShown) {
            EXPECT_EQ(s.tcpPort, "9100");
        }
        // Only a USB printer has no check-status box: a serial POS printer must keep it.
        EXPECT_EQ(s.checkStatusShown, c.portType != kPortUsb);
    }
    EXPECT_EQ(messages.messages, Lines{});
}

TEST_F(AddDeviceDlgTest, UsbWithoutPrintersFallsBackToSerialAndSaysSoExceptAtFirstDisplay) {
    auto dialog = open();
    EXPECT_EQ(dialog->state().portChoice, kPortSerial);
    EXPECT_EQ(messages.messages, Lines{});

    dialog->choosePortType(kPortUsb);
    EXPECT_EQ(dialog->state().portChoice, kPortSerial);
    EXPECT_EQ(dialog->state().ports, (Lines{"COM1", "COM2"}));
    EXPECT_EQ(messages.messages, Lines{"No printers connected"});
}

TEST_F(AddDeviceDlgTest, UsbEntriesNameTheModelAndChooseItsPrinterType) {
    discovery.usb = {"0101", "beef", "0020"};
    auto dialog = open();
    const AddDeviceDlgState& s = dialog->state();
    ASSERT_EQ(s.portChoice, kPortUsb);
    // A product the model table does not know keeps its vendor and product ids.
    ASSERT_EQ(s.ports.size(), 3u);
    EXPECT_EQ(s.ports[0], "Varo-L40");
    EXPECT_EQ(s.ports[1], "3f1c&beef");
    EXPECT_EQ(s.printerType, 1);
    EXPECT_EQ(s.deviceName, "Varo-L40");
    EXPECT_FALSE(s.checkStatusShown);

    dialog->choosePort(1);
    EXPECT_EQ(s.printerType, 0);  // "Unknown type"
    EXPECT_EQ(s.deviceName, "3f1c&beef");
    dialog->choosePort(2);
    EXPECT_EQ(s.printerType, 2);
    EXPECT_EQ(s.deviceName, s.ports[2]);
}

// Opening a configured printer and saving it unchanged must store it as it was, also
// when its port is not among those the system lists now.
TEST_F(AddDeviceDlgTest, EditingAndSavingUnchangedKeepsEveryPrinterAsItWas) {
    discovery.usb = {"0020"};
    discovery.serial = {"COM2", "COM12"};
    printers.reachable = false;  // an empty name stays empty
    CDeviceInfo wireless = networkPrinter("Wireless", 3, 9100);
    wireless.portType = kPortWirelessNetwork;
    CDeviceInfo watched = networkPrinter("Watched", 2);
    watched.checkStatus = 7;
    const CDeviceInfo printers[] = {
        networkPrinter("Till", 2, 6101),
        wireless,
        watched,
        serialPrinter("Serial", "COM2", 19200),
        // Unplugged adapter, a device named on the command line, a rate off the list.
        serialPrinter("Unplugged", "COM9", 4800),
        serialPrinter("Pty", "/dev/pts/3", 9600),
        serialPrinter("Prefix", "COM1", 9600),  // not COM12
        usbPrinter("Attached", "Varo-P30", 2),
        usbPrinter("Unplugged USB", "Varo-L40", 1),
    };
    for (const CDeviceInfo& printer : printers) {
        SCOPED_TRACE(printer.logicalName);
        configure(printer);
        const std::string before = stored(printer.logicalName);
        auto dialog = open(printer.logicalName);
        EXPECT_EQ(dialog->state().title, "Printer setting");
        EXPECT_TRUE(dialog->save());
        EXPECT_EQ(stored(printer.logicalName), before);
    }
    EXPECT_EQ(messages.messages, Lines{});
}

TEST_F(AddDeviceDlgTest, SaveStoresWhatEachPortTypeShows) {
    struct Case {
        const char* name;
        std::function<void(CAddDeviceDlg&)> fill;
        std::string stored;
    };
    const Case cases[] = {
        {"Net",
         [](CAddDeviceDlg& d) {
             d.choosePortType(kPortWiredNetwork);
             d.setAddress("10.1.2.3");
             d.setTcpPort(" 6101 ");
         },
         "Net type=2 port=2 10.1.2.3:6101 name=Named check=0"},
        {"Serial",
         [](CAddDeviceDlg& d) {
             d.choosePortType(kPortSerial);
             d.choosePort(1);
             d.chooseBaudRate(4);
             d.chooseDataBits(2);
             d.chooseParity(1);
             d.chooseStopBits(2);
             d.chooseFlowControl(2);
             d.setCheckStatus(true);
         },
         "Serial type=2 port=32 COM2:115200:7:1:2:2 name=Named check=1"},
        {"Blue",
         [](CAddDeviceDlg& d) {
             d.choosePortType(kPortBluetooth);
             d.chooseBaudRate(1);
         },
         "Blue type=2 port=4 COM1:19200 name=Named check=0"},
        {"Lpt", [](CAddDeviceDlg& d) { d.choosePortType(kPortParallel); },
         "Lpt type=2 port=64 LPT1 name=Named check=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dialog = open();
        dialog->setLogicalName(c.name);
        dialog->setDeviceName("Named");
        dialog->choosePrinterType(2);
        c.fill(*dialog);
        EXPECT_TRUE(dialog->save());
        EXPECT_EQ(stored(c.name), c.stored);
    }
    EXPECT_EQ(printers.nameQuestions, 0);  // every printer had its name
}

TEST_F(AddDeviceDlgTest, SaveAsksThePrinterForAnEmptyDeviceName) {
    for (const char* typed : {"", "   "}) {
        SCOPED_TRACE(std::string("'") + typed + "'");
        auto dialog = open();
        dialog->choosePortType(kPortWiredNetwork);
        dialog->setAddress("127.0.0.1");
        dialog->choosePrinterType(2);
        dialog->setDeviceName(typed);
        EXPECT_TRUE(dialog->save());
        EXPECT_EQ(dialog->state().deviceName, "VPRINTER-M1");
        EXPECT_EQ(stored("Printer1"), "Printer1 type=2 port=2 127.0.0.1 name=VPRINTER-M1 check=0");
        devices.removeDevice("Printer1");
    }
    // A printer that does not answer leaves the name empty; the printer is saved all the same.
    printers.reachable = false;
    auto dialog = open();
    EXPECT_TRUE(dialog->save());
    EXPECT_EQ(dialog->state().deviceName, "");
    EXPECT_EQ(devices.isRegistered("Printer1"), 1);
}

TEST_F(AddDeviceDlgTest, SaveRefusesWhatCannotBeStoredAndStaysOpen) {
    struct Case {
        const char* logicalName;
        const char* tcpPort;
        const char* message;
    };
    const Case cases[] = {
        {"Till", "0", "Please enter an integer between 1 and 65535."},
        {"Till", "65536", "Please enter an integer between 1 and 65535."},
        {"Till", "91x", "Please enter an integer between 1 and 65535."},
        {"Vembrix", "9100", "'Vembrix' cannot be a logical name."},
        {"", "9100", "'' cannot be a logical name."},
        {"a]b", "9100", "'a]b' cannot be a logical name."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        messages.messages.clear();
        auto dialog = open();
        dialog->choosePortType(kPortWiredNetwork);
        dialog->setLogicalName(c.logicalName);
        dialog->setTcpPort(c.tcpPort);
        dialog->setDeviceName("x");
        EXPECT_FALSE(dialog->save());
        EXPECT_EQ(messages.messages, Lines{c.message});
        EXPECT_EQ(devices.size(), 0u);
    }
}

// The test print stores the dialog's printer under its logical name for the bridges,
// then gives the name back: a configured printer as it was, a new one not at all.
TEST_F(AddDeviceDlgTest, TestPrintBorrowsTheLogicalNameAndGivesItBack) {
    configure(networkPrinter("Till", 2, 6101));
    const std::string till = stored("Till");
    std::string seen;
    printers.whilePrinting = [&](const std::string& name) { seen = stored(name); };

    auto edit = open("Till");
    edit->choosePortType(kPortSerial);
    edit->testPrint();
    EXPECT_EQ(seen, "Till type=2 port=32 COM1:9600:8:0:0:0 name= check=0");
    EXPECT_EQ(stored("Till"), till);
    EXPECT_EQ(devices.size(), 1u);

    auto add = open();
    add->choosePortType(kPortWiredNetwork);
    add->setAddress("127.0.0.1");
    add->choosePrinterType(1);
    add->testPrint();
    EXPECT_EQ(seen, "Printer1 type=1 port=2 127.0.0.1 name= check=0");
    EXPECT_EQ(devices.isRegistered("Printer1"), 0);
    EXPECT_EQ(stored("Printer1"), "(none)");
    EXPECT_EQ(printers.printed, (Lines{"Till/2", "Printer1/1"}));
    EXPECT_EQ(messages.messages, Lines{});
}

TEST_F(AddDeviceDlgTest, FailedTestPrintSaysWhyByPrinterType) {
    struct Case {
        int type;
        bool reachable;
        Lines messages;
    };
    const Case cases[] = {{0, true, {"Unknown printer type."}},
                          {2, false, {"Cannot connect to printer."}},
                          {1, false, {"Cannot connect to printer."}},
                          {3, true, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        messages.messages.clear();
        printers.reachable = c.reachable;
        auto dialog = open();
        dialog->choosePortType(kPortWiredNetwork);
        dialog->choosePrinterType(c.type);
        dialog->testPrint();
        EXPECT_EQ(messages.messages, c.messages);
    }
}

TEST_F(AddDeviceDlgTest, SearchResultsReplaceTheAddressFieldUntilThePortTypeChanges) {
    auto dialog = open();
    dialog->choosePortType(kPortWiredNetwork);
    dialog->setAddress("10.0.0.9");
    dialog->search();
    EXPECT_EQ(messages.messages, Lines{"No printers found on the local networks."});
    EXPECT_TRUE(dialog->state().addressShown);

    discovery.network = {"192.168.1.30", "192.168.1.31"};
    dialog->search();
    const AddDeviceDlgState& s = dialog->state();
    EXPECT_EQ(s.ports, discovery.network);
    EXPECT_TRUE(s.portsShown);
    EXPECT_FALSE(s.addressShown);
    EXPECT_TRUE(s.ipLabelShown);
    dialog->choosePort(1);
    dialog->setDeviceName("x");
    EXPECT_TRUE(dialog->save());
    EXPECT_EQ(stored("Printer1"), "Printer1 type=0 port=2 192.168.1.31 name=x check=0");

    dialog->choosePortType(kPortWiredNetwork);
    EXPECT_TRUE(s.addressShown);
    EXPECT_EQ(s.address, "10.0.0.9");
}

}  // namespace
