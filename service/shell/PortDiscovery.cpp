#include "PortDiscovery.h"

#include "Discovery.h"
#include "RegistUsb.h"

std::vector<std::string> CSystemPortDiscovery::serialPorts() {
    return discovery::serialPorts();
}

std::vector<std::string> CSystemPortDiscovery::parallelPorts() {
    return discovery::parallelPorts();
}

std::vector<std::string> CSystemPortDiscovery::usbProductIds() {
    const CRegistUsb attached;
    std::vector<std::string> ids;
    for (const _USB_DEVICE_INFO_& printer : attached.records())
        ids.push_back(printer.productId);
    return ids;
}

std::vector<std::string> CSystemPortDiscovery::searchNetworkPrinters() {
    return discovery::networkPrinters();
}
