#include "AddDeviceDlg.h"

#include <algorithm>
#include <cstdio>

#include "DeviceTypes.h"
#include "DevicesList.h"
#include "INIHelper.h"
#include "ModelTable.h"
#include "NumberField.h"
#include "PortDiscovery.h"
#include "PrinterActions.h"
#include "platform/Text.h"

namespace {

constexpr const char* kLogicalNamePattern = "Printer%d";
constexpr const char* kUsbPortName = "USB";
constexpr const char* kUnknownUsbVendor = "3f1c";

const std::vector<std::string> kBaudRates = {"9600", "19200", "38400", "57600", "115200"};
const std::vector<std::string> kDataBits = {"5", "6", "7", "8"};

bool beginsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           platform::equalsIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()),
                                             prefix);
}

// The entry that is the text, else the first that begins with it (letter case ignored
// both times: COM1 is not taken for COM12), else the first entry; -1 when there is none.
int selectEntry(const std::vector<std::string>& entries, const std::string& text) {
    auto match = std::find_if(entries.begin(), entries.end(), [&](const std::string& entry) {
        return platform::equalsIgnoringAsciiCase(entry, text);
    });
    if (match == entries.end())
        match = std::find_if(entries.begin(), entries.end(), [&](const std::string& entry) {
            return beginsWithIgnoringCase(entry, text);
        });
    if (match != entries.end())
        return static_cast<int>(match - entries.begin());
    return entries.empty() ? -1 : 0;
}

// The radio button a stored port type checks: both network kinds show Network, and an
// unknown kind leaves USB, the first choice.
int radioOf(int portType) {
    switch (portType) {
        case kPortWirelessNetwork:
            return kPortWiredNetwork;
        case kPortWiredNetwork:
        case kPortBluetooth:
        case kPortSerial:
        case kPortParallel:
            return portType;
        default:
            return kPortUsb;
    }
}

// Port types that choose from the same list of ports.
int listKind(int portType) {
    return portType == kPortBluetooth ? kPortSerial : radioOf(portType);
}

}  // namespace

CAddDeviceDlg::CAddDeviceDlg(CDevicesList& devices, CPortDiscovery& discovery,
                             CPrinterActions& printers, std::optional<std::string> editedName)
    : m_devices(devices),
      m_discovery(discovery),
      m_printers(printers),
      m_editing(editedName.has_value()) {
    m_state.title = m_editing ? kEditTitle : kAddTitle;
    int number = 1;
    char name[32];
    do {
        std::snprintf(name, sizeof name, kLogicalNamePattern, number++);
    } while (m_devices.isRegistered(name));
    m_state.logicalName = name;
    if (m_editing)
        load(*editedName);
    layOut();
    m_initialised = true;
}

const std::vector<std::string>& CAddDeviceDlg::printerTypes() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (int type = devicetypes::kUnknownType; type <= devicetypes::kRelvo; ++type)
            list.push_back(devicetypes::typeName(type));
        return list;
    }();
    return names;
}

const std::vector<std::string>& CAddDeviceDlg::parities() {
    static const std::vector<std::string> items = {"NONE", "ODD", "EVEN"};
    return items;
}

const std::vector<std::string>& CAddDeviceDlg::stopBitsItems() {
    static const std::vector<std::string> items = {"1", "1.5", "2"};
    return items;
}

const std::vector<std::string>& CAddDeviceDlg::flowControls() {
    static const std::vector<std::string> items = {"DTR/DSR", "Xon/Xoff", "None"};
    return items;
}

void CAddDeviceDlg::load(const std::string& logicalName) {
    m_state.logicalName = logicalName;
    if (!m_devices.getDeviceInfo(logicalName, m_loaded))
        return;  // gone meanwhile: the dialog offers it afresh under its name
    const CDeviceInfo& d = m_loaded;
    const bool knownType =
        d.printerType >= devicetypes::kUnknownType && d.printerType <= devicetypes::kRelvo;
    m_state.printerType = knownType ? d.printerType : devicetypes::kUnknownType;
    m_state.deviceName = d.physicalName;
    m_checkStatus = d.checkStatus;
    m_state.checkStatus = d.checkStatus != 0;
    m_state.portChoice = radioOf(d.portType);
    m_portType = d.portType == kPortWirelessNetwork ? d.portType : m_state.portChoice;
    m_portName = d.portName;
    if (d.isNetworkPort()) {
        m_state.address = d.portName;
        m_state.tcpPort = std::to_string(d.baudRate);
    } else {
        m_baudRate = d.baudRate;
        m_dataBits = d.dataBits;
        m_state.parity = d.parity;
        m_state.stopBits = d.stopBits;
        m_state.flowControl = d.flowControl;
    }
}

void CAddDeviceDlg::layOut() {
    AddDeviceDlgState& s = m_state;
    s.secondCaption = "BaudRate :";
    s.portLabelShown = s.portsShown = s.baudRateShown = true;
    s.ipLabelShown = s.addressShown = s.searchShown = s.tcpPortShown = false;
    s.baudRateEnabled = s.serialSettingsEnabled = false;
    s.checkStatusShown = true;
    s.ports.clear();
    s.port = -1;
    selectNumber(kBaudRates, m_baudRate, s.baudRates, s.baudRate);
    selectNumber(kDataBits, m_dataBits, s.dataBitsItems, s.dataBits);

    switch (s.portChoice) {
        case kPortWiredNetwork:
            s.secondCaption = "TCP port :";
            s.portLabelShown = s.portsShown = s.baudRateShown = false;
            s.ipLabelShown = s.addressShown = s.searchShown = s.tcpPortShown = true;
            return;
        case kPortBluetooth:
        case kPortSerial:
            s.baudRateEnabled = true;
            s.serialSettingsEnabled = s.portChoice == kPortSerial;
            s.ports = m_discovery.serialPorts();
            break;
        case kPortParallel:
            s.ports = m_discovery.parallelPorts();
            break;
        case kPortUsb:
            s.ports = usbEntries();
            break;
    }
    fillPorts();
}

void CAddDeviceDlg::fillPorts() {
    AddDeviceDlgState& s = m_state;
    const bool usb = s.portChoice == kPortUsb;
    // A printer keeps the port it was configured with while the system does not list it
    // (unplugged for now, or a device named on the command line): saving the dialog must
    // not move it to another port.
    const std::string& configured = usb ? m_loaded.physicalName : m_loaded.portName;
    if (m_editing && listKind(m_loaded.portType) == listKind(s.portChoice) && !configured.empty() &&
        std::find(s.ports.begin(), s.ports.end(), configured) == s.ports.end())
        s.ports.push_back(configured);

    if (usb && s.ports.empty()) {
        if (m_initialised)
            say("No printers connected");
        s.portChoice = m_portType = kPortSerial;
        layOut();
        return;
    }
    s.port = selectEntry(s.ports, usb ? s.deviceName : m_portName);
    if (usb)
        applyUsbSelection();
}

std::vector<std::string> CAddDeviceDlg::usbEntries() const {
    std::vector<std::string> entries;
    for (const std::string& productId : m_discovery.usbProductIds()) {
        std::string model = modeltable::modelName(productId);
        entries.push_back(model.empty() ? std::string(kUnknownUsbVendor) + "&" + productId : model);
    }
    return entries;
}

void CAddDeviceDlg::applyUsbSelection() {
    AddDeviceDlgState& s = m_state;
    if (s.port < 0 || s.port >= static_cast<int>(s.ports.size()))
        return;
    const std::string& entry = s.ports[static_cast<size_t>(s.port)];
    const int type = modeltable::printerType(entry);
    const bool known = type >= devicetypes::kLabelPrinter && type <= devicetypes::kRelvo;
    s.printerType = known ? type : devicetypes::kUnknownType;
    s.checkStatusShown = false;
    s.deviceName = entry;
}

// A number combo shows its fixed items and selects the first that begins with the
// value; a value none begins with is shown as one more item, so that it is kept.
void CAddDeviceDlg::selectNumber(std::vector<std::string> items, int value,
                                 std::vector<std::string>& shown, int& selected) {
    const std::string text = std::to_string(value);
    auto match = std::find_if(items.begin(), items.end(),
                              [&](const std::string& item) { return item.starts_with(text); });
    if (match == items.end()) {
        items.push_back(text);
        match = items.end() - 1;
    }
    selected = static_cast<int>(match - items.begin());
    shown = std::move(items);
}

void CAddDeviceDlg::choosePrinterType(int index) {
    m_state.printerType = index;
}

void CAddDeviceDlg::setLogicalName(const std::string& text) {
    m_state.logicalName = text;
}

void CAddDeviceDlg::setDeviceName(const std::string& text) {
    m_state.deviceName = text;
}

void CAddDeviceDlg::setCheckStatus(bool on) {
    m_state.checkStatus = on;
    // A printer watched with a status mask of its own keeps it.
    m_checkStatus = on ? std::max(m_loaded.checkStatus, 1) : 0;
}

void CAddDeviceDlg::choosePortType(int portType) {
    const bool keepsWireless = portType == kPortWiredNetwork && m_portType == kPortWirelessNetwork;
    m_state.portChoice = radioOf(portType);
    if (!keepsWireless)
        m_portType = m_state.portChoice;
    layOut();
}

void CAddDeviceDlg::choosePort(int index) {
    AddDeviceDlgState& s = m_state;
    if (index < 0 || index >= static_cast<int>(s.ports.size()))
        return;
    s.port = index;
    if (s.portChoice == kPortUsb)
        applyUsbSelection();
    else if (s.portChoice != kPortWiredNetwork)
        m_portName = s.ports[static_cast<size_t>(index)];
}

void CAddDeviceDlg::setAddress(const std::string& text) {
    m_state.address = text;
}

void CAddDeviceDlg::setTcpPort(const std::string& text) {
    m_state.tcpPort = text;
}

void CAddDeviceDlg::chooseBaudRate(int index) {
    chooseNumber(m_state.baudRates, index, m_state.baudRate, m_baudRate);
}

void CAddDeviceDlg::chooseDataBits(int index) {
    chooseNumber(m_state.dataBitsItems, index, m_state.dataBits, m_dataBits);
}

void CAddDeviceDlg::chooseNumber(const std::vector<std::string>& items, int index, int& selected,
                                 int& value) {
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    selected = index;
    value = numberfield::parse(items[static_cast<size_t>(index)]).value_or(value);
}

void CAddDeviceDlg::chooseParity(int index) {
    m_state.parity = index;
}

void CAddDeviceDlg::chooseStopBits(int index) {
    m_state.stopBits = index;
}

void CAddDeviceDlg::chooseFlowControl(int index) {
    m_state.flowControl = index;
}

CDeviceInfo CAddDeviceDlg::record() const {
    const AddDeviceDlgState& s = m_state;
    CDeviceInfo device;
    device.printerType = s.printerType;
    device.physicalName = s.deviceName;
    device.logicalName = s.logicalName;
    device.checkStatus = m_checkStatus;
    device.portType = m_portType;
    const bool portChosen = s.port >= 0 && s.port < static_cast<int>(s.ports.size());
    const std::string chosenPort = portChosen ? s.ports[static_cast<size_t>(s.port)] : "";
    switch (s.portChoice) {
        case kPortWiredNetwork:
            // A search's result list, when there is one, replaces the address field.
            device.portName = portChosen ? chosenPort : s.address;
            device.baudRate = numberfield::parse(s.tcpPort).value_or(0);
            break;
        case kPortSerial:
            device.dataBits = m_dataBits;
            device.parity = s.parity;
            device.stopBits = s.stopBits;
            device.flowControl = s.flowControl;
            [[fallthrough]];
        case kPortBluetooth:
            device.portName = chosenPort;
            device.baudRate = m_baudRate;
            break;
        case kPortUsb:
            device.portName = kUsbPortName;
            break;
        default:
            device.portName = chosenPort;
            break;
    }
    return device;
}

bool CAddDeviceDlg::tcpPortValid() const {
    if (m_state.portChoice != kPortWiredNetwork)
        return true;
    if (numberfield::parsePort(m_state.tcpPort))
        return true;
    say(numberfield::kPortRangeMessage);
    return false;
}

bool CAddDeviceDlg::store() {
    const CDeviceInfo device = record();
    switch (m_devices.addOrUpdateDevice(device)) {
        case DeviceSaveResult::Saved:
            return true;
        case DeviceSaveResult::UnusableName:
            say("'" + device.logicalName + "' cannot be a logical name.");
            return false;
        case DeviceSaveResult::UnstorableValue:
            say("A name of this printer holds a line end or a double quote and cannot be stored.");
            return false;
        case DeviceSaveResult::WriteFailed:
            break;
    }
    say("The printer could not be saved: " + CINIHelper::LastError());
    return false;
}

bool CAddDeviceDlg::save() {
    if (!tcpPortValid() || !store())
        return false;
    const std::string& deviceName = m_state.deviceName;
    if (deviceName.find_first_not_of(' ') != std::string::npos)
        return true;
    std::string reported;
    if (!m_printers.readPrinterName(m_state.logicalName, m_state.printerType, reported))
        return true;
    m_state.deviceName = reported;
    return store();
}

void CAddDeviceDlg::testPrint() {
    if (!tcpPortValid())
        return;
    const std::string name = m_state.logicalName;
    const int type = m_state.printerType;
    CDeviceInfo configured;
    const bool wasConfigured =
        m_devices.isRegistered(name) && m_devices.getDeviceInfo(name, configured);
    if (!store())
        return;
    const bool printed = m_printers.printTestPage(name, type);
    // The test print borrowed the logical name: a printer configured under it gets its
    // own settings back, whatever button follows.
    const bool restored = wasConfigured
                              ? m_devices.addOrUpdateDevice(configured) == DeviceSaveResult::Saved
                              : m_devices.removeDevice(name) == 1;
    if (!restored)
        say("The printer list could not be restored after the test print: " +
            CINIHelper::LastError());
    if (!printed)
        say(type == devicetypes::kUnknownType ? "Unknown printer type."
                                              : "Cannot connect to printer.");
}

void CAddDeviceDlg::search() {
    std::vector<std::string> found = m_discovery.searchNetworkPrinters();
    if (found.empty()) {
        say("No printers found on the local networks.");
        return;
    }
    m_state.ports = std::move(found);
    m_state.port = 0;
    m_state.portsShown = true;
    m_state.addressShown = false;
}

void CAddDeviceDlg::say(const std::string& text) const {
    if (m_view)
        m_view->showMessageBox(text);
}
