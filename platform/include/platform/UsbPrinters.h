// USB printers: the printer-class device nodes the kernel makes for them (/dev/usb/lp<n>),
// with the ids of their USB devices, and timed I/O on a node.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceIo.h"

namespace platform {

class DeviceFile;

struct UsbPrinter {
    std::string devicePath;    // the node to open, e.g. /dev/usb/lp0
    std::string vendorId;      // four lower-case hexadecimal digits
    std::string productId;     // four lower-case hexadecimal digits
    std::string serialNumber;  // lower case; empty when the device reports none
};

// The printers attached now, in the order of their node numbers (lp2 before lp10), from
// the system's device database.
std::vector<UsbPrinter> listUsbPrinters();

// An open printer node. A printer answers on the same node, so it is opened for reading
// and writing.
class UsbPrinterDevice {
public:
    // Null with the system's error.
    static std::unique_ptr<UsbPrinterDevice> open(const std::string& path, int& error);
    ~UsbPrinterDevice();
    UsbPrinterDevice(const UsbPrinterDevice&) = delete;
    UsbPrinterDevice& operator=(const UsbPrinterDevice&) = delete;

    // Waits up to `timeoutMs` for the printer to send, then reads what came.
    DeviceIo read(void* buffer, int length, int timeoutMs);
    // Writes everything, waiting up to `timeoutMs` in all for the printer to take it.
    DeviceIo write(const void* data, int length, int timeoutMs);
    // Waits up to `timeoutMs` for the printer to send, ending early on cancel(); true
    // when bytes wait.
    bool waitReadable(int timeoutMs);
    // Waits up to `timeoutMs` for the last transfer to the printer to finish.
    void drain(int timeoutMs);
    // Ends the reads and writes under way.
    void cancel();

private:
    explicit UsbPrinterDevice(std::unique_ptr<DeviceFile> file);
    std::unique_ptr<DeviceFile> file_;
};

}  // namespace platform
