// The USB printers attached now, from the kernel's device tree: every printer-class
// node (/dev/usb/lp<n>) with the product id and serial number of its USB device.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct UsbPrinter {
    std::string devicePath;    // the node to open, e.g. /dev/usb/lp0
    std::string productId;     // four lower-case hexadecimal digits
    std::string serialNumber;  // empty when the device reports none
};

// In the order of the node numbers. `sysRoot` and `devRoot` let tests point the scan at
// a tree of their own.
std::vector<UsbPrinter> listUsbPrinters(const std::string& sysRoot = "/sys",
                                        const std::string& devRoot = "/dev");

}  // namespace platform
