// The far end of a serial line: a pseudo-terminal whose other side (/dev/pts/<n>) a host
// opens as its printer's serial port. The host sets the line; what it writes arrives
// here, and what is written here reaches it.
#pragma once

#include <string>

namespace vprinter {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Makes the pair, its line raw until a host sets another; false on failure.
    bool open();
    int fd() const { return fd_; }
    // The node a host opens.
    const std::string& devicePath() const { return devicePath_; }
    // The line the host set, as "9600 8N1 rtscts", "19200 7E2 xonxoff rtscts",
    // "115200 8M1 none": baud rate, data bits, parity (N, O, E, M, S), stop bits, handshake.
    std::string lineSettings() const;

private:
    int fd_ = -1;
    std::string devicePath_;
};

}  // namespace vprinter
