// The ports of this computer a printer can be attached to, as a printer dialog offers
// them and as the port library's port list names them.
#pragma once

#include <string>
#include <vector>

namespace discovery {

// Port type bits, also the mask of portList.
inline constexpr int kNetworkPorts = 1 | 2;
inline constexpr int kSerialPorts = 4 | 32;
inline constexpr int kUsbPorts = 16;
inline constexpr int kParallelPorts = 64;

// COM1 to COM254 and LPT1 to LPT254, each name whose device is known here.
std::vector<std::string> serialPorts();
std::vector<std::string> parallelPorts();
// The device paths of the maker's USB printers attached now.
std::vector<std::string> usbPrinterPaths();
// The addresses of the network printers that answer a search (takes 1.2 to 1.7 s).
std::vector<std::string> networkPrinters();

struct PortList {
    int count = 0;
    // The names of the kinds the mask selects, USB, serial, parallel and network in that
    // order, each followed by "|"; a kind joining names already listed adds one more "|".
    std::string text;
};
PortList portList(int portTypeMask);

}  // namespace discovery
