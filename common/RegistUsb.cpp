#include "RegistUsb.h"

#include <algorithm>
#include <cstdio>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/UsbPrinters.h"

namespace {

constexpr size_t kMaxSerialLength = 31;

template <typename Field>
int joinedList(const std::vector<_USB_DEVICE_INFO_>& records, Field field, std::string& out) {
    out.clear();
    for (const _USB_DEVICE_INFO_& record : records)
        out += field(record) + '|';
    return static_cast<int>(records.size());
}

}  // namespace

CRegistUsb::CRegistUsb() {
    for (const platform::UsbPrinter& printer : platform::listUsbPrinters()) {
        if (!IsMakersPrinter(printer.vendorId, printer.productId))
            continue;
        // A printer this user may not use is left out, as one that cannot be opened.
        if (!platform::mayReadAndWrite(printer.devicePath))
            continue;
        _USB_DEVICE_INFO_ record;
        record.productId = printer.productId;
        record.vendorId = printer.vendorId;
        record.devicePath = printer.devicePath;
        record.serialNumber = printer.serialNumber.substr(0, kMaxSerialLength);
        record.instance =
            1 + static_cast<int>(std::count_if(
                    records_.begin(), records_.end(),
                    [&](const _USB_DEVICE_INFO_& r) { return r.productId == record.productId; }));
        char portName[16];
        std::snprintf(portName, sizeof portName, "USB%02d:", static_cast<int>(records_.size()) + 1);
        record.portName = portName;
        records_.push_back(std::move(record));
    }
}

bool CRegistUsb::IsMakersPrinter(const std::string& vendorId, const std::string& productId) {
    const std::string vendor = platform::asciiLower(vendorId);
    const std::string product = platform::asciiLower(productId);
    return vendor == "3f1c" || (vendor == "3a8e" && product == "4010") ||
           (vendor == "3b27" && (product == "3c00" || product == "3c01")) ||
           (vendor == "3c5d" && product == "003f");
}

int CRegistUsb::DevicePathList(std::string& out) const {
    return joinedList(
        records_, [](const _USB_DEVICE_INFO_& r) { return r.devicePath; }, out);
}

int CRegistUsb::ProductIdList(std::string& out) const {
    return joinedList(
        records_, [](const _USB_DEVICE_INFO_& r) { return r.productId; }, out);
}
