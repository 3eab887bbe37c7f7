#include "PortLpt.h"

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/Text.h"

namespace {

constexpr int kDetail = 2;
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorNotSupported = 50;

}  // namespace

CPortLpt::CPortLpt() : CPortInterface(kDefaultReadThreadInterval) {}

CPortLpt::~CPortLpt() {
    TraceWrite(portId, 1, "CPortLpt::~CPortLpt", __LINE__, "CPortLpt::~CPortLpt");
    if (HasReadThread())
        StopReadThread();
}

bool CPortLpt::CreateDeviceOption(int, const std::string& name) {
    std::string upper = platform::asciiUpper(name);
    if (upper.compare(0, 3, "LPT") != 0)
        return false;
    deviceName = upper.substr(0, upper.find(':'));

    // The time-outs of the current system family; the old single-user family, which
    // took other ones, is not among the systems we run on.
    timeouts = CommTimeouts{1, 0, 0, 1, 3000};
    TraceWrite(portId, 1, "CPortLpt::CreateDeviceOption", __LINE__, "%s", "");
    outputBufferSize = kDefaultOutputBufferSize;
    return true;
}

std::string CPortLpt::devicePath() const {
    return platform::DosDeviceMap::standard().target(deviceName);
}

bool CPortLpt::OpenPort() {
    const char* kMethod = "CPortLpt::OpenPort";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+");
    if (!CPortInterface::OpenPort())
        return false;
    if (m_bOpen)
        return m_bOpen;

    int error = platform::DosDeviceMap::standard().known(deviceName) ? kErrorNotSupported
                                                                     : kErrorFileNotFound;
    TraceError(portId, kMethod, __LINE__, "-port is INVALID_HANDLE_VALUE, GetLastError(%d)", error);
    return false;
}

void CPortLpt::ClosePort() {
    const char* kMethod = "CPortLpt::ClosePort";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+");
    m_bOpen = false;
    TraceWrite(portId, 1, kMethod, __LINE__, "-Success");
    CPortInterface::ClosePort();
}

int CPortLpt::ReadPort(char*, int) {
    const char* kMethod = "CPortLpt::ReadPort";
    if (m_bTerminateThread) {
        TraceWrite(portId, 1, kMethod, __LINE__, "1st flag.");
        return 0;
    }
    if (!m_bOpen) {
        TraceError(portId, kMethod, __LINE__, "m_hPort is NULL");
        return 0;
    }
    return 0;
}

int CPortLpt::WritePort(const void* data, int length, int) {
    if (!m_bOpen || data == nullptr || length <= 0) {
        TraceError(portId, "CPortLpt::WritePort", __LINE__, "-fail to invalid parameters");
        return 0;
    }
    return 0;
}
