#include "PortUsb.h"

#include <algorithm>
#include <mutex>

#include "ModelTable.h"
#include "TraceLog.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorNotSupported = 50;

std::mutex g_sourceMutex;
CPortUsb::RecordSource g_source;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

template <typename Field>
std::string joinMatching(const std::string& wanted, Field field) {
    std::string joined;
    for (const platform::UsbPrinter& record : CPortUsb::Records()) {
        if (!platform::equalsIgnoringAsciiCase(field(record), wanted))
            continue;
        if (!joined.empty())
            joined += '|';
        joined += record.devicePath;
    }
    return joined;
}

}  // namespace

CPortUsb::CPortUsb() : CPortInterface(kDefaultReadThreadInterval) {}

CPortUsb::~CPortUsb() {
    TraceWrite(portId, 1, "CPortUsb::~CPortUsb", __LINE__, "CPortUsb::~CPortUsb");
    if (HasReadThread())
        StopReadThread();
}

std::vector<platform::UsbPrinter> CPortUsb::Records() {
    RecordSource source;
    {
        std::lock_guard<std::mutex> guard(g_sourceMutex);
        source = g_source;
    }
    return source ? source() : platform::listUsbPrinters();
}

void CPortUsb::SetRecordSource(RecordSource source) {
    std::lock_guard<std::mutex> guard(g_sourceMutex);
    g_source = std::move(source);
}

bool CPortUsb::IsProductIdText(const std::string& text) {
    if (text.size() != 4)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isxdigit(c) != 0 || c == ' '; });
}

std::string CPortUsb::DevicePathsByProductId(const std::string& productId) {
    return joinMatching(productId, [](const platform::UsbPrinter& r) { return r.productId; });
}

std::string CPortUsb::DevicePathsBySerialNumber(const std::string& serialNumber) {
    return joinMatching(serialNumber, [](const platform::UsbPrinter& r) { return r.serialNumber; });
}

std::string CPortUsb::ConvertDevicePath(const std::string& portName) {
    const std::string name = platform::asciiLower(portName);
    if (startsWith(name, "usb")) {
        std::vector<platform::UsbPrinter> records = Records();
        size_t index = 0;
        std::string digits = name.substr(3, 2);
        if (name == "usb")
            index = 1;
        else if (std::all_of(digits.begin(), digits.end(),
                             [](unsigned char c) { return std::isdigit(c) != 0; }))
            index = static_cast<size_t>(std::stoi(digits));
        size_t position = std::min(records.size(), index);
        return position == 0 ? std::string() : records[position - 1].devicePath;
    }
    if (startsWith(name, "pid_")) {
        std::string productId = name.substr(4);
        return IsProductIdText(productId) ? DevicePathsByProductId(productId) : std::string();
    }
    if (IsProductIdText(name))
        return DevicePathsByProductId(name);
    // A device path as the system writes it, or a device node of this platform.
    if (startsWith(portName, "\\\\?\\") || startsWith(portName, "/dev/"))
        return portName;

    std::unique_ptr<CCVNDeviceInfo> model = modeltable::lookup(portName);
    if (model && !model->productId.empty())
        return DevicePathsByProductId(model->productId);
    return DevicePathsBySerialNumber(portName);
}

bool CPortUsb::CreateDeviceOption(int, const std::string& name) {
    deviceName = ConvertDevicePath(name);
    return true;
}

bool CPortUsb::OpenPort() {
    TraceWrite(portId, 1, "CPortUsb::OpenPort", __LINE__, "+");
    return CPortInterface::OpenPort() && OpenPortUSB();
}

bool CPortUsb::OpenPortUSB() {
    const char* kMethod = "CPortUsb::OpenPortUSB";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+");
    std::vector<platform::UsbPrinter> records = Records();
    bool exists = !deviceName.empty() && std::any_of(records.begin(), records.end(),
                                                     [this](const platform::UsbPrinter& r) {
                                                         return r.devicePath == deviceName;
                                                     });
    TraceError(portId, kMethod, __LINE__, "-port is INVALID_HANDLE_VALUE, GetLastError(%d)",
               exists ? kErrorNotSupported : kErrorFileNotFound);
    return false;
}

void CPortUsb::ClosePortUSB() {
    TraceWrite(portId, 1, "CPortUsb::ClosePortUSB", __LINE__, "+");
    TraceWrite(portId, 1, "CPortUsb::ClosePortUSB", __LINE__, "-End");
}

void CPortUsb::ClosePort() {
    const char* kMethod = "CPortUsb::ClosePort";
    TraceWrite(portId, 1, kMethod, __LINE__, "+");
    m_bOpen = false;
    TraceWrite(portId, 1, kMethod, __LINE__, "CancelIo");
    ClosePortUSB();
    TraceWrite(portId, 1, kMethod, __LINE__, "-Success");
    CPortInterface::ClosePort();
}

int CPortUsb::ReadPort(char*, int) {
    TraceWrite(portId, kDetail, "CPortUsb::ReadPort", __LINE__, "********** read bytes :0");
    return 0;
}

int CPortUsb::WritePort(const void* data, int length, int) {
    if (!m_bOpen || data == nullptr || length <= 0) {
        TraceError(portId, "CPortUsb::WritePort", __LINE__, "-fail to invalid parameters");
        return 0;
    }
    return 0;
}
