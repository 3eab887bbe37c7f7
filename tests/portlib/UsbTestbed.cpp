#include "UsbTestbed.h"

#include <umockdev.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";

std::string taken(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

void appendOption(const char* variable, const std::string& option) {
    const char* current = std::getenv(variable);
    setenv(variable, ((current && *current ? std::string(current) + ":" : "") + option).c_str(), 1);
}

}  // namespace

void UsbTestbed::enterMockEnvironment(char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    std::string current = preload ? preload : "";
    if (current.find(kPreload) != std::string::npos)
        return;
    setenv("LD_PRELOAD", (current.empty() ? kPreload : current + ":" + kPreload).c_str(), 1);
    // The sanitizer's runtime would want to come first among the preloaded libraries.
    appendOption("ASAN_OPTIONS", "verify_asan_link_order=0");
    appendOption("TSAN_OPTIONS", "suppressions=" UMOCKDEV_TSAN_SUPPRESSIONS);
    execv("/proc/self/exe", argv);
    throw std::runtime_error("cannot run the tests under umockdev");
}

UsbTestbed::UsbTestbed() : testbed_(umockdev_testbed_new()) {}

UsbTestbed::~UsbTestbed() {
    std::vector<int> numbers;
    for (const auto& [number, printer] : printers_)
        numbers.push_back(number);
    for (int number : numbers)
        detach(number);
    g_object_unref(testbed_);
}

void UsbTestbed::attach(int number, const std::string& vendorId, const std::string& productId,
                        const std::string& serialNumber, const std::string& farEnd) {
    std::string name = "1-" + std::to_string(number + 1);
    Printer printer;
    printer.usb = taken(umockdev_testbed_add_device(
        testbed_, "usb", name.c_str(), nullptr, "idVendor", vendorId.c_str(), "idProduct",
        productId.c_str(), "serial", serialNumber.c_str(), nullptr, "DEVTYPE", "usb_device",
        nullptr));
    printer.interface = taken(umockdev_testbed_add_device(testbed_, "usb", (name + ":1.0").c_str(),
                                                          printer.usb.c_str(), nullptr, "DEVTYPE",
                                                          "usb_interface", nullptr));
    std::string lp = "lp" + std::to_string(number);
    std::string major = "180:" + std::to_string(number);
    printer.node = taken(umockdev_testbed_add_device(
        testbed_, "usbmisc", lp.c_str(), printer.interface.c_str(), "dev", major.c_str(), nullptr,
        "DEVNAME", node(number).c_str(), nullptr));
    std::filesystem::path root = taken(umockdev_testbed_get_root_dir(testbed_));
    std::filesystem::create_directories(root / "dev/usb");
    std::filesystem::remove(root / ("dev/usb/" + lp));
    std::filesystem::create_symlink(farEnd, root / ("dev/usb/" + lp));
    printers_[number] = printer;
}

void UsbTestbed::detach(int number) {
    auto found = printers_.find(number);
    if (found == printers_.end())
        return;
    // Children first, as the kernel takes them away.
    umockdev_testbed_remove_device(testbed_, found->second.node.c_str());
    umockdev_testbed_remove_device(testbed_, found->second.interface.c_str());
    umockdev_testbed_remove_device(testbed_, found->second.usb.c_str());
    printers_.erase(found);
}
