#include "platform/UsbPrinters.h"
#include "platform/Text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace platform {

namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// lp2 before lp10.
int nodeNumber(const std::string& name) {
    size_t digits = name.find_first_of("0123456789");
    if (digits == std::string::npos)
        return -1;
    return std::atoi(name.c_str() + digits);
}

}  // namespace

std::vector<UsbPrinter> listUsbPrinters(const std::string& sysRoot, const std::string& devRoot) {
    std::vector<std::pair<int, UsbPrinter>> found;
    std::error_code error;
    fs::path classDir = fs::path(sysRoot) / "class" / "usbmisc";
    for (const fs::directory_entry& entry : fs::directory_iterator(classDir, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("lp", 0) != 0)
            continue;
        // <class>/lpN/device is the printer interface; its parent is the USB device
        // that carries the ids.
        fs::path interface = fs::canonical(entry.path() / "device", error);
        if (error) {
            error.clear();
            continue;
        }
        fs::path device = interface.parent_path();
        UsbPrinter printer;
        printer.devicePath = (fs::path(devRoot) / "usb" / name).string();
        printer.productId = asciiLower(firstLine(device / "idProduct"));
        printer.serialNumber = firstLine(device / "serial");
        found.emplace_back(nodeNumber(name), std::move(printer));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UsbPrinter> printers;
    printers.reserve(found.size());
    for (auto& [number, printer] : found)
        printers.push_back(std::move(printer));
    return printers;
}

}  // namespace platform
