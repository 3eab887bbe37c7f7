#include "PortLpt.h"

#include <algorithm>

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;

}  // namespace

#define LPT_WRITE(method, ...) TraceWrite(portId, 1, "CPortLpt::" method, __LINE__, __VA_ARGS__)
#define LPT_DETAIL(method, ...) \
    TraceWrite(portId, kDetail, "CPortLpt::" method, __LINE__, __VA_ARGS__)
#define LPT_ERROR(method, ...) TraceError(portId, "CPortLpt::" method, __LINE__, __VA_ARGS__)

CPortLpt::CPortLpt()
    : CPortInterface(kDefaultReadThreadInterval), parallelPorts_(platform::systemParallelPorts()) {}

CPortLpt::~CPortLpt() {
    LPT_WRITE("~CPortLpt", "CPortLpt::~CPortLpt");
    if (HasReadThread())
        StopReadThread();
}

void CPortLpt::SetParallelPorts(std::shared_ptr<platform::ParallelPorts> ports) {
    parallelPorts_ = ports ? std::move(ports) : platform::systemParallelPorts();
}

bool CPortLpt::CreateDeviceOption(int, const std::string& name) {
    std::string upper = platform::asciiUpper(name);
    if (upper.compare(0, 3, "LPT") != 0)
        return false;
    deviceName = upper.substr(0, upper.find(':'));

    // The time-outs of the current system family; the old single-user family, which
    // took other ones, is not among the systems we run on.
    timeouts = platform::CommTimeouts{1, 0, 0, 1, 3000};
    LPT_WRITE("CreateDeviceOption", "%s", "");
    outputBufferSize = kDefaultOutputBufferSize;
    return true;
}

std::string CPortLpt::devicePath() const {
    return platform::DosDeviceMap::standard().target(deviceName);
}

std::shared_ptr<platform::ParallelDevice> CPortLpt::device() const {
    std::lock_guard<std::mutex> guard(deviceMutex_);
    return m_hPort;
}

bool CPortLpt::OpenPort() {
    LPT_DETAIL("OpenPort", "+");
    if (!CPortInterface::OpenPort())
        return false;
    if (device())
        return m_bOpen;

    std::string path = devicePath();
    int error = platform::kDeviceNotFound;
    std::unique_ptr<platform::ParallelDevice> opened;
    if (!path.empty())
        opened = parallelPorts_->open(path, error);
    if (!opened) {
        LPT_ERROR("OpenPort", "-port is INVALID_HANDLE_VALUE, GetLastError(%d)", error);
        return false;
    }
    opened->applyTimeouts(timeouts);
    opened->purge();
    {
        std::lock_guard<std::mutex> guard(deviceMutex_);
        m_hPort = std::move(opened);
    }
    // An off-line printer leaves the handle for ClosePort to release.
    if (!CheckDeviceIoControl())
        return false;
    m_bOpen = true;
    powerStatus = kPowerOnLine;
    lastStatus = kPowerNeverOpened;
    StartAfterOpen();
    LPT_WRITE("OpenPort", "-Success");
    return true;
}

bool CPortLpt::CheckDeviceIoControl() {
    std::shared_ptr<platform::ParallelDevice> current = device();
    unsigned status = 0;
    if (useOverlappedIO)
        LPT_DETAIL("CheckDeviceIoControl",
                   "************ DeviceIoControl start *********************");
    else
        LPT_DETAIL("CheckDeviceIoControl",
                   "************ DeviceIoControl start non-overlapped *********************");
    // A request that fails leaves the status 0: off-line.
    if (!current || !current->status(status))
        status = 0;
    LPT_WRITE("CheckDeviceIoControl", "LPT Status : %02x \n", status);
    return (status & platform::kParallelSelected) && !(status & platform::kParallelPowerOff);
}

int CPortLpt::ReadPort(char* buffer, int length) {
    if (StopRequested()) {
        LPT_WRITE("ReadPort", "1st flag.");
        return 0;
    }
    std::shared_ptr<platform::ParallelDevice> current = device();
    if (!current) {
        LPT_ERROR("ReadPort", "m_hPort is NULL");
        return 0;
    }
    int status = CheckDeviceIoControl() ? kPowerOnLine : kPowerOffLine;
    powerStatus = status;
    if (lastStatus.exchange(status) != status) {
        LPT_WRITE("ReadPort", "LPT Power Status Changed : %d", status);
        FirePowerStatus(status == kPowerOnLine);
    }
    if (!m_bOpen) {
        LPT_WRITE("ReadPort", "m_bOpen is FALSE");
    } else {
        int got = ReadAvailable(*current, buffer, std::min(length, kReadLimit));
        if (got > 0)
            return got;
        LPT_DETAIL("ReadPort", "************ ReadFile data length zero. *********************");
        if (StopRequested()) {
            LPT_WRITE("ReadPort", "2nd flag.");
            return 0;
        }
        if (!writing)
            WriteNullByte();
    }
    if (StopRequested())
        LPT_WRITE("ReadPort", "last flag.");
    return 0;
}

int CPortLpt::ReadAvailable(platform::ParallelDevice& current, char* buffer, int length) {
    if (useOverlappedIO) {
        LPT_DETAIL("ReadPort", "************ ReadFile start *********************");
        return current.read(buffer, length).bytes;
    }
    LPT_DETAIL("ReadPort", "************ ReadFile start Non-Overlapped *********************");
    int got = 0;
    while (got < length && current.read(buffer + got, 1).bytes == 1)
        ++got;
    return got;
}

void CPortLpt::WriteNullByte() {
    if (!useWriteNullByte)
        return;
    std::shared_ptr<platform::ParallelDevice> current = device();
    // Never between two pieces of a Write: the byte would land inside the host's data.
    if (!current || !BeginProbe())
        return;
    static const char kNull = 0;
    current->write(&kNull, 1);
    EndProbe();
    LPT_WRITE("WriteNullByte", "NULL byte write");
}

int CPortLpt::WritePort(const void* data, int length, int afterSleep) {
    std::shared_ptr<platform::ParallelDevice> current = device();
    if (!m_bOpen || data == nullptr || length <= 0 || !current) {
        LPT_ERROR("WritePort", "-fail to invalid parameters");
        return 0;
    }
    if (useOverlappedIO)
        LPT_DETAIL("WritePort", "call WriteFile");
    platform::DeviceIo io = current->write(data, length);
    if (io.bytes > 0)
        TraceDump(portId, data, static_cast<size_t>(io.bytes));
    LPT_DETAIL("WritePort", "-(%d/%d)", io.bytes, length);
    if (io.bytes <= 0)
        return 0;
    SleepAfterWrite(afterSleep);
    return io.bytes;
}

void CPortLpt::ClosePort() {
    LPT_DETAIL("ClosePort", "+");
    m_bOpen = false;
    std::shared_ptr<platform::ParallelDevice> closing;
    {
        std::lock_guard<std::mutex> guard(deviceMutex_);
        closing = std::move(m_hPort);
    }
    if (closing)
        closing->cancel();
    closing.reset();
    LPT_WRITE("ClosePort", "-Success");
    CPortInterface::ClosePort();
}
