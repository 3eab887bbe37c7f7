// A USB printer (port type 16), and the lookups that turn USB port names, product ids
// and serial numbers into device paths.
// Opening the device comes with the platform backend for it; until then OpenPort
// fails with its error trace line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "PortInterface.h"
#include "platform/UsbPrinters.h"

class CPortUsb : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;

    using RecordSource = std::function<std::vector<platform::UsbPrinter>()>;

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

    // The attached USB printers, in enumeration order.
    static std::vector<platform::UsbPrinter> Records();
    // Replaces where the records come from (tests); none restores the system scan.
    static void SetRecordSource(RecordSource source);

    // The paths of the printers with this product id / serial number (letter case
    // ignored), joined by "|".
    static std::string DevicePathsByProductId(const std::string& productId);
    static std::string DevicePathsBySerialNumber(const std::string& serialNumber);
    // The device path a USB port name stands for: usb<nn>, pid_<pid>, <pid>, a path,
    // a model name or a serial number. Empty when nothing matches.
    static std::string ConvertDevicePath(const std::string& portName);
    // Exactly four characters, each a hexadecimal digit or a blank.
    static bool IsProductIdText(const std::string& text);
};
