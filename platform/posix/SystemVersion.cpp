#include "platform/SystemVersion.h"

#include <sys/utsname.h>

#include <fstream>

namespace platform {
namespace {

// PRETTY_NAME of an os-release file, its quotes taken off.
std::string prettyName(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    const std::string key = "PRETTY_NAME=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

}  // namespace

SystemVersion systemVersion() {
    SystemVersion version;
    version.systemName = prettyName("/etc/os-release");
    if (version.systemName.empty())
        version.systemName = prettyName("/usr/lib/os-release");
    utsname names{};
    if (::uname(&names) == 0)
        version.kernelRelease = names.release;
    return version;
}

}  // namespace platform
