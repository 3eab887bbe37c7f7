#include "DeviceInfo.h"

#include <algorithm>

namespace {

// One table for both constnesses of the record.
template <typename Device>
auto numberFieldOf(Device& device, std::string_view key) -> decltype(&device.printerType) {
    if (key == "PrinterType")
        return &device.printerType;
    if (key == "PortType")
        return &device.portType;
    if (key == "BaudRate")
        return &device.baudRate;
    if (key == "DataBits")
        return &device.dataBits;
    if (key == "Parity")
        return &device.parity;
    if (key == "StopBits")
        return &device.stopBits;
    if (key == "FlowControl")
        return &device.flowControl;
    if (key == "CheckStatus")
        return &device.checkStatus;
    return nullptr;
}

template <typename Device>
auto textFieldOf(Device& device, std::string_view key) -> decltype(&device.portName) {
    if (key == "Physical")
        return &device.physicalName;
    if (key == "PortName")
        return &device.portName;
    return nullptr;
}

}  // namespace

std::string CDeviceInfo::portText() const {
    std::string text = portName;
    auto add = [&text](int number) { text += ":" + std::to_string(number); };
    if (isNetworkPort()) {
        if (baudRate != kDefaultTcpPort)
            add(baudRate);
    } else if (portType == kPortBluetooth) {
        add(baudRate);
    } else if (portType == kPortSerial) {
        add(baudRate);
        add(dataBits);
        add(parity);
        add(stopBits);
        add(flowControl);
    }
    return text;
}

bool CDeviceInfo::storesKey(std::string_view key) const {
    if (key == "BaudRate")
        return isNetworkPort() || isSerialLike();
    if (key == "DataBits" || key == "Parity" || key == "StopBits" || key == "FlowControl")
        return portType == kPortSerial;
    if (key == "CheckStatus")
        return hasCheckStatus();
    return std::find(kPrinterKeys.begin(), kPrinterKeys.end(), key) != kPrinterKeys.end();
}

std::vector<std::string_view> CDeviceInfo::storedKeys() const {
    std::vector<std::string_view> keys;
    std::copy_if(kPrinterKeys.begin(), kPrinterKeys.end(), std::back_inserter(keys),
                 [this](std::string_view key) { return storesKey(key); });
    return keys;
}

int* CDeviceInfo::numberField(std::string_view key) {
    return numberFieldOf(*this, key);
}

std::string* CDeviceInfo::textField(std::string_view key) {
    return textFieldOf(*this, key);
}

std::string CDeviceInfo::keyText(std::string_view key) const {
    if (const int* number = numberFieldOf(*this, key))
        return std::to_string(*number);
    const std::string* text = textFieldOf(*this, key);
    return text ? *text : std::string();
}
