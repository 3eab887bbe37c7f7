#include "PortDiscovery.h"

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/UsbPrinters.h"

namespace {

constexpr int kLastDosDevice = 254;

// The names "<prefix>1" to "<prefix>254" whose device is there.
std::vector<std::string> knownDosDevices(const char* prefix) {
    const platform::DosDeviceMap devices = platform::DosDeviceMap::standard();
    std::vector<std::string> names;
    for (int number = 1; number <= kLastDosDevice; ++number) {
        std::string name = prefix + std::to_string(number);
        if (devices.known(name))
            names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

std::vector<std::string> CSystemPortDiscovery::serialPorts() {
    return knownDosDevices("COM");
}

std::vector<std::string> CSystemPortDiscovery::parallelPorts() {
    return knownDosDevices("LPT");
}

std::vector<std::string> CSystemPortDiscovery::usbProductIds() {
    std::vector<std::string> ids;
    for (const platform::UsbPrinter& printer : platform::listUsbPrinters())
        ids.push_back(printer.productId);
    return ids;
}

std::vector<std::string> CSystemPortDiscovery::searchNetworkPrinters() {
    // This build has no broadcast search yet: the address is typed in.
    TraceWrite("CSystemPortDiscovery::searchNetworkPrinters", __LINE__,
               "no network printer search in this build");
    return {};
}
