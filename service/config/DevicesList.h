// The configured printers, in file order, and their sections of "vembrix.ini".
//
// Worker, bridge and server threads read the list while the UI thread changes it: every
// operation takes the list's lock for its in-memory part only, and readers get copies.
// Changes write the file first (holding the file's lock, which every store takes, never
// under the list's lock) and reach the list only when the file has them. When a change
// or a load fails, CINIHelper::LastError() says why.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceInfo.h"

class CINIHelper;

enum class DeviceSaveResult {
    Saved,
    UnusableName,     // the logical name cannot be a section name; nothing written
    UnstorableValue,  // a text holds a line end or a double quote; nothing written
    WriteFailed,      // the file could not be written or was refused; the list is unchanged
};

class CDevicesList {
public:
    static constexpr const char* kSettingsSection = "Vembrix";
    static constexpr const char* kReservedSection = "Devices";
    // The request handler answers a job posted to this name with 404.
    static constexpr const char* kJoblessName = "list";

    CDevicesList() = default;
    virtual ~CDevicesList() = default;
    CDevicesList(const CDevicesList&) = delete;
    CDevicesList& operator=(const CDevicesList&) = delete;

    // The process-wide list, created on first use. destroyInstance() frees it at
    // shutdown, once no other thread uses it.
    static CDevicesList& instance();
    static void destroyInstance();

    // Pages name a printer in the URL of their requests, which a long name would bloat
    // for nothing: with every byte escaped, one of this length still fits any request.
    static constexpr size_t kMaxLogicalNameBytes = 256;
    // A name the file can hold and the service can serve: not empty, at most
    // kMaxLogicalNameBytes, no white space at either end, no "|" or "]" (a section
    // header), no "/", "?", "#" or control character (a URL path cuts or loses them), not
    // ending in ".cvn" (a command's URL), and none of the reserved names Vembrix, Devices
    // and list (the request handler keeps it from jobs).
    static bool isUsableLogicalName(const std::string& name);

    // False when the file is there but cannot be read: the list is then empty. A
    // missing file gives an empty list and true.
    bool loadDevices();
    int isRegistered(const std::string& logicalName) const;
    // 0 when the name is not listed.
    int printerTypeOf(const std::string& logicalName) const;
    int getDeviceInfo(const std::string& logicalName, CDeviceInfo& device) const;
    DeviceSaveResult addOrUpdateDevice(CDeviceInfo device);
    // Writes the printer's section without touching the list.
    DeviceSaveResult saveDevice(const CDeviceInfo& device);
    // 1, also when the name is not listed; 0 when the file could not be written.
    int removeDevice(const std::string& logicalName);
    // Copies of the records, in order.
    void copyDeviceList(std::vector<CDeviceInfo>& devices) const;
    void clear();
    size_t size() const;

private:
    static DeviceSaveResult checkDevice(const CDeviceInfo& device, const char* method);
    static bool writeDevice(CINIHelper& ini, const CDeviceInfo& device);
    static CDeviceInfo readDevice(const CINIHelper& ini, const std::string& logicalName);
    void storeInList(CDeviceInfo device);

    mutable std::mutex m_lock;
    std::vector<CDeviceInfo> m_devices;
};
