// The owner of every port object of the library: hands out port identifiers, shares a
// port among the callers that name it, counts users and opens, routes each exported
// operation to its port, and opens the per-port trace channels.
//
// One mutex guards the list and the counts. It is held only while the list is searched
// or changed, never across a port's open, close or I/O nor a parser call, so a port
// operation on one thread never stalls the others.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "DriverPortHelper.h"
#include "PortInterface.h"
#include "cvnport.h"

class CPortListMng {
public:
    static constexpr int kFirstPortId = 100;
    static constexpr int kMaxTraceLevel = 2;

    // Makes the port object of a port type; none for a type without a class.
    using PortFactory = std::function<std::shared_ptr<CPortInterface>(int portType)>;
    static std::shared_ptr<CPortInterface> makePort(int portType);

    explicit CPortListMng(std::shared_ptr<IDriverPortHelper> driverPorts = nullptr,
                          PortFactory factory = nullptr);
    ~CPortListMng();
    CPortListMng(const CPortListMng&) = delete;
    CPortListMng& operator=(const CPortListMng&) = delete;

    // The trace name of a port type and name; "Port" when the pair is not accepted.
    static std::string traceName(int portType, const std::string& portName);
    static const char* dataTraceName(int portType);

    void SetTrace(int traceLevel, bool dataTrace);
    int Create(int portType, const std::string& portName, int deviceType);
    int Remove(int portId, int deviceId);
    bool empty() const;
    bool AnyOpen() const;
    // Closes every port that is still open (the library's unload); the ports stay listed.
    void CloseAll();

    int OpenPort(int portId, int deviceId);
    int ClosePort(int portId, int deviceId);

    void SetOutputBufferSize(int portId, int outBufferSize);
    void SetConnectMode(int portId, int connectMode);
    void SetReadThreadInterval(int portId, int interval);
    void SetUseReadThread(int portId, bool useThread);
    void SetUseOverlappedIO(int portId, bool useOverlapped);
    void SetUseWriteNullByte(int portId, bool useWriteNullByte);
    void SetNetworkTimeout(int portId, int connectTimeout, int pingTimeout, int pingCount);
    void SetComPortDevCtrl(int portId, bool enableCtrl);
    void SetCheckModemStatus(int portId, bool bCheckCTS, bool bCheckDSR);
    void SetSleepAfterWriting(int portId, int sleepTime);

    int Write(const void* data, int length, int portId);
    int WriteWithSleep(const void* data, int length, int afterSleep, int portId);
    void WriteLock(bool isWrite, int portId);
    int Read(void* buffer, int length, int timeout, int portId, int deviceId);
    int ReadAvailable(int portId, int deviceId);
    void Clear(int portId, int deviceId);
    bool IsConnected(int portId);

    bool SetDataReceiver(int portId, int deviceId, CVN_DATA_RECEIVER receiver);
    void SetPowerStatusReceiver(int portId, int deviceId, CVN_POWER_STATUS_RECEIVER receiver);
    void SetAsbMode(bool enabled, int portId, int deviceId, CVN_STATUS_RECEIVER receiver);
    bool GetAsbMode(int portId, int deviceId);
    void SetPnPMode(bool enabled, int portId, CVN_PNP_RECEIVER receiver);
    bool GetPnPMode(int portId);
    void SetRelvoAlarmReceiver(int portId, int deviceId, CVN_ALARM_RECEIVER receiver);

    // The port of an identifier; with a non-empty `method` a miss is traced under it.
    std::shared_ptr<CPortInterface> Lookup(int portId, const char* method);

private:
    struct Entry {
        std::shared_ptr<CPortInterface> port;
        // Opens per device identifier: a device stays marked in the parser until the
        // last of its users closes.
        std::map<int, int> deviceOpens;
    };

    Entry* FindLocked(int portId);
    // Marks or unmarks a device in the parser when its first user opens or its last
    // user closes; connect mode 1 parsers keep every device in use.
    void MarkDevice(int portId, CPortInterface& port, int deviceId, bool inUse);
    // The last close of a port: device, driver ports and data trace.
    void FinalClose(CPortInterface& port, int portId);
    void RestoreDriverPort(const CPortInterface& port, int portId);
    // Serial, parallel and USB ports keep the print queues off their devices.
    static bool usesDriverPort(const CPortInterface& port);

    std::shared_ptr<IDriverPortHelper> driverPorts_;
    PortFactory factory_;

    mutable std::mutex listMutex_;
    int nextPortId_ = kFirstPortId;
    int traceLevel_ = 0;
    bool dataTrace_ = false;
    std::list<Entry> ports_;  // newest first
};
