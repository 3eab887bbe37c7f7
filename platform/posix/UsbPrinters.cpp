#include "platform/UsbPrinters.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "DeviceFile.h"
#include "platform/Text.h"

namespace platform {
namespace {

struct UdevDeleter {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
    void operator()(udev_device* handle) const { udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? asciiLower(value) : std::string();
}

// lp2 before lp10.
long nodeNumber(const char* sysname) {
    const char* digits = sysname;
    while (*digits && (*digits < '0' || *digits > '9'))
        ++digits;
    return *digits ? std::strtol(digits, nullptr, 10) : -1;
}

}  // namespace

std::vector<UsbPrinter> listUsbPrinters() {
    std::vector<std::pair<long, UsbPrinter>> found;
    UdevPtr<udev> context(udev_new());
    if (!context)
        return {};
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "usbmisc") < 0 ||
        udev_enumerate_add_match_sysname(enumeration.get(), "lp*") < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0)
        return {};
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        UdevPtr<udev_device> node(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!node)
            continue;
        const char* devicePath = udev_device_get_devnode(node.get());
        // The parent is owned by the node.
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(node.get(), "usb", "usb_device");
        if (!devicePath || !usb)
            continue;
        UsbPrinter printer{devicePath, attribute(usb, "idVendor"), attribute(usb, "idProduct"),
                           attribute(usb, "serial")};
        found.emplace_back(nodeNumber(udev_device_get_sysname(node.get())), std::move(printer));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UsbPrinter> printers;
    printers.reserve(found.size());
    for (auto& [number, printer] : found)
        printers.push_back(std::move(printer));
    return printers;
}

UsbPrinterDevice::UsbPrinterDevice(std::unique_ptr<DeviceFile> file) : file_(std::move(file)) {}

UsbPrinterDevice::~UsbPrinterDevice() = default;

std::unique_ptr<UsbPrinterDevice> UsbPrinterDevice::open(const std::string& path, int& error) {
    std::unique_ptr<DeviceFile> file = DeviceFile::open(path, error);
    if (!file)
        return nullptr;
    return std::unique_ptr<UsbPrinterDevice>(new UsbPrinterDevice(std::move(file)));
}

DeviceIo UsbPrinterDevice::read(void* buffer, int length, int timeoutMs) {
    return file_->readWithin(buffer, length, timeoutMs);
}

DeviceIo UsbPrinterDevice::write(const void* data, int length, int timeoutMs) {
    return file_->writeWithin(data, length, timeoutMs);
}

bool UsbPrinterDevice::waitReadable(int timeoutMs) {
    return file_->waitReadable(timeoutMs);
}

void UsbPrinterDevice::drain(int timeoutMs) {
    file_->drainOutput(timeoutMs, timeoutMs);
}

void UsbPrinterDevice::cancel() {
    file_->cancel();
}

}  // namespace platform
