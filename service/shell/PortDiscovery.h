// The ports and printers the printer dialog offers: this computer's serial and
// parallel ports, the USB printers attached to it, and the network printers a search
// finds. The dialog takes the interface; CSystemPortDiscovery asks the system.
#pragma once

#include <string>
#include <vector>

class CPortDiscovery {
public:
    virtual ~CPortDiscovery() = default;
    // DOS device names, in number order: "COM1", "COM3", ...
    virtual std::vector<std::string> serialPorts() = 0;
    // "LPT1", ...
    virtual std::vector<std::string> parallelPorts() = 0;
    // One entry per attached USB printer: its product identifier, four lower-case
    // hexadecimal digits.
    virtual std::vector<std::string> usbProductIds() = 0;
    // Addresses of the printers that answered a search of the local networks, in the
    // order they answered. Takes up to about two seconds.
    virtual std::vector<std::string> searchNetworkPrinters() = 0;
};

class CSystemPortDiscovery final : public CPortDiscovery {
public:
    std::vector<std::string> serialPorts() override;
    std::vector<std::string> parallelPorts() override;
    std::vector<std::string> usbProductIds() override;
    std::vector<std::string> searchNetworkPrinters() override;
};
