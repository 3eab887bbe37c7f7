#include "PortListMng.h"

#include <algorithm>
#include <vector>

#include "DevManHelper.h"
#include "PortCom.h"
#include "PortLpt.h"
#include "PortNet.h"
#include "PortUsb.h"
#include "ProgramFiles.h"
#include "RelvoParser.h"
#include "TraceLog.h"
#include "platform/DosDevices.h"

namespace {

constexpr int kDetail = 2;
constexpr const char* kTraceMarker = "trace.txt";
constexpr const char* kDataTraceMarker = "trace.bin";
constexpr const char* kRejectedName = "Port";

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// A serial or Bluetooth serial port: a COM name, or a serial device node of this platform.
bool isSerialName(const std::string& name) {
    return contains(name, "COM") || platform::isSerialDeviceNode(name);
}

bool marksDevices(int connectMode) {
    // Mode 2 starts as a printer and is marked like one, so that its data reaches the
    // caller when the gateway detection finds no gateway.
    return connectMode == kConnectModePrinter || connectMode == kConnectModeDetectGateway;
}

CRelvoParser* relvoOf(const std::shared_ptr<CCVNParser>& parser) {
    return dynamic_cast<CRelvoParser*>(parser.get());
}

}  // namespace

std::shared_ptr<CPortInterface> CPortListMng::makePort(int portType) {
    switch (portType) {
        case CVN_PORT_WIRELESS:
        case CVN_PORT_NETWORK:
            return std::make_shared<CPortNet>();
        case CVN_PORT_BLUETOOTH:
        case CVN_PORT_SERIAL:
            return std::make_shared<CPortCom>();
        case CVN_PORT_USB:
            return std::make_shared<CPortUsb>();
        case CVN_PORT_PARALLEL:
            return std::make_shared<CPortLpt>();
        default:
            return nullptr;
    }
}

CPortListMng::CPortListMng(std::shared_ptr<IDriverPortHelper> driverPorts, PortFactory factory)
    : driverPorts_(driverPorts ? std::move(driverPorts) : std::make_shared<CDevManHelper>()),
      factory_(factory ? std::move(factory) : PortFactory(&CPortListMng::makePort)) {}

CPortListMng::~CPortListMng() {
    // Only reached with ports left when a host never removed them; release their devices
    // and threads before the objects go.
    CloseAll();
    std::list<Entry> left;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        left.swap(ports_);
    }
    for (Entry& entry : left) {
        int id = entry.port->portId;
        entry.port.reset();
        TraceClose(id);
    }
}

bool CPortListMng::AnyOpen() const {
    std::lock_guard<std::mutex> guard(listMutex_);
    return std::any_of(ports_.begin(), ports_.end(), [](const Entry& entry) {
        return entry.port->openCount > 0 || entry.port->m_bOpen;
    });
}

void CPortListMng::CloseAll() {
    std::vector<std::shared_ptr<CPortInterface>> open;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        for (Entry& entry : ports_)
            if (entry.port->openCount > 0 || entry.port->m_bOpen)
                open.push_back(entry.port);
    }
    for (const std::shared_ptr<CPortInterface>& port : open)
        FinalClose(*port, port->portId);
}

std::string CPortListMng::traceName(int portType, const std::string& portName) {
    if (portName.empty())
        return kRejectedName;
    switch (portType) {
        case CVN_PORT_WIRELESS:
        case CVN_PORT_NETWORK:
            return "Net";
        case CVN_PORT_BLUETOOTH:
        case CVN_PORT_SERIAL:
            return isSerialName(portName) ? "Com" : kRejectedName;
        case CVN_PORT_USB:
            return "Usb";
        case CVN_PORT_PARALLEL:
            return contains(portName, "LPT") ? "Lpt" : kRejectedName;
        default:
            return kRejectedName;
    }
}

const char* CPortListMng::dataTraceName(int portType) {
    switch (portType) {
        case CVN_PORT_WIRELESS:
            return "WiPRN";
        case CVN_PORT_NETWORK:
            return "NetPRN";
        case CVN_PORT_BLUETOOTH:
            return "BtPRN";
        case CVN_PORT_BLE:
            return "BlePRN";
        case CVN_PORT_USB:
            return "UsbPRN";
        case CVN_PORT_SERIAL:
            return "ComPRN";
        case CVN_PORT_PARALLEL:
            return "LptPRN";
        default:
            return "PRN";
    }
}

bool CPortListMng::usesDriverPort(const CPortInterface& port) {
    if (port.deviceName.empty())
        return false;
    switch (port.portType) {
        case CVN_PORT_BLUETOOTH:
        case CVN_PORT_SERIAL:
        case CVN_PORT_USB:
        case CVN_PORT_PARALLEL:
            return true;
        default:
            return false;
    }
}

void CPortListMng::SetTrace(int traceLevel, bool dataTrace) {
    std::lock_guard<std::mutex> guard(listMutex_);
    traceLevel_ = traceLevel;
    dataTrace_ = dataTrace;
}

bool CPortListMng::empty() const {
    std::lock_guard<std::mutex> guard(listMutex_);
    return ports_.empty();
}

CPortListMng::Entry* CPortListMng::FindLocked(int portId) {
    for (Entry& entry : ports_)
        if (entry.port->portId == portId)
            return &entry;
    return nullptr;
}

std::shared_ptr<CPortInterface> CPortListMng::Lookup(int portId, const char* method) {
    std::shared_ptr<CPortInterface> port;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        if (Entry* entry = FindLocked(portId))
            port = entry->port;
    }
    if (!port && method != nullptr && method[0] != '\0')
        TraceError(portId, "CPortListMng::SetObject", __LINE__, "%s : pPortInterface is NULL",
                   method);
    return port;
}

int CPortListMng::Create(int portType, const std::string& portName, int deviceType) {
    const char* kMethod = "CPortListMng::Create";
    const bool textMarker = programfiles::fileTest(kTraceMarker, true);
    const bool dataMarker = programfiles::fileTest(kDataTraceMarker, true);

    std::unique_lock<std::mutex> lock(listMutex_);
    if (dataMarker)
        dataTrace_ = true;
    for (Entry& entry : ports_) {
        if (entry.port->portName != portName)
            continue;
        int id = entry.port->portId;
        ++entry.port->deviceRefCount;
        lock.unlock();
        TraceWrite(id, 1, kMethod, __LINE__, "+<portType : %d, portName : %s, deviceType : %d>",
                   portType, portName.c_str(), deviceType);
        TraceWrite(id, 1, kMethod, __LINE__, "-existing id used <%d>", id);
        return id;
    }

    std::string name = traceName(portType, portName);
    if (name == kRejectedName) {
        lock.unlock();
        TraceOpen(kTraceNoPortKey, textMarker ? 2 : 1, kRejectedName);
        TraceError(kTraceNoPortKey, kMethod, __LINE__, "strPort is empty or invalid string.");
        TraceClose(kTraceNoPortKey);
        return 0;
    }

    const int id = nextPortId_;
    int level = traceLevel_;
    if (textMarker)
        level = std::min(level + 1, kMaxTraceLevel);
    if (level != 0)
        TraceOpen(id, level, name);
    TraceWrite(id, 1, kMethod, __LINE__, "+<portType : %d, portName : %s, deviceType : %d>",
               portType, portName.c_str(), deviceType);

    std::shared_ptr<CPortInterface> port = factory_(portType);
    if (!port) {
        lock.unlock();
        TraceWrite(id, 1, kMethod, __LINE__, "- fail to create port id : %d", 0);
        TraceClose(id);
        return 0;
    }
    if (portType == CVN_PORT_USB)
        port->readThreadInterval = CPortUsb::kDefaultReadThreadInterval;
    port->deviceRefCount = 1;
    port->portName = portName;
    port->portId = id;
    ++nextPortId_;
    port->portType = portType;
    // A refused name is traced here and keeps the port from ever opening.
    port->ApplyPortName(portType, portName);
    port->openCount = 0;
    ports_.push_front(Entry{port, {}});
    lock.unlock();
    TraceWrite(id, 1, kMethod, __LINE__, "- new created id : %d", id);
    return id;
}

int CPortListMng::Remove(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::Remove";
    TraceWrite(portId, 1, kMethod, __LINE__, "+<portId : %d,  deviceId : %d>", portId, deviceId);
    std::shared_ptr<CPortInterface> removed;
    int remaining = 0;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        auto found = std::find_if(ports_.begin(), ports_.end(), [portId](const Entry& entry) {
            return entry.port->portId == portId;
        });
        if (found == ports_.end())
            return 0;
        remaining = --found->port->deviceRefCount;
        if (remaining <= 0) {
            removed = std::move(found->port);
            ports_.erase(found);
        }
    }
    if (!removed) {
        TraceWrite(portId, 1, kMethod, __LINE__,
                   "-<deviceId=%d> : partial remove. remain port count:%d", deviceId, remaining);
        return remaining;
    }
    TraceWrite(portId, 1, kMethod, __LINE__, "All Remove. delete port.");
    // A host that removes an open port still gets its device released and its read
    // thread stopped before the object goes.
    if (removed->openCount > 0 || removed->m_bOpen)
        FinalClose(*removed, portId);
    removed.reset();
    TraceClose(portId);
    return 0;
}

void CPortListMng::MarkDevice(int portId, CPortInterface& port, int deviceId, bool inUse) {
    if (!marksDevices(port.connectMode))
        return;
    std::shared_ptr<CCVNParser> parser = port.parser();
    if (!parser)
        return;
    bool transition = true;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        if (Entry* entry = FindLocked(portId)) {
            int& opens = entry->deviceOpens[deviceId];
            if (inUse) {
                transition = ++opens == 1;
            } else {
                if (opens > 0)
                    --opens;
                transition = opens == 0;
                if (opens == 0)
                    entry->deviceOpens.erase(deviceId);
            }
        }
    }
    if (transition)
        parser->SetUseDevice(deviceId, inUse);
}

int CPortListMng::OpenPort(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::OpenPort";
    TraceWrite(portId, 1, kMethod, __LINE__, "+(portId : %d, deviceId : %d)", portId, deviceId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return 0;

    int openCount = 0;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        if (port->openCount >= 1)
            openCount = ++port->openCount;
    }
    if (openCount > 0) {
        MarkDevice(portId, *port, deviceId, true);
        TraceWrite(portId, 1, kMethod, __LINE__, "-already port open=%d", openCount);
        return openCount;
    }

    if (usesDriverPort(*port))
        driverPorts_->moveDriverPort(portId, port->deviceName);
    // A port that does not stay open gives the print queues back at once: nothing else
    // would (a host removes a port it could not open without closing it).
    if (!port->OpenPort()) {
        port->ClosePort();
        RestoreDriverPort(*port, portId);
        TraceWrite(portId, 1, kMethod, __LINE__, "-<retVal : %d>", 0);
        return 0;
    }
    if (!port->IsConnected()) {
        port->ClosePort();
        RestoreDriverPort(*port, portId);
        TraceWrite(portId, 1, kMethod, __LINE__, "-<retVal : %d>", 1);
        return 1;
    }
    bool dataTrace = false;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        port->openCount = 1;
        if (Entry* entry = FindLocked(portId))
            entry->deviceOpens.clear();
        dataTrace = dataTrace_;
    }
    MarkDevice(portId, *port, deviceId, true);
    if (dataTrace)
        TraceOpen(portId + kTraceDumpKeyOffset, 1, dataTraceName(port->portType));
    TraceWrite(portId, 1, kMethod, __LINE__, "-<retVal : %d>", 1);
    return 1;
}

void CPortListMng::FinalClose(CPortInterface& port, int portId) {
    port.ClosePort();
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        port.openCount = 0;
        if (Entry* entry = FindLocked(portId))
            entry->deviceOpens.clear();
    }
    RestoreDriverPort(port, portId);
    TraceDumpClose(portId);
}

void CPortListMng::RestoreDriverPort(const CPortInterface& port, int portId) {
    if (usesDriverPort(port))
        driverPorts_->restoreDriverPort(portId, port.deviceName);
}

int CPortListMng::ClosePort(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::ClosePort";
    TraceWrite(portId, 1, kMethod, __LINE__, "+<portId : %d, deviceId : %d>", portId, deviceId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return -1;

    MarkDevice(portId, *port, deviceId, false);
    int remaining = 0;
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        if (port->openCount > 1)
            remaining = --port->openCount;
    }
    if (remaining > 0) {
        TraceWrite(portId, 1, kMethod, __LINE__, "-another device using port=%d.", remaining);
        return remaining;
    }
    FinalClose(*port, portId);
    TraceWrite(portId, 1, kMethod, __LINE__, "-End");
    return 0;
}

void CPortListMng::SetOutputBufferSize(int portId, int outBufferSize) {
    const char* kMethod = "CPortListMng::SetOutputBufferSize";
    if (auto port = Lookup(portId, kMethod)) {
        port->outputBufferSize = outBufferSize;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, outBufferSize : %d>", portId,
                   outBufferSize);
    }
}

void CPortListMng::SetConnectMode(int portId, int connectMode) {
    const char* kMethod = "CPortListMng::SetConnectMode";
    if (auto port = Lookup(portId, kMethod)) {
        port->connectMode = connectMode;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, connectMode : %d>", portId,
                   connectMode);
    }
}

void CPortListMng::SetReadThreadInterval(int portId, int interval) {
    const char* kMethod = "CPortListMng::SetReadThreadInterval";
    if (auto port = Lookup(portId, kMethod)) {
        port->readThreadInterval = interval;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, interval : %d>", portId, interval);
    }
}

void CPortListMng::SetUseReadThread(int portId, bool useThread) {
    const char* kMethod = "CPortListMng::SetUseReadThread";
    if (auto port = Lookup(portId, kMethod)) {
        port->useReadThread = useThread;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, useThread : %d>", portId,
                   useThread ? 1 : 0);
    }
}

void CPortListMng::SetUseOverlappedIO(int portId, bool useOverlapped) {
    const char* kMethod = "CPortListMng::SetUseOverlappedIO";
    if (auto port = Lookup(portId, kMethod)) {
        port->useOverlappedIO = useOverlapped;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, useOverlapped : %d>", portId,
                   useOverlapped ? 1 : 0);
    }
}

void CPortListMng::SetUseWriteNullByte(int portId, bool useWriteNullByte) {
    const char* kMethod = "CPortListMng::SetUseWriteNullByte";
    if (auto port = Lookup(portId, kMethod)) {
        port->useWriteNullByte = useWriteNullByte;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, useWriteNullByte : %d>", portId,
                   useWriteNullByte ? 1 : 0);
    }
}

void CPortListMng::SetNetworkTimeout(int portId, int connectTimeout, int pingTimeout,
                                     int pingCount) {
    const char* kMethod = "CPortListMng::SetNetworkTimeout";
    if (auto port = Lookup(portId, kMethod)) {
        port->SetNetworkTimeout(connectTimeout, pingTimeout, pingCount);
        TraceWrite(portId, 1, kMethod, __LINE__,
                   "-<portId : %d, connectTimeout : %d, pingTimeout : %d, pingCount : %d>", portId,
                   connectTimeout, pingTimeout, pingCount);
    }
}

void CPortListMng::SetComPortDevCtrl(int portId, bool enableCtrl) {
    const char* kMethod = "CPortListMng::SetComPortDevCtrl";
    if (auto port = Lookup(portId, kMethod)) {
        port->SetComPortDevCtrl(enableCtrl);
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, enableCtrl : %d>", portId,
                   enableCtrl ? 1 : 0);
    }
}

void CPortListMng::SetCheckModemStatus(int portId, bool bCheckCTS, bool bCheckDSR) {
    const char* kMethod = "CPortListMng::SetCheckModemStatus";
    if (auto port = Lookup(portId, kMethod)) {
        port->SetCheckModemStatus(bCheckCTS, bCheckDSR);
        TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, bCheckCTS : %d, bCheckDSR : %d>",
                   portId, bCheckCTS ? 1 : 0, bCheckDSR ? 1 : 0);
    }
}

void CPortListMng::SetSleepAfterWriting(int portId, int sleepTime) {
    const char* kMethod = "CPortListMng::SetSleepAfterWriting";
    if (auto port = Lookup(portId, kMethod)) {
        port->sleepAfterWriting = sleepTime;
        TraceWrite(portId, 1, kMethod, __LINE__, "-<sleepTime : %d, portId : %d>", sleepTime,
                   portId);
    }
}

int CPortListMng::Write(const void* data, int length, int portId) {
    const char* kMethod = "CPortListMng::Write";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return 0;
    int written = port->Write(data, length, 0);
    if (written != length)
        TraceError(portId, kMethod, __LINE__, "-<portId : %d, (%d/%d)>", portId, written, length);
    else
        TraceWrite(portId, kDetail, kMethod, __LINE__, "-<portId : %d, (%d/%d)>", portId, written,
                   length);
    return written;
}

int CPortListMng::WriteWithSleep(const void* data, int length, int afterSleep, int portId) {
    const char* kMethod = "CPortListMng::Write";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+<writeLen : %d, afterSleep : %d, portId : %d>",
               length, afterSleep, portId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return 0;
    int written = port->Write(data, length, afterSleep);
    if (written != length)
        TraceError(portId, kMethod, __LINE__, "-<portId : %d, afterSleep : %d, (%d/%d)>", portId,
                   afterSleep, written, length);
    else
        TraceWrite(portId, kDetail, kMethod, __LINE__, "-<portId : %d, afterSleep : %d, (%d/%d)>",
                   portId, afterSleep, written, length);
    return written;
}

void CPortListMng::WriteLock(bool isWrite, int portId) {
    const char* kMethod = "CPortListMng::WriteLock";
    if (auto port = Lookup(portId, kMethod)) {
        port->SetWrite(isWrite);
        TraceWrite(portId, 1, kMethod, __LINE__, "-<isWrite : %d, portId : %d>", isWrite ? 1 : 0,
                   portId);
    }
}

int CPortListMng::Read(void* buffer, int length, int timeout, int portId, int deviceId) {
    const char* kMethod = "CPortListMng::Read";
    TraceWrite(portId, kDetail, kMethod, __LINE__, "+<reqReadLen : %d, portId : %d, deviceId : %d>",
               length, portId, deviceId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return 0;
    int result = port->Read(buffer, length, timeout, deviceId);
    TraceWrite(portId, 1, kMethod, __LINE__,
               "-<portId : %d, deviceId : %d, request : %d, ret : %d>", portId, deviceId, length,
               result);
    return result;
}

int CPortListMng::ReadAvailable(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::ReadAvailable";
    TraceWrite(portId, 1, kMethod, __LINE__, "+<portId : %d, deviceId : %d>", portId, deviceId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return 0;
    std::shared_ptr<CCVNParser> parser = port->parser();
    int available = parser ? parser->Available(deviceId) : 0;
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, Available : %d>", portId, available);
    return available;
}

void CPortListMng::Clear(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::Clear";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return;
    if (std::shared_ptr<CCVNParser> parser = port->parser())
        parser->ClearData(deviceId);
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, deviceId : %d>", portId, deviceId);
}

bool CPortListMng::IsConnected(int portId) {
    const char* kMethod = "CPortListMng::IsConnected";
    TraceWrite(portId, 1, kMethod, __LINE__, "+<portId : %d>", portId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return false;
    bool connected = port->IsConnected();
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, isConnected : %d>", portId,
               connected ? 1 : 0);
    return connected;
}

bool CPortListMng::SetDataReceiver(int portId, int deviceId, CVN_DATA_RECEIVER receiver) {
    const char* kMethod = "CPortListMng::SetDataReceiver";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port || !port->useReadThread)
        return false;
    std::shared_ptr<CCVNParser> parser = port->parser();
    // A closed port has no parser to keep the receiver.
    if (!parser)
        return false;
    parser->SetDataReceiver(deviceId, receiver);
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, deviceId : %d>", portId, deviceId);
    return true;
}

void CPortListMng::SetPowerStatusReceiver(int portId, int deviceId,
                                          CVN_POWER_STATUS_RECEIVER receiver) {
    const char* kMethod = "CPortListMng::SetPowerStatusReceiver";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return;
    if (std::shared_ptr<CCVNParser> parser = port->parser())
        parser->SetPowerStatusReceiver(deviceId, receiver);
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, deviceId : %d>", portId, deviceId);
}

void CPortListMng::SetAsbMode(bool enabled, int portId, int deviceId,
                              CVN_STATUS_RECEIVER receiver) {
    const char* kMethod = "CPortListMng::SetAsbMode";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return;
    if (std::shared_ptr<CCVNParser> parser = port->parser())
        parser->SetASB(deviceId, enabled, enabled ? receiver : nullptr);
    TraceWrite(portId, 1, kMethod, __LINE__, "-<enabled : %d, portId : %d, deviceId : %d>",
               enabled ? 1 : 0, portId, deviceId);
}

bool CPortListMng::GetAsbMode(int portId, int deviceId) {
    const char* kMethod = "CPortListMng::GetAsbMode";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return false;
    std::shared_ptr<CCVNParser> parser = port->parser();
    bool enabled = parser && parser->GetASB(deviceId);
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, deviceId : %d>", portId, deviceId);
    return enabled;
}

void CPortListMng::SetPnPMode(bool enabled, int portId, CVN_PNP_RECEIVER receiver) {
    const char* kMethod = "CPortListMng::SetPnPMode";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return;
    if (port->connectMode == kConnectModeGateway) {
        std::shared_ptr<CCVNParser> parser = port->parser();
        if (CRelvoParser* relvo = relvoOf(parser))
            relvo->SetPnPMode(enabled, enabled ? receiver : nullptr);
    }
    TraceWrite(portId, 1, kMethod, __LINE__, "-<enabled : %d, portId : %d>", enabled ? 1 : 0,
               portId);
}

bool CPortListMng::GetPnPMode(int portId) {
    const char* kMethod = "CPortListMng::GetPnPMode";
    TraceWrite(portId, 1, kMethod, __LINE__, "+<portId : %d>", portId);
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return false;
    bool enabled = false;
    if (port->connectMode == kConnectModeGateway) {
        std::shared_ptr<CCVNParser> parser = port->parser();
        if (CRelvoParser* relvo = relvoOf(parser))
            enabled = relvo->GetPnPMode();
    }
    TraceWrite(portId, 1, kMethod, __LINE__, "-End");
    return enabled;
}

void CPortListMng::SetRelvoAlarmReceiver(int portId, int deviceId, CVN_ALARM_RECEIVER receiver) {
    const char* kMethod = "CPortListMng::SetRelvoAlarmReceiver";
    std::shared_ptr<CPortInterface> port = Lookup(portId, kMethod);
    if (!port)
        return;
    if (port->connectMode == kConnectModeGateway) {
        std::shared_ptr<CCVNParser> parser = port->parser();
        if (CRelvoParser* relvo = relvoOf(parser))
            relvo->SetRelvoAlarm(deviceId, receiver);
    }
    TraceWrite(portId, 1, kMethod, __LINE__, "-<portId : %d, deviceId : %d>", portId, deviceId);
}
