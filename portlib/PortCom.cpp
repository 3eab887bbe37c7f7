#include "PortCom.h"

#include <charconv>
#include <vector>

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;
// The system errors an open reports: no such device, and no driver for it here yet.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorNotSupported = 50;

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return fields;
}

bool parseDecimal(const std::string& text, int& value) {
    if (text.empty())
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

CPortCom::CPortCom() : CPortInterface(kDefaultReadThreadInterval) {}

CPortCom::~CPortCom() {
    TraceWrite(portId, 1, "CPortCom::~CPortCom", __LINE__, "CPortCom::~CPortCom");
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

bool CPortCom::CreateDeviceOption(int type, const std::string& name) {
    // A device node keeps its letter case; a COM name is matched without regard to it.
    bool node = platform::isSerialDeviceNode(name);
    std::string upper = node ? name : platform::asciiUpper(name);
    if (!node && upper.compare(0, 3, "COM") != 0)
        return false;

    std::vector<std::string> fields = splitFields(upper);
    deviceName = fields[0];
    int* settings[kSettingCount] = {&baudRate, &dataBits, &parity, &stopBits, &flowControl};
    for (int i = 0; i < kSettingCount && i + 1 < static_cast<int>(fields.size()); ++i) {
        int value = 0;
        if (!parseDecimal(fields[i + 1], value))
            continue;
        *settings[i] = value;
        settingGiven[i] = true;
    }
    if (!node && deviceName.compare(0, 3, "COM") != 0)
        return false;

    timeouts = CommTimeouts{2, 0, 50, 10, 5000};
    if (type == CVN_PORT_BLUETOOTH) {
        dataBits = kDefaultDataBits;
        parity = kParityNone;
        stopBits = kOneStopBit;
        flowControl = kFlowDtrDsr;
        // The driver provider of a virtual COM port names its Bluetooth stack; the
        // serial nodes here carry none.
        bluetoothStack = 0;
    }
    return true;
}

std::string CPortCom::devicePath() const {
    return platform::DosDeviceMap::standard().target(deviceName);
}

bool CPortCom::OpenPort() {
    if (!CPortInterface::OpenPort() || !OpenPortSerial())
        return false;
    StartAfterOpen();
    return true;
}

bool CPortCom::OpenPortSerial() {
    const char* kMethod = "CPortCom::OpenPortSerial";
    const char* label = portType == CVN_PORT_BLUETOOTH ? "Bluetooth" : "BLE";
    TraceWrite(portId, 1, kMethod, __LINE__, "+%s", label);
    if (m_bOpen)
        return m_bOpen;

    int error = platform::DosDeviceMap::standard().known(deviceName) ? kErrorNotSupported
                                                                     : kErrorFileNotFound;
    TraceError(portId, kMethod, __LINE__, "-(%s) : port is INVALID_HANDLE_VALUE, GetLastError(%d)",
               label, error);
    return false;
}

void CPortCom::ClosePort() {
    const char* kMethod = "CPortCom::ClosePort";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+");
    m_bOpen = false;
    TraceWrite(portId, 1, kMethod, __LINE__, "-Success");
    CPortInterface::ClosePort();
}

int CPortCom::ReadPort(char*, int) {
    if (m_bTerminateThread)
        return 0;
    if (!m_bOpen) {
        // Nothing to read without a device; a Bluetooth link waits before its next try.
        if (portType == CVN_PORT_BLUETOOTH) {
            TraceWrite(portId, 1, "CPortCom::ReadPort", __LINE__, "failed. sleep time");
            InterruptibleWait(kNoDeviceRetryMs);
        }
        return 0;
    }
    return 0;
}

int CPortCom::WritePort(const void* data, int length, int afterSleep) {
    const char* kMethod = "CPortCom::WritePort";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+(dwWritten : %d, afterSleep : %d)", length,
               afterSleep);
    if (!m_bOpen || data == nullptr || length <= 0) {
        TraceError(portId, kMethod, __LINE__, "-fail to invalid parameters");
        return 0;
    }
    return 0;
}
