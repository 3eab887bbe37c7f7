// One configured printer: the section of "vembrix.ini" named by its logical name.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// Port types, the bit values the port library uses as well.
inline constexpr int kPortWirelessNetwork = 1;
inline constexpr int kPortWiredNetwork = 2;
inline constexpr int kPortBluetooth = 4;
inline constexpr int kPortUsb = 16;
inline constexpr int kPortSerial = 32;
inline constexpr int kPortParallel = 64;

inline constexpr int kDefaultTcpPort = 9100;
inline constexpr int kDefaultBaudRate = 9600;

// The keys of a printer's section, in the order a save writes them.
inline constexpr std::array<std::string_view, 10> kPrinterKeys = {
    "PrinterType", "Physical", "PortType", "PortName",    "BaudRate",
    "DataBits",    "Parity",   "StopBits", "FlowControl", "CheckStatus"};

class CDeviceInfo {
public:
    CDeviceInfo() = default;
    CDeviceInfo(const CDeviceInfo&) = default;
    CDeviceInfo& operator=(const CDeviceInfo&) = default;
    virtual ~CDeviceInfo() = default;

    // The port name with the settings the printer libraries open it with:
    // "192.168.0.20:6101", "COM1:9600:8:0:0:0".
    std::string portText() const;

    bool isNetworkPort() const {
        return portType == kPortWirelessNetwork || portType == kPortWiredNetwork;
    }
    bool isSerialLike() const { return portType == kPortBluetooth || portType == kPortSerial; }
    // Only the POS printer controller's types watch their status.
    bool hasCheckStatus() const { return printerType >= 2 && printerType <= 4; }

    // Whether the section keeps the key for this printer's printer and port types; a
    // key it does not keep is neither written nor read (a USB printer has no baud rate).
    bool storesKey(std::string_view key) const;
    // The kept keys, in the order a save writes them.
    std::vector<std::string_view> storedKeys() const;
    // The field behind a key; null when the key names a field of the other kind, or
    // none.
    int* numberField(std::string_view key);
    std::string* textField(std::string_view key);
    // The key's value as the file holds it.
    std::string keyText(std::string_view key) const;

    int printerType = 0;
    std::string physicalName;
    std::string logicalName;
    int checkStatus = 0;
    int portType = 0;
    std::string portName;
    int baudRate = kDefaultBaudRate;  // the TCP port for network ports
    int dataBits = 8;
    int parity = 0;
    int stopBits = 0;
    int flowControl = 0;
};
