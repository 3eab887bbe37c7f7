#include "DeviceInfo.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

template <typename Field>
using FieldTable = std::initializer_list<std::pair<std::string_view, Field CDeviceInfo::*>>;

const FieldTable<int> kNumberFields = {
    {"PrinterType", &CDeviceInfo::printerType}, {"PortType", &CDeviceInfo::portType},
    {"BaudRate", &CDeviceInfo::baudRate},       {"DataBits", &CDeviceInfo::dataBits},
    {"Parity", &CDeviceInfo::parity},           {"StopBits", &CDeviceInfo::stopBits},
    {"FlowControl", &CDeviceInfo::flowControl}, {"CheckStatus", &CDeviceInfo::checkStatus}};
const FieldTable<std::string> kTextFields = {{"Physical", &CDeviceInfo::physicalName},
                                             {"PortName", &CDeviceInfo::portName}};

// The member a key names in the table; null when it names none there.
template <typename Field>
Field CDeviceInfo::*memberOf(const FieldTable<Field>& table, std::string_view key) {
    for (const auto& [name, member] : table) {
        if (name == key)
            return member;
    }
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
    auto member = memberOf(kNumberFields, key);
    return member ? &(this->*member) : nullptr;
}

std::string* CDeviceInfo::textField(std::string_view key) {
    auto member = memberOf(kTextFields, key);
    return member ? &(this->*member) : nullptr;
}

std::string CDeviceInfo::keyText(std::string_view key) const {
    if (auto number = memberOf(kNumberFields, key))
        return std::to_string(this->*number);
    auto text = memberOf(kTextFields, key);
    return text ? this->*text : std::string();
}
