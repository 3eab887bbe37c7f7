// One configured printer: the section of "vembrix.ini" named by its logical name.
#pragma once

#include <string>

// Port types, the bit values the port library uses as well.
inline constexpr int kPortWirelessNetwork = 1;
inline constexpr int kPortWiredNetwork = 2;
inline constexpr int kPortBluetooth = 4;
inline constexpr int kPortUsb = 16;
inline constexpr int kPortSerial = 32;
inline constexpr int kPortParallel = 64;

inline constexpr int kDefaultTcpPort = 9100;
inline constexpr int kDefaultBaudRate = 9600;

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
