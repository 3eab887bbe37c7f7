// The name and version of the operating system, for the trace.
#pragma once

#include <string>

namespace platform {

struct SystemVersion {
    std::string systemName;     // "Debian GNU/Linux 12 (bookworm)"; empty when unknown
    std::string kernelRelease;  // "6.1.0-18-amd64"
};

// From the system's release file (/etc/os-release, or /usr/lib/os-release) and the kernel.
SystemVersion systemVersion();

}  // namespace platform
