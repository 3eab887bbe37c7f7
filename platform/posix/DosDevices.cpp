#include "platform/DosDevices.h"

#include <sys/stat.h>

#include <charconv>

#include "platform/Files.h"
#include "platform/Text.h"

namespace platform {

namespace {

struct ComRange {
    int first;
    const char* node;
};

// Blocks of 32 COM numbers, each a family of device nodes counted from 0.
constexpr ComRange kComRanges[] = {{1, "ttyS"}, {33, "ttyUSB"}, {65, "ttyACM"}, {97, "rfcomm"}};
constexpr int kComRangeSize = 32;

// The number behind a three-letter prefix: digits only, no leading zero, at least 1.
int deviceNumber(const std::string& name, const char* prefix) {
    if (name.size() < 4 || name.compare(0, 3, prefix) != 0 || name[3] == '0')
        return 0;
    int number = 0;
    const char* begin = name.data() + 3;
    const char* end = name.data() + name.size();
    auto [ptr, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || ptr != end)
        return 0;
    return number;
}

}  // namespace

bool isSerialDeviceNode(std::string_view name) {
    // A prefix with a device after it: "/dev/tty" alone is the controlling terminal.
    for (std::string_view prefix : {"/dev/tty", "/dev/rfcomm", "/dev/pts/"})
        if (name.size() > prefix.size() && name.starts_with(prefix))
            return true;
    return false;
}

DosDeviceMap::DosDeviceMap(std::string mapFolder, std::string devRoot)
    : mapFolder_(std::move(mapFolder)), devRoot_(std::move(devRoot)) {}

DosDeviceMap DosDeviceMap::standard() {
    return DosDeviceMap(joinPath(programDirectory(), "dosdevices"), "/dev");
}

std::string DosDeviceMap::target(std::string_view dosName) const {
    if (isSerialDeviceNode(dosName))
        return std::string(dosName);
    std::string name = asciiUpper(dosName);
    int com = deviceNumber(name, "COM");
    int lpt = deviceNumber(name, "LPT");
    if (com == 0 && lpt == 0)
        return {};

    std::string link = joinPath(mapFolder_, name);
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0)
        return link;

    if (lpt > 0)
        return joinPath(devRoot_, "lp" + std::to_string(lpt - 1));
    for (const ComRange& range : kComRanges) {
        if (com >= range.first && com < range.first + kComRangeSize)
            return joinPath(devRoot_, range.node + std::to_string(com - range.first));
    }
    return {};
}

bool DosDeviceMap::known(std::string_view dosName) const {
    std::string path = target(dosName);
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

}  // namespace platform
