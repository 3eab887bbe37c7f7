// A USB printer (port type 16), and the lookups that turn USB port names, product ids
// and serial numbers into device paths.
//
// The watcher tells the port when its printer is unplugged (the handle is closed, the
// port goes off-line) and plugged in again (it is reopened, the port is on-line); the
// host's thread writes and the read thread reads on the same handle, which is released
// when the last of them lets go of it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PortInterface.h"
#include "RegistUsb.h"
#include "platform/UsbPrinters.h"

class CPortUsb : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;
    static constexpr int kReadWaitMs = 2000;
    // A write may take this per byte and the constant in all.
    static constexpr int kWriteMsPerByte = 50;
    static constexpr int kWriteBaseMs = 5000;
    // Longest wait at close for the last transfer to reach the printer.
    static constexpr int kCloseDrainMs = 2000;

    CPortUsb();
    ~CPortUsb() override;

    bool OpenPort() override;
    void ClosePort() override;
    // The device name becomes the device path of the port name.
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;

    bool OpenPortUSB();
    void ClosePortUSB();
    // The watcher's notice: the printer came (present) or went. False when a printer
    // that came back cannot be opened yet; the watcher tells the port again.
    bool ChangeConnectState(bool present);

    // The maker's printers attached now, in enumeration order.
    static std::vector<_USB_DEVICE_INFO_> Records();
    // The paths of the printers with this product id / serial number (letter case
    // ignored), joined by "|".
    static std::string DevicePathsByProductId(const std::string& productId);
    static std::string DevicePathsBySerialNumber(const std::string& serialNumber);
    // The device path a USB port name stands for: usb<nn>, pid_<pid>, <pid>, a path,
    // a model name or a serial number; the paths of all matching printers, joined by
    // "|". Empty when nothing matches.
    static std::string ConvertDevicePath(const std::string& portName);
    // Exactly four characters, each a hexadecimal digit or a blank.
    static bool IsProductIdText(const std::string& text);

protected:
    int ReadPortWithin(char* buffer, int length, int maxWaitMs) override;
    void PauseBetweenReads(int ms) override;

private:
    int ReadPortOverlapped(char* buffer, int length, int waitMs);
    int ReadPortNonOverlapped(char* buffer, int length);
    // After a write the system refused: a fresh handle, or off-line.
    void ReopenAfterWriteFailure(int error);

    std::shared_ptr<platform::UsbPrinterDevice> device() const;
    std::shared_ptr<platform::UsbPrinterDevice> takeDevice();

    // Guards the handle's replacement; stateMutex_ orders the changes of state (open,
    // close, unplug, replug, reopen after a failed write) among the threads.
    mutable std::mutex deviceMutex_;
    std::shared_ptr<platform::UsbPrinterDevice> m_hPort;
    std::mutex stateMutex_;
    int watchToken_ = 0;
    std::atomic<bool> readFailed_{false};
};
