// The printer maker's USB printers attached now, numbered as their port names give them.
#pragma once

#include <string>
#include <vector>

// One accepted printer, fields in lower case.
struct _USB_DEVICE_INFO_ {
    int instance = 0;          // 1 + the earlier printers with the same product id
    std::string devicePath;    // the node to open
    std::string portName;      // "USB01:", by the printer's position in the list
    std::string productId;     // four hexadecimal digits
    std::string vendorId;      // four hexadecimal digits
    std::string serialNumber;  // empty when the printer reports none
};

class CRegistUsb {
public:
    // Enumerates the printers attached now.
    CRegistUsb();

    // The maker's vendor and product ids: 3f1c with any product, 3a8e/4010, 3b27/3c00,
    // 3b27/3c01 and 3c5d/003f.
    static bool IsMakersPrinter(const std::string& vendorId, const std::string& productId);

    const std::vector<_USB_DEVICE_INFO_>& records() const { return records_; }
    // The device paths, or the product ids, each followed by "|"; the count.
    int DevicePathList(std::string& out) const;
    int ProductIdList(std::string& out) const;

private:
    std::vector<_USB_DEVICE_INFO_> records_;
};
