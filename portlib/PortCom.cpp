#include "PortCom.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>
#include <vector>

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/SystemVersion.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;

bool parseDecimal(const std::string& text, int& value) {
    if (text.empty())
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

const char* flowControlText(int flowControl) {
    switch (flowControl) {
        case platform::SerialLine::kFlowHardware:
            return "flowControl DTR/DSR";
        case platform::SerialLine::kFlowXonXoff:
            return "flowControl Xon/Xoff";
        default:
            return "flowControl is None";
    }
}

}  // namespace

#define COM_WRITE(method, ...) TraceWrite(portId, 1, "CPortCom::" method, __LINE__, __VA_ARGS__)
#define COM_DETAIL(method, ...) \
    TraceWrite(portId, kDetail, "CPortCom::" method, __LINE__, __VA_ARGS__)
#define COM_ERROR(method, ...) TraceError(portId, "CPortCom::" method, __LINE__, __VA_ARGS__)

CPortCom::CPortCom()
    : CPortInterface(kDefaultReadThreadInterval), serialPorts_(platform::systemSerialPorts()) {}

CPortCom::~CPortCom() {
    COM_WRITE("~CPortCom", "CPortCom::~CPortCom");
    // The read thread uses this object's members; it must end before they go.
    if (HasReadThread())
        StopReadThread();
}

void CPortCom::SetComPortDevCtrl(bool enableCtrl) {
    deviceControl = enableCtrl;
}

void CPortCom::SetCheckModemStatus(bool bCheckCTS, bool bCheckDSR) {
    checkCTS = bCheckCTS;
    checkDSR = bCheckDSR;
}

void CPortCom::SetSerialPorts(std::shared_ptr<platform::SerialPorts> ports) {
    serialPorts_ = ports ? std::move(ports) : platform::systemSerialPorts();
}

bool CPortCom::CreateDeviceOption(int type, const std::string& name) {
    // A device node keeps its letter case; a COM name is matched without regard to it.
    bool node = platform::isSerialDeviceNode(name);
    std::string upper = node ? name : platform::asciiUpper(name);
    if (!node && upper.compare(0, 3, "COM") != 0)
        return false;

    std::vector<std::string> fields = platform::splitFields(upper, ':');
    deviceName = fields[0];
    int* settings[kSettingCount] = {&line.baudRate, &line.dataBits, &line.parity, &line.stopBits,
                                    &line.flowControl};
    for (int i = 0; i < kSettingCount && i + 1 < static_cast<int>(fields.size()); ++i) {
        int value = 0;
        if (!parseDecimal(fields[i + 1], value))
            continue;
        *settings[i] = value;
        settingGiven[i] = true;
    }
    if (!node && deviceName.compare(0, 3, "COM") != 0)
        return false;

    timeouts = platform::CommTimeouts{2, 0, 50, 10, 5000};
    if (type == CVN_PORT_BLUETOOTH) {
        line.dataBits = 8;
        line.parity = platform::SerialLine::kParityNone;
        line.stopBits = platform::SerialLine::kOneStopBit;
        line.flowControl = platform::SerialLine::kFlowHardware;
        // The driver provider of a virtual COM port names its Bluetooth stack; the
        // serial nodes here carry none.
        bluetoothStack = 0;
    }
    return true;
}

std::string CPortCom::devicePath() const {
    return platform::DosDeviceMap::standard().target(deviceName);
}

const char* CPortCom::LinkLabel() const {
    return portType == CVN_PORT_BLUETOOTH ? "Bluetooth" : "BLE";
}

bool CPortCom::OpenPort() {
    if (!CPortInterface::OpenPort() || !OpenPortSerial())
        return false;
    lastSignal_ = kPowerNeverOpened;
    readFailed_ = false;
    StartAfterOpen();
    return true;
}

bool CPortCom::OpenPortSerial() {
    const char* label = LinkLabel();
    COM_WRITE("OpenPortSerial", "+%s", label);
    if (m_bOpen)
        return m_bOpen;
    // A handle a failed try left behind goes first.
    takeDevice();

    // Only the read thread reopens, and only while a reopen is pending.
    const bool onReadThread = reopenPending;
    std::string path = devicePath();
    int error = platform::kDeviceNotFound;
    std::unique_ptr<platform::SerialDevice> opened;
    if (!path.empty())
        opened = serialPorts_->open(path, error);
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.openSettleMs));
    if (!opened) {
        COM_ERROR("OpenPortSerial", "-(%s) : port is INVALID_HANDLE_VALUE, GetLastError(%d)", label,
                  error);
        return false;
    }
    std::shared_ptr<platform::SerialDevice> opening = std::move(opened);
    // A failed step leaves the handle for ClosePort to release.
    if (!setDevice(opening, onReadThread))
        return false;
    if (!opening->readState()) {
        COM_ERROR("OpenPortSerial", "-(%s) : fail to GetCommState", label);
        return false;
    }
    COM_WRITE("OpenPortSerial", "%s", flowControlText(line.flowControl));
    if (!opening->applyLine(line)) {
        COM_ERROR("OpenPortSerial", "-(%s) : fail to SetCommState=%d", label, opening->lastError());
        return false;
    }
    if (!opening->applyTimeouts(timeouts)) {
        COM_ERROR("OpenPortSerial", "-(%s) : fail to SetCommTimeouts=%d", label,
                  opening->lastError());
        return false;
    }
    // The driver sizes its own queues here; the size is kept for the trace.
    inputQueueSize = kInputQueueSize;
    opening->purge(platform::SerialDevice::kPurgeOutput | platform::SerialDevice::kPurgeInput);
    if (!CheckModemStatus())
        return false;
    m_bOpen = true;
    powerStatus = kPowerOnLine;
    COM_WRITE("OpenPortSerial", "-(%s) success", label);
    return true;
}

bool CPortCom::OpenPortBluetooth() {
    if (deviceControl) {
        COM_WRITE("OpenPortBluetooth", "Switching Device State");
        if (platform::switchBluetoothDevice(deviceName, true) ==
            platform::DeviceSwitch::NotNeeded) {
            platform::SystemVersion version = platform::systemVersion();
            COM_WRITE("OpenPortBluetooth",
                      "not needed on %s (kernel %s): the link connects on open",
                      version.systemName.c_str(), version.kernelRelease.c_str());
        }
    }
    return OpenPortSerial();
}

bool CPortCom::CheckModemStatus() {
    std::shared_ptr<platform::SerialDevice> current = device();
    platform::ModemStatus status = current ? current->modemStatus() : platform::ModemStatus{};
    if (status.outcome == platform::ModemStatus::Outcome::Failed) {
        COM_ERROR("CheckModemStatus", "fail GetCommModemStatus");
        return false;
    }
    // A terminal without modem lines (a pseudo-terminal, some adapters) could never be
    // on-line by them: its lines count as on.
    unsigned mask = status.outcome == platform::ModemStatus::Outcome::NoLines
                        ? platform::kModemCts | platform::kModemDsr
                        : status.mask;
    if (lastModemStatus_.exchange(mask) != mask)
        COM_DETAIL("CheckModemStatus", "change GetCommModemStatus : dwMask=%u", mask);
    if (checkCTS && !(mask & platform::kModemCts))
        return false;
    return !(checkDSR && !(mask & platform::kModemDsr));
}

void CPortCom::Signal(bool onLine) {
    int status = onLine ? kPowerOnLine : kPowerOffLine;
    powerStatus = status;
    if (lastSignal_.exchange(status) == status)
        return;
    COM_WRITE("ReadPort", "%s", onLine ? "Serial On-line signal" : "Serial Off-line signal");
    FirePowerStatus(onLine);
}

int CPortCom::ReadPort(char* buffer, int length) {
    if (StopRequested())
        return 0;
    if (!m_bOpen && reopenPending) {
        bool reopened = portType == CVN_PORT_BLUETOOTH ? OpenPortBluetooth() : OpenPortSerial();
        if (reopened) {
            reopenPending = false;
            COM_WRITE("ReadPort", "retry :Success");
            InterruptibleWait(timings_.reopenSettleMs);
        }
    }
    if (StopRequested())
        return 0;
    std::shared_ptr<platform::SerialDevice> current = device();
    if (!current) {
        if (portType == CVN_PORT_BLUETOOTH) {
            COM_WRITE("ReadPort", "failed. sleep time");
            InterruptibleWait(timings_.noDeviceRetryMs);
        }
        return 0;
    }
    if (CheckModemStatus()) {
        Signal(true);
    } else {
        current->purge(platform::SerialDevice::kPurgeOutput);
        Signal(false);
        if (!m_bOpen)
            return 0;
        if (portType == CVN_PORT_BLUETOOTH) {
            m_bOpen = false;
            takeDevice();
            reopenPending = true;
        }
    }
    if (!m_bOpen)
        return 0;

    int wanted = kBluetoothReadSize;
    if (portType != CVN_PORT_BLUETOOTH) {
        wanted = current->queuedInput();
        if (wanted <= 0) {
            readFailed_ = wanted < 0;
            return 0;
        }
    }
    wanted = std::min(wanted, length);
    if (useOverlappedIO)
        COM_DETAIL("ReadPort",
                   "******Read File start (dwRead=%d) ****************************************",
                   wanted);
    platform::DeviceIo io = current->read(buffer, wanted);
    readFailed_ = io.outcome == platform::DeviceIo::Outcome::Failed;
    return io.bytes;
}

void CPortCom::PauseBetweenReads(int ms) {
    std::shared_ptr<platform::SerialDevice> current = device();
    // Only a device that is being read ends the pause with its bytes: one off-line, or
    // failing, would end it again and again.
    if (!current || !m_bOpen || powerStatus != kPowerOnLine || readFailed_) {
        InterruptibleWait(ms);
        return;
    }
    current->waitReadable(ms);
}

int CPortCom::WritePort(const void* data, int length, int afterSleep) {
    COM_DETAIL("WritePort", "+(dwWritten : %d, afterSleep : %d)", length, afterSleep);
    std::shared_ptr<platform::SerialDevice> current = device();
    if (!m_bOpen || data == nullptr || length <= 0 || !current) {
        COM_ERROR("WritePort", "-fail to invalid parameters");
        return 0;
    }
    if (useOverlappedIO)
        COM_DETAIL("WritePort", "call WriteFile");
    platform::DeviceIo io = current->write(data, length);
    if (io.outcome != platform::DeviceIo::Outcome::Done)
        COM_DETAIL("WritePort", "GetLastError() : %d", io.error);
    if (io.bytes > 0)
        TraceDump(portId, data, static_cast<size_t>(io.bytes));
    if (io.bytes <= 0)
        return 0;
    SleepAfterWrite(afterSleep);
    return io.bytes;
}

void CPortCom::ClosePort() {
    COM_DETAIL("ClosePort", "+");
    // Keeps the read thread from reopening what is being closed.
    m_bTerminateThread = true;
    m_bOpen = false;
    reopenPending = false;
    if (std::shared_ptr<platform::SerialDevice> closing = takeDevice()) {
        // Written is not yet sent: the line may still hold the end of the last job, which
        // a purge would throw away. Only what a printer does not take within the drain
        // goes, and all of it for a printer that is off-line.
        unsigned purge = platform::SerialDevice::kPurgeInput;
        int left = powerStatus == kPowerOnLine
                       ? closing->drain(timings_.closeStallMs, timings_.closeDrainMs)
                       : -1;
        if (left > 0)
            COM_WRITE("ClosePort", "the printer did not take the last %d bytes", left);
        if (left != 0)
            purge |= platform::SerialDevice::kPurgeOutput;
        COM_DETAIL("ClosePort", "call PurgeComm and CancelIo");
        closing->purge(purge);
        closing->cancel();
    }
    COM_WRITE("ClosePort", "-Success");
    CPortInterface::ClosePort();
    // A reopen under way when the close came refuses its device (see setDevice); this
    // catches one that got in before the stop flag was up.
    takeDevice();
    m_bOpen = false;
}

std::shared_ptr<platform::SerialDevice> CPortCom::device() const {
    std::lock_guard<std::mutex> guard(deviceMutex_);
    return m_hPort;
}

bool CPortCom::setDevice(std::shared_ptr<platform::SerialDevice> made, bool fromReadThread) {
    std::shared_ptr<platform::SerialDevice> old;
    std::lock_guard<std::mutex> guard(deviceMutex_);
    // ClosePort raises the stop flag before it takes the device under this lock: a reopen
    // either lands before and is taken, or sees the flag here.
    if (fromReadThread && StopRequested())
        return false;
    old = std::move(m_hPort);
    m_hPort = std::move(made);
    return true;
}

std::shared_ptr<platform::SerialDevice> CPortCom::takeDevice() {
    std::lock_guard<std::mutex> guard(deviceMutex_);
    return std::move(m_hPort);
}
