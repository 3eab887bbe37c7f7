// The exported C interface of cvnport and the library's load and unload steps.
#include <cstring>
#include <mutex>
#include <string>

#include "ModelTable.h"
#include "Discovery.h"
#include "PortListMng.h"
#include "PortUsb.h"
#include "RegistUsb.h"
#include "TraceLog.h"
#include "cvnport.h"
#include "platform/ModuleHold.h"
#include "platform/Text.h"

namespace {

using platform::WideString;

CPortListMng& mng();

// Owns the one port list manager of the process: made at load; at unload the ports a
// host left open are closed (a port's read thread keeps the library loaded while it
// runs, so this is the end of the process or of a host that read without threads), and
// the manager is deleted only when no port is left in it. A receiver still running then
// may call an export and must find the manager.
class CPortMngApp {
public:
    CPortMngApp() {
        TraceSetEncoding(TraceEncoding::Utf16LE);
        manager();
    }
    ~CPortMngApp() {
        CPortListMng* left = nullptr;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            left = manager_;
        }
        if (!left)
            return;
        // Open ports with read threads here mean the process is ending (each thread holds
        // the library). Stopping them gives their references back, which must not unload
        // the library under this very function.
        if (left->AnyOpen())
            platform::ModuleHold::of(reinterpret_cast<const void*>(&mng)).keepToProcessEnd();
        // Without the lock: closing waits for read threads whose receivers may call exports.
        left->CloseAll();
        if (!left->empty())
            return;
        std::lock_guard<std::mutex> guard(mutex_);
        delete manager_;
        manager_ = nullptr;
    }

    CPortListMng& manager() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!manager_)
            manager_ = new CPortListMng();
        return *manager_;
    }

private:
    std::mutex mutex_;
    CPortListMng* manager_ = nullptr;
};

CPortMngApp theApp;

CPortListMng& mng() {
    return theApp.manager();
}

std::string toUtf8(const cvn_wchar* text) {
    return text ? platform::utf16ToUtf8(std::u16string_view(text)) : std::string();
}

WideString wideOf(const char* text) {
    return text ? platform::ansiToWide(text) : WideString();
}

WideString toWide(const std::string& utf8) {
    return platform::utf8ToUtf16(utf8);
}

// Writes the whole text and its terminating zero.
void writeOut(cvn_wchar* out, const WideString& text) {
    if (!out)
        return;
    std::memcpy(out, text.data(), text.size() * sizeof(cvn_wchar));
    out[text.size()] = 0;
}

void writeOut(char* out, const std::string& text) {
    if (!out)
        return;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = 0;
}

cvn_bool toBool(bool value) {
    return value ? 1 : 0;
}

// The logic behind each W/A pair, on wide strings.
int buildPortList(int mask, WideString& out) {
    discovery::PortList list = discovery::portList(mask);
    out = toWide(list.text);
    return list.count;
}

int usbPidList(WideString& out) {
    std::string list;
    int count = CRegistUsb().ProductIdList(list);
    out = toWide(list);
    return count;
}

bool usbPathByPid(const WideString& productId, WideString& out) {
    out = toWide(CPortUsb::DevicePathsByProductId(platform::utf16ToUtf8(productId)));
    return !out.empty();
}

bool usbPathBySerial(const WideString& serial, WideString& out) {
    out = toWide(CPortUsb::DevicePathsBySerialNumber(platform::utf16ToUtf8(serial)));
    return !out.empty();
}

bool convertUsbPath(const WideString& portName, WideString& out) {
    out = toWide(CPortUsb::ConvertDevicePath(platform::utf16ToUtf8(portName)));
    return !out.empty();
}

bool deviceName(const WideString& query, WideString& out) {
    out = toWide(modeltable::modelName(platform::utf16ToUtf8(query)));
    return !out.empty();
}

bool devicePid(const WideString& query, WideString& out) {
    out = toWide(modeltable::productId(platform::utf16ToUtf8(query)));
    return !out.empty();
}

int deviceType(const WideString& query, bool detailed) {
    std::unique_ptr<CCVNDeviceInfo> model = modeltable::lookup(platform::utf16ToUtf8(query));
    if (!model)
        return 0;
    return detailed ? model->typeCode : model->typeCode / 10 * 10;
}

using WideLookup = bool (*)(const WideString&, WideString&);

cvn_bool lookupW(WideLookup lookup, const cvn_wchar* input, cvn_wchar* out) {
    WideString result;
    bool found = lookup(input ? WideString(input) : WideString(), result);
    writeOut(out, result);
    return toBool(found && !result.empty());
}

cvn_bool lookupA(WideLookup lookup, const char* input, char* out) {
    WideString result;
    lookup(wideOf(input), result);
    std::string text = platform::wideToAnsi(result);
    writeOut(out, text);
    return toBool(!text.empty());
}

}  // namespace

extern "C" {

void SetTrace(int traceLevel, cvn_bool dataTrace) {
    mng().SetTrace(traceLevel, dataTrace != 0);
}

int CreatePortW(int portType, const cvn_wchar* portName, int deviceType) {
    return mng().Create(portType, toUtf8(portName), deviceType);
}

int CreatePortA(int portType, const char* portName, int deviceType) {
    return mng().Create(portType, platform::utf16ToUtf8(wideOf(portName)), deviceType);
}

int RemovePort(int portId, int deviceId) {
    return mng().Remove(portId, deviceId);
}

void SetOutputBufferSize(int portId, int outBufferSize) {
    mng().SetOutputBufferSize(portId, outBufferSize);
}

void SetConnectMode(int portId, int connectMode) {
    mng().SetConnectMode(portId, connectMode);
}

void SetReadThreadInterval(int portId, int interval) {
    mng().SetReadThreadInterval(portId, interval);
}

void SetUseReadThread(int portId, cvn_bool useThread) {
    mng().SetUseReadThread(portId, useThread != 0);
}

void SetUseOverlappedIO(int portId, cvn_bool useOverlapped) {
    mng().SetUseOverlappedIO(portId, useOverlapped != 0);
}

void SetUseWriteNullByte(int portId, cvn_bool useWriteNullByte) {
    mng().SetUseWriteNullByte(portId, useWriteNullByte != 0);
}

void SetNetworkTimeout(int portId, int connectTimeout, int pingTimeout, int pingCount) {
    mng().SetNetworkTimeout(portId, connectTimeout, pingTimeout, pingCount);
}

void SetComPortDevCtrl(int portId, cvn_bool enableCtrl) {
    mng().SetComPortDevCtrl(portId, enableCtrl != 0);
}

void SetCheckModemStatus(int portId, cvn_bool bCheckCTS, cvn_bool bCheckDSR) {
    mng().SetCheckModemStatus(portId, bCheckCTS != 0, bCheckDSR != 0);
}

void SetSleepAfterWriting(int portId, int sleepTime) {
    mng().SetSleepAfterWriting(portId, sleepTime);
}

int OpenPort(int portId, int deviceId) {
    return mng().OpenPort(portId, deviceId);
}

int ClosePort(int portId, int deviceId) {
    return mng().ClosePort(portId, deviceId);
}

int Write(const void* data, int length, int portId) {
    return mng().Write(data, length, portId);
}

int WriteWithSleep(const void* data, int length, int afterSleep, int portId) {
    return mng().WriteWithSleep(data, length, afterSleep, portId);
}

void SetWrite(cvn_bool isWrite, int portId) {
    mng().WriteLock(isWrite != 0, portId);
}

int Read(void* buffer, int length, int timeout, int portId, int deviceId) {
    return mng().Read(buffer, length, timeout, portId, deviceId);
}

int ReadAvailable(int portId, int deviceId) {
    return mng().ReadAvailable(portId, deviceId);
}

void Clear(int portId, int deviceId) {
    mng().Clear(portId, deviceId);
}

cvn_bool IsPowerState(int portId) {
    return toBool(mng().IsConnected(portId));
}

cvn_bool SetDataReceiver(int portId, int deviceId, CVN_DATA_RECEIVER receiver) {
    return toBool(mng().SetDataReceiver(portId, deviceId, receiver));
}

void SetPowerStatusReceiver(int portId, int deviceId, CVN_POWER_STATUS_RECEIVER receiver) {
    mng().SetPowerStatusReceiver(portId, deviceId, receiver);
}

void SetAsbMode(cvn_bool enabled, int portId, int deviceId, CVN_STATUS_RECEIVER receiver) {
    mng().SetAsbMode(enabled != 0, portId, deviceId, receiver);
}

cvn_bool GetAsbMode(int portId, int deviceId) {
    return toBool(mng().GetAsbMode(portId, deviceId));
}

void SetPnPMode(cvn_bool enabled, int portId, CVN_PNP_RECEIVER receiver) {
    mng().SetPnPMode(enabled != 0, portId, receiver);
}

cvn_bool GetPnPMode(int portId) {
    return toBool(mng().GetPnPMode(portId));
}

void SetRelvoAlarmReceiver(int portId, int deviceId, CVN_ALARM_RECEIVER receiver) {
    mng().SetRelvoAlarmReceiver(portId, deviceId, receiver);
}

int GetPortListW(int portTypeMask, cvn_wchar* portList) {
    WideString list;
    int count = buildPortList(portTypeMask, list);
    writeOut(portList, list);
    return count;
}

int GetPortListA(int portTypeMask, char* portList) {
    WideString list;
    int count = buildPortList(portTypeMask, list);
    writeOut(portList, platform::wideToAnsi(list));
    return count;
}

int GetUsbPidListW(cvn_wchar* pidList) {
    WideString list;
    int count = usbPidList(list);
    writeOut(pidList, list);
    return count;
}

int GetUsbPidListA(char* pidList) {
    WideString list;
    int count = usbPidList(list);
    writeOut(pidList, platform::wideToAnsi(list));
    return count;
}

cvn_bool GetUSBDevicePathW(const cvn_wchar* productId, cvn_wchar* devicePath) {
    return lookupW(usbPathByPid, productId, devicePath);
}

cvn_bool GetUSBDevicePathA(const char* productId, char* devicePath) {
    return lookupA(usbPathByPid, productId, devicePath);
}

cvn_bool GetUSBDevicePathWBySN(const cvn_wchar* serialNumber, cvn_wchar* devicePath) {
    return lookupW(usbPathBySerial, serialNumber, devicePath);
}

cvn_bool GetUSBDevicePathABySN(const char* serialNumber, char* devicePath) {
    return lookupA(usbPathBySerial, serialNumber, devicePath);
}

cvn_bool ConvertUSBDevicePathW(const cvn_wchar* portName, cvn_wchar* devicePath) {
    return lookupW(convertUsbPath, portName, devicePath);
}

cvn_bool ConvertUSBDevicePathA(const char* portName, char* devicePath) {
    return lookupA(convertUsbPath, portName, devicePath);
}

cvn_bool GetDeviceNameW(const cvn_wchar* productIdOrName, cvn_wchar* name) {
    return lookupW(deviceName, productIdOrName, name);
}

cvn_bool GetDeviceNameA(const char* productIdOrName, char* name) {
    return lookupA(deviceName, productIdOrName, name);
}

cvn_bool GetDevicePidW(const cvn_wchar* productIdOrName, cvn_wchar* productId) {
    return lookupW(devicePid, productIdOrName, productId);
}

cvn_bool GetDevicePidA(const char* productIdOrName, char* productId) {
    return lookupA(devicePid, productIdOrName, productId);
}

int GetDeviceTypeW(const cvn_wchar* productIdOrName, cvn_bool detailed) {
    return deviceType(productIdOrName ? WideString(productIdOrName) : WideString(), detailed != 0);
}

int GetDeviceTypeA(const char* productIdOrName, cvn_bool detailed) {
    return deviceType(wideOf(productIdOrName), detailed != 0);
}

}  // extern "C"
