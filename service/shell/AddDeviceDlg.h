// The printer dialog's behaviour, without a toolkit: a printer is added or edited, its
// port chosen, test-printed and saved. The view draws state() and forwards every change
// of a control and every button press; message boxes go through the view.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "MessageBoxView.h"

class CDevicesList;
class CPortDiscovery;
class CPrinterActions;

// Everything the dialog shows. Numbers that a combo box holds are the index of its
// selection (-1: none).
struct AddDeviceDlgState {
    std::string title;
    int printerType = 0;  // index into printerTypes()
    std::string logicalName;
    std::string deviceName;
    bool checkStatus = false;
    bool checkStatusShown = true;
    int portChoice = kPortUsb;  // the checked radio button: 16, 32, 2, 4 or 64

    // The port row: a combo box, or for Network the address field and Search (the
    // combo box takes the address field's place once a search found printers).
    bool portLabelShown = true;
    bool portsShown = true;
    std::vector<std::string> ports;
    int port = -1;
    bool ipLabelShown = false;
    bool addressShown = false;
    bool searchShown = false;
    std::string address;

    // The second row: the baud rate, or the TCP port for Network.
    std::string secondCaption;
    bool baudRateShown = true;
    std::vector<std::string> baudRates;
    int baudRate = -1;
    bool tcpPortShown = false;
    std::string tcpPort = "9100";

    bool baudRateEnabled = false;
    bool serialSettingsEnabled = false;  // data bits, parity, stop bits, flow control
    std::vector<std::string> dataBitsItems;
    int dataBits = -1;
    int parity = 0;
    int stopBits = 0;
    int flowControl = 0;
};

class CAddDeviceDlg {
public:
    static constexpr const char* kAddTitle = "Add Printer";
    static constexpr const char* kEditTitle = "Printer setting";

    // The dialog at its first display: adding a printer, or editing the printer named
    // `editedName`.
    CAddDeviceDlg(CDevicesList& devices, CPortDiscovery& discovery, CPrinterActions& printers,
                  std::optional<std::string> editedName = std::nullopt);

    // Where message boxes go; before any action.
    void attach(CMessageBoxView& view) { m_view = &view; }
    const AddDeviceDlgState& state() const { return m_state; }

    // The fixed combo contents.
    static const std::vector<std::string>& printerTypes();
    static const std::vector<std::string>& parities();
    static const std::vector<std::string>& stopBitsItems();
    static const std::vector<std::string>& flowControls();

    void choosePrinterType(int index);
    void setLogicalName(const std::string& text);
    void setDeviceName(const std::string& text);
    void setCheckStatus(bool on);
    // A radio button: 16 USB, 32 Serial, 2 Network, 4 Bluetooth, 64 LPT.
    void choosePortType(int portType);
    void choosePort(int index);
    void setAddress(const std::string& text);
    void setTcpPort(const std::string& text);
    void chooseBaudRate(int index);
    void chooseDataBits(int index);
    void chooseParity(int index);
    void chooseStopBits(int index);
    void chooseFlowControl(int index);

    // Save: true when the dialog ends with OK.
    bool save();
    void testPrint();
    void search();

private:
    void load(const std::string& logicalName);
    void layOut();
    // Selects the entry of the stored port (USB: of the device name) in the port list,
    // or falls back to Serial when no USB printer is there.
    void fillPorts();
    // The USB printers as the dialog lists them: model names, or "3f1c&<product id>".
    std::vector<std::string> usbEntries() const;
    void applyUsbSelection();
    static void selectNumber(std::vector<std::string> items, int value,
                             std::vector<std::string>& shown, int& selected);
    // The user's choice in a number combo: its index, and the number its item shows.
    static void chooseNumber(const std::vector<std::string>& items, int index, int& selected,
                             int& value);
    CDeviceInfo record() const;
    bool tcpPortValid() const;
    // Stores the dialog's printer in the list and the file; false once the user knows
    // why it could not be.
    bool store();
    void say(const std::string& text) const;

    CDevicesList& m_devices;
    CPortDiscovery& m_discovery;
    CPrinterActions& m_printers;
    CMessageBoxView* m_view = nullptr;
    const bool m_editing;
    CDeviceInfo m_loaded;       // the edited printer as the dialog found it
    int m_portType = kPortUsb;  // as stored: a wireless printer stays one
    std::string m_portName;     // the port to select when the list is filled
    int m_baudRate = kDefaultBaudRate;
    int m_dataBits = 8;
    int m_checkStatus = 0;
    bool m_initialised = false;
    AddDeviceDlgState m_state;
};
