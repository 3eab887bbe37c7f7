/*
 * cvnport: the port library through which printer libraries reach serial, Bluetooth
 * serial, parallel, USB and network printers.
 *
 * Functions ending in W take and return UTF-16 strings, those ending in A strings in
 * the system's ANSI code page. Output strings are written in full with a terminating
 * zero into buffers the caller sizes. Booleans are one byte.
 */
#ifndef CVNPORT_H
#define CVNPORT_H

/* UTF-16 code unit, shared with the printer libraries' headers. */
#ifndef CVN_WCHAR_DEFINED
#define CVN_WCHAR_DEFINED
#ifdef _WIN32
#include <wchar.h>
typedef wchar_t cvn_wchar;
#elif defined(__cplusplus)
typedef char16_t cvn_wchar;
#else
#include <uchar.h>
typedef char16_t cvn_wchar;
#endif
#endif

#ifdef _WIN32
#define CVNPORT_CALL __stdcall
#ifdef CVNPORT_BUILDING
#define CVNPORT_EXPORT __declspec(dllexport)
#else
#define CVNPORT_EXPORT __declspec(dllimport)
#endif
#else
#define CVNPORT_CALL
#define CVNPORT_EXPORT __attribute__((visibility("default")))
#endif

typedef unsigned char cvn_bool;

#ifdef __cplusplus
extern "C" {
#endif

/* Callbacks, called on the port's read thread (or on the caller of Read when the port
 * has no read thread). */
typedef void (*CVN_DATA_RECEIVER)(const char* data, int length);
typedef void (*CVN_POWER_STATUS_RECEIVER)(int onLine);
typedef void (*CVN_STATUS_RECEIVER)(const unsigned char* status);
typedef void (*CVN_PNP_RECEIVER)(const char* data, int length);
typedef void (*CVN_ALARM_RECEIVER)(int kind, int value1, int value2);

/* Port types (bit values, also used as masks by GetPortList). */
#define CVN_PORT_WIRELESS 1
#define CVN_PORT_NETWORK 2
#define CVN_PORT_BLUETOOTH 4
#define CVN_PORT_BLE 8
#define CVN_PORT_USB 16
#define CVN_PORT_SERIAL 32
#define CVN_PORT_PARALLEL 64

/* Trace and port lifetime */
CVNPORT_EXPORT void CVNPORT_CALL SetTrace(int traceLevel, cvn_bool dataTrace);
CVNPORT_EXPORT int CVNPORT_CALL CreatePortW(int portType, const cvn_wchar* portName,
                                            int deviceType);
CVNPORT_EXPORT int CVNPORT_CALL CreatePortA(int portType, const char* portName, int deviceType);
CVNPORT_EXPORT int CVNPORT_CALL RemovePort(int portId, int deviceId);

/* Options */
CVNPORT_EXPORT void CVNPORT_CALL SetOutputBufferSize(int portId, int outBufferSize);
CVNPORT_EXPORT void CVNPORT_CALL SetConnectMode(int portId, int connectMode);
CVNPORT_EXPORT void CVNPORT_CALL SetReadThreadInterval(int portId, int interval);
CVNPORT_EXPORT void CVNPORT_CALL SetUseReadThread(int portId, cvn_bool useThread);
CVNPORT_EXPORT void CVNPORT_CALL SetUseOverlappedIO(int portId, cvn_bool useOverlapped);
CVNPORT_EXPORT void CVNPORT_CALL SetUseWriteNullByte(int portId, cvn_bool useWriteNullByte);
CVNPORT_EXPORT void CVNPORT_CALL SetNetworkTimeout(int portId, int connectTimeout, int pingTimeout,
                                                   int pingCount);
CVNPORT_EXPORT void CVNPORT_CALL SetComPortDevCtrl(int portId, cvn_bool enableCtrl);
CVNPORT_EXPORT void CVNPORT_CALL SetCheckModemStatus(int portId, cvn_bool bCheckCTS,
                                                     cvn_bool bCheckDSR);
CVNPORT_EXPORT void CVNPORT_CALL SetSleepAfterWriting(int portId, int sleepTime);

/* Open and close */
CVNPORT_EXPORT int CVNPORT_CALL OpenPort(int portId, int deviceId);
CVNPORT_EXPORT int CVNPORT_CALL ClosePort(int portId, int deviceId);

/* Data transfer: buffer first, identifiers last. */
CVNPORT_EXPORT int CVNPORT_CALL Write(const void* data, int length, int portId);
CVNPORT_EXPORT int CVNPORT_CALL WriteWithSleep(const void* data, int length, int afterSleep,
                                               int portId);
CVNPORT_EXPORT void CVNPORT_CALL SetWrite(cvn_bool isWrite, int portId);
CVNPORT_EXPORT int CVNPORT_CALL Read(void* buffer, int length, int timeout, int portId,
                                     int deviceId);
CVNPORT_EXPORT int CVNPORT_CALL ReadAvailable(int portId, int deviceId);
CVNPORT_EXPORT void CVNPORT_CALL Clear(int portId, int deviceId);

/* Status and callbacks (after OpenPort) */
CVNPORT_EXPORT cvn_bool CVNPORT_CALL IsPowerState(int portId);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL SetDataReceiver(int portId, int deviceId,
                                                     CVN_DATA_RECEIVER receiver);
CVNPORT_EXPORT void CVNPORT_CALL SetPowerStatusReceiver(int portId, int deviceId,
                                                        CVN_POWER_STATUS_RECEIVER receiver);
CVNPORT_EXPORT void CVNPORT_CALL SetAsbMode(cvn_bool enabled, int portId, int deviceId,
                                            CVN_STATUS_RECEIVER receiver);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetAsbMode(int portId, int deviceId);
CVNPORT_EXPORT void CVNPORT_CALL SetPnPMode(cvn_bool enabled, int portId,
                                            CVN_PNP_RECEIVER receiver);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetPnPMode(int portId);
CVNPORT_EXPORT void CVNPORT_CALL SetRelvoAlarmReceiver(int portId, int deviceId,
                                                       CVN_ALARM_RECEIVER receiver);

/* Discovery */
CVNPORT_EXPORT int CVNPORT_CALL GetPortListW(int portTypeMask, cvn_wchar* portList);
CVNPORT_EXPORT int CVNPORT_CALL GetPortListA(int portTypeMask, char* portList);
CVNPORT_EXPORT int CVNPORT_CALL GetUsbPidListW(cvn_wchar* pidList);
CVNPORT_EXPORT int CVNPORT_CALL GetUsbPidListA(char* pidList);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetUSBDevicePathW(const cvn_wchar* productId,
                                                       cvn_wchar* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetUSBDevicePathA(const char* productId, char* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetUSBDevicePathWBySN(const cvn_wchar* serialNumber,
                                                           cvn_wchar* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetUSBDevicePathABySN(const char* serialNumber,
                                                           char* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL ConvertUSBDevicePathW(const cvn_wchar* portName,
                                                           cvn_wchar* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL ConvertUSBDevicePathA(const char* portName, char* devicePath);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetDeviceNameW(const cvn_wchar* productIdOrName,
                                                    cvn_wchar* deviceName);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetDeviceNameA(const char* productIdOrName, char* deviceName);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetDevicePidW(const cvn_wchar* productIdOrName,
                                                   cvn_wchar* productId);
CVNPORT_EXPORT cvn_bool CVNPORT_CALL GetDevicePidA(const char* productIdOrName, char* productId);
CVNPORT_EXPORT int CVNPORT_CALL GetDeviceTypeW(const cvn_wchar* productIdOrName, cvn_bool detailed);
CVNPORT_EXPORT int CVNPORT_CALL GetDeviceTypeA(const char* productIdOrName, cvn_bool detailed);

#ifdef __cplusplus
}
#endif

#endif /* CVNPORT_H */
