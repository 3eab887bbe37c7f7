// Watches the USB printers that open ports use: every 100 ms it looks which of their
// device paths are attached and tells the port whose printer came or went.
//
// One watcher serves the process; it runs while some port is registered with it.
#pragma once

#include <functional>
#include <string>

class CUsbWatcher {
public:
    static constexpr int kPollIntervalMs = 100;

    // Told the printer's new presence; false when it could not take the change yet (a
    // printer back whose node cannot be opened), so that the next look tells it again.
    using Notice = std::function<bool(bool present)>;

    // Registers a port's device path, present now. The token unregisters it.
    static int Register(const std::string& devicePath, Notice notice);
    // Also from inside a notice; a notice under way on another thread may still run once.
    static void Unregister(int token);
    // The port lost its printer without the watcher seeing it go (a write the system
    // refused): the next look tells it of a printer that is there.
    static void MarkAbsent(int token);
};
