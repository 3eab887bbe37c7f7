#include "Discovery.h"

#include "NetPrinterSearch.h"
#include "RegistUsb.h"
#include "platform/DosDevices.h"

namespace discovery {
namespace {

constexpr int kLastDosDevice = 254;

std::vector<std::string> knownDosDevices(const char* prefix) {
    platform::DosDeviceMap map = platform::DosDeviceMap::standard();
    std::vector<std::string> names;
    for (int number = 1; number <= kLastDosDevice; ++number) {
        std::string name = prefix + std::to_string(number);
        if (map.known(name))
            names.push_back(name);
    }
    return names;
}

void appendKind(PortList& list, const std::vector<std::string>& names) {
    if (names.empty())
        return;
    if (!list.text.empty())
        list.text += '|';
    for (const std::string& name : names)
        list.text += name + '|';
    list.count += static_cast<int>(names.size());
}

}  // namespace

std::vector<std::string> serialPorts() {
    return knownDosDevices("COM");
}

std::vector<std::string> parallelPorts() {
    return knownDosDevices("LPT");
}

std::vector<std::string> usbPrinterPaths() {
    std::vector<std::string> paths;
    CRegistUsb attached;
    for (const _USB_DEVICE_INFO_& record : attached.records())
        paths.push_back(record.devicePath);
    return paths;
}

std::vector<std::string> networkPrinters() {
    CNetPrinterSearch search;
    search.Search();
    return search.PrinterAddresses();
}

PortList portList(int portTypeMask) {
    PortList list;
    if (portTypeMask & kUsbPorts)
        appendKind(list, usbPrinterPaths());
    if (portTypeMask & kSerialPorts)
        appendKind(list, serialPorts());
    if (portTypeMask & kParallelPorts)
        appendKind(list, parallelPorts());
    if (portTypeMask & kNetworkPorts)
        appendKind(list, networkPrinters());
    return list;
}

}  // namespace discovery
