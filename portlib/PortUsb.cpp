#include "PortUsb.h"

#include <algorithm>
#include <cerrno>

#include "ModelTable.h"
#include "TraceLog.h"
#include "UsbWatcher.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;
// A read without a read thread's time-out waits until the printer sends or the port
// closes.
constexpr int kUnboundedReadMs = 24 * 60 * 60 * 1000;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

template <typename Field>
std::string joinMatching(const std::string& wanted, Field field) {
    std::string joined;
    for (const _USB_DEVICE_INFO_& record : CPortUsb::Records()) {
        if (!platform::equalsIgnoringAsciiCase(field(record), wanted))
            continue;
        if (!joined.empty())
            joined += '|';
        joined += record.devicePath;
    }
    return joined;
}

// The system refused the write on a handle that no longer reaches the printer.
bool handleLost(int error) {
    return error == platform::kDeviceGone || error == platform::kDeviceAccessDenied ||
           error == EBADF || error == EIO;
}

}  // namespace

#define USB_WRITE(method, ...) TraceWrite(portId, 1, "CPortUsb::" method, __LINE__, __VA_ARGS__)
#define USB_DETAIL(method, ...) \
    TraceWrite(portId, kDetail, "CPortUsb::" method, __LINE__, __VA_ARGS__)
#define USB_ERROR(method, ...) TraceError(portId, "CPortUsb::" method, __LINE__, __VA_ARGS__)

CPortUsb::CPortUsb() : CPortInterface(kDefaultReadThreadInterval) {}

CPortUsb::~CPortUsb() {
    USB_WRITE("~CPortUsb", "CPortUsb::~CPortUsb");
    if (HasReadThread())
        StopReadThread();
}

std::vector<_USB_DEVICE_INFO_> CPortUsb::Records() {
    return CRegistUsb().records();
}

bool CPortUsb::IsProductIdText(const std::string& text) {
    if (text.size() != 4)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isxdigit(c) != 0 || c == ' '; });
}

std::string CPortUsb::DevicePathsByProductId(const std::string& productId) {
    std::string wanted = productId;
    std::erase(wanted, ' ');
    return joinMatching(wanted, [](const _USB_DEVICE_INFO_& r) { return r.productId; });
}

std::string CPortUsb::DevicePathsBySerialNumber(const std::string& serialNumber) {
    return joinMatching(serialNumber, [](const _USB_DEVICE_INFO_& r) { return r.serialNumber; });
}

std::string CPortUsb::ConvertDevicePath(const std::string& portName) {
    const std::string name = platform::asciiLower(portName);
    if (startsWith(name, "usb")) {
        std::vector<_USB_DEVICE_INFO_> records = Records();
        size_t index = 0;
        std::string digits = name.substr(3, 2);
        if (name == "usb")
            index = 1;
        else if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](unsigned char c) {
                     return std::isdigit(c) != 0;
                 }))
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
    // Several printers may match a product id or model; the port opens the first.
    std::string paths = ConvertDevicePath(name);
    deviceName = paths.substr(0, paths.find('|'));
    return true;
}

std::shared_ptr<platform::UsbPrinterDevice> CPortUsb::device() const {
    std::lock_guard<std::mutex> guard(deviceMutex_);
    return m_hPort;
}

std::shared_ptr<platform::UsbPrinterDevice> CPortUsb::takeDevice() {
    std::lock_guard<std::mutex> guard(deviceMutex_);
    return std::move(m_hPort);
}

bool CPortUsb::OpenPort() {
    USB_WRITE("OpenPort", "+");
    if (!CPortInterface::OpenPort())
        return false;
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (!OpenPortUSB())
            return false;
        m_bOpen = true;
        powerStatus = kPowerOnLine;
    }
    std::weak_ptr<CPortInterface> self = weak_from_this();
    watchToken_ = CUsbWatcher::Register(deviceName, [self](bool present) {
        std::shared_ptr<CPortInterface> port = self.lock();
        return !port || static_cast<CPortUsb&>(*port).ChangeConnectState(present);
    });
    USB_WRITE("OpenPort", "-Success");
    readFailed_ = false;
    StartAfterOpen();
    return true;
}

bool CPortUsb::OpenPortUSB() {
    USB_DETAIL("OpenPortUSB", "+");
    if (device()) {
        USB_WRITE("OpenPortUSB", "port handle is not NULL. close and reopen.");
        ClosePortUSB();
    }
    int error = platform::kDeviceNotFound;
    std::unique_ptr<platform::UsbPrinterDevice> opened;
    if (!deviceName.empty())
        opened = platform::UsbPrinterDevice::open(deviceName, error);
    if (!opened) {
        USB_ERROR("OpenPortUSB", "-port is INVALID_HANDLE_VALUE, GetLastError(%d)", error);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(deviceMutex_);
        m_hPort = std::move(opened);
    }
    USB_WRITE("OpenPortUSB", "-success");
    return true;
}

void CPortUsb::ClosePortUSB() {
    USB_WRITE("ClosePortUSB", "+");
    if (std::shared_ptr<platform::UsbPrinterDevice> closing = takeDevice())
        closing->cancel();
    USB_WRITE("ClosePortUSB", "-End");
}

void CPortUsb::ClosePort() {
    USB_WRITE("ClosePort", "+");
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        m_bOpen = false;
    }
    // Outside the port's lock: a notice under way finishes first, and finds it closed.
    if (watchToken_ != 0)
        CUsbWatcher::Unregister(watchToken_);
    watchToken_ = 0;
    // The last write may still be on its way; the close would cut it off.
    if (std::shared_ptr<platform::UsbPrinterDevice> current = device();
        current && powerStatus == kPowerOnLine)
        current->drain(kCloseDrainMs);
    USB_WRITE("ClosePort", "CancelIo");
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        ClosePortUSB();
    }
    USB_WRITE("ClosePort", "-Success");
    CPortInterface::ClosePort();
}

bool CPortUsb::ChangeConnectState(bool present) {
    const int status = present ? kPowerOnLine : kPowerOffLine;
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (!m_bOpen || status == powerStatus)
            return true;
        if (!present) {
            USB_WRITE("ChangeConnectState", "********************************** usb disconnect");
            ClosePortUSB();
        } else {
            USB_WRITE("ChangeConnectState", "**********************************  usb connect");
            // Back, but not to be opened yet (its node may still be getting its rights).
            if (!OpenPortUSB())
                return false;
            readFailed_ = false;
        }
        powerStatus = status;
    }
    FirePowerStatus(present);
    return true;
}

int CPortUsb::ReadPort(char* buffer, int length) {
    return ReadPortWithin(buffer, length, kReadWaitMs);
}

int CPortUsb::ReadPortWithin(char* buffer, int length, int maxWaitMs) {
    if (!m_bOpen || powerStatus != kPowerOnLine || StopRequested()) {
        USB_DETAIL("ReadPort", "********** read bytes :0");
        return 0;
    }
    int got = useOverlappedIO ? ReadPortOverlapped(buffer, length, std::min(maxWaitMs, kReadWaitMs))
                              : ReadPortNonOverlapped(buffer, length);
    if (got > 0)
        USB_DETAIL("ReadPort", "********** read bytes :%d", got);
    else
        USB_DETAIL("ReadPort", "********** read bytes :0");
    return got;
}

int CPortUsb::ReadPortOverlapped(char* buffer, int length, int waitMs) {
    std::shared_ptr<platform::UsbPrinterDevice> current = device();
    if (!current)
        return 0;
    USB_DETAIL("ReadPortOverlapped", "****************ReadFile************************");
    platform::DeviceIo io =
        current->read(buffer, std::min(length, kReadBlockSize), std::max(0, waitMs));
    readFailed_ = io.outcome == platform::DeviceIo::Outcome::Failed;
    bool cancelled = io.outcome == platform::DeviceIo::Outcome::TimedOut ||
                     io.outcome == platform::DeviceIo::Outcome::Cancelled;
    if (cancelled)
        USB_DETAIL("ReadPortOverlapped", "Read wait cancelled");
    if (StopRequested()) {
        USB_DETAIL("ReadPortOverlapped", "%s",
                   cancelled ? "wait cancelled, but m_bTerminateThread is true"
                             : "wait complete, but m_bTerminateThread is true");
        return 0;
    }
    return io.bytes;
}

int CPortUsb::ReadPortNonOverlapped(char* buffer, int length) {
    std::shared_ptr<platform::UsbPrinterDevice> current = device();
    if (!current)
        return 0;
    USB_DETAIL("ReadPortNonOverlapped", "********** start");
    platform::DeviceIo io =
        current->read(buffer, std::min(length, kReadBlockSize), kUnboundedReadMs);
    readFailed_ = io.outcome == platform::DeviceIo::Outcome::Failed;
    USB_DETAIL("ReadPortNonOverlapped", "********** read bytes :%d", io.bytes);
    return io.bytes;
}

void CPortUsb::PauseBetweenReads(int ms) {
    std::shared_ptr<platform::UsbPrinterDevice> current = device();
    // Only a printer that is being read ends the pause with its bytes.
    if (!current || !m_bOpen || powerStatus != kPowerOnLine || readFailed_) {
        InterruptibleWait(ms);
        return;
    }
    current->waitReadable(ms);
}

int CPortUsb::WritePort(const void* data, int length, int afterSleep) {
    std::shared_ptr<platform::UsbPrinterDevice> current = device();
    if (!m_bOpen || data == nullptr || length <= 0 || !current) {
        USB_ERROR("WritePort", "-fail to invalid parameters");
        return 0;
    }
    if (useOverlappedIO)
        USB_DETAIL("WritePort", "call WriteFile");
    platform::DeviceIo io = current->write(data, length, length * kWriteMsPerByte + kWriteBaseMs);
    if (io.outcome == platform::DeviceIo::Outcome::TimedOut)
        USB_ERROR("WritePort", "timeout error");
    if (io.outcome == platform::DeviceIo::Outcome::Failed) {
        USB_DETAIL("WritePort", "GetLastError() : %d", io.error);
        if (handleLost(io.error)) {
            ReopenAfterWriteFailure(io.error);
            return 0;
        }
    }
    if (io.bytes > 0)
        TraceDump(portId, data, static_cast<size_t>(io.bytes));
    USB_DETAIL("WritePort", "-USB Write(dwWrittenResult : %d)", io.bytes);
    if (io.bytes <= 0)
        return 0;
    SleepAfterWrite(afterSleep);
    return io.bytes;
}

void CPortUsb::ReopenAfterWriteFailure(int error) {
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (!m_bOpen || powerStatus != kPowerOnLine)
            return;
        USB_ERROR("WritePort", "Failed GetLastError %d trying close/open", error);
        ClosePortUSB();
        if (OpenPortUSB())
            return;
        USB_WRITE("WritePort", "disconnect in write");
        powerStatus = kPowerOffLine;
    }
    // Off-line now: the receivers hear of it once, and the watcher brings the printer
    // back when it can be opened again.
    FirePowerStatus(false);
    CUsbWatcher::MarkAbsent(watchToken_);
}
