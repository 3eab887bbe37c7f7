// Questions about other processes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct PortOwner {
    bool listening = false;
    // File name of the owning process's executable; empty when it cannot be read.
    std::string executableName;
};

// Looks for a TCP listener on `port` (IPv4, or IPv6 where it takes IPv4 too) and the
// process that owns it. `procRoot`
// is the process file system to read (tests point it at a tree of their own).
PortOwner findTcpListener(uint16_t port, const std::string& procRoot = "/proc");

}  // namespace platform
