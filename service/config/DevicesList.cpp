#include "DevicesList.h"

#include <algorithm>

#include "CVNTokenizer.h"
#include "INIHelper.h"
#include "TraceLog.h"

namespace {

std::mutex g_instanceLock;
std::unique_ptr<CDevicesList> g_instance;

}  // namespace

CDevicesList& CDevicesList::instance() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    if (!g_instance)
        g_instance = std::make_unique<CDevicesList>();
    return *g_instance;
}

void CDevicesList::destroyInstance() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    g_instance.reset();
}

bool CDevicesList::isUsableLogicalName(const std::string& name) {
    return !name.empty() && CINIHelper::IsStorableSectionName(name) && name != kSettingsSection &&
           name != kReservedSection;
}

CDeviceInfo CDevicesList::readDevice(const CINIHelper& ini, const std::string& logicalName) {
    CDeviceInfo device;
    device.logicalName = logicalName;
    ini.GetInt(logicalName, "PrinterType", 1, device.printerType);
    ini.GetString(logicalName, "Physical", "", device.physicalName);
    ini.GetInt(logicalName, "PortType", kPortUsb, device.portType);
    ini.GetString(logicalName, "PortName", "", device.portName);
    if (device.isNetworkPort()) {
        ini.GetInt(logicalName, "BaudRate", kDefaultTcpPort, device.baudRate);
    } else if (device.isSerialLike()) {
        ini.GetInt(logicalName, "BaudRate", kDefaultBaudRate, device.baudRate);
        if (device.portType == kPortSerial) {
            ini.GetInt(logicalName, "DataBits", 8, device.dataBits);
            ini.GetInt(logicalName, "Parity", 0, device.parity);
            ini.GetInt(logicalName, "StopBits", 0, device.stopBits);
            ini.GetInt(logicalName, "FlowControl", 0, device.flowControl);
        }
    }
    if (device.hasCheckStatus())
        ini.GetInt(logicalName, "CheckStatus", 0, device.checkStatus);
    return device;
}

bool CDevicesList::loadDevices() {
    std::vector<CDeviceInfo> devices;
    bool readable;
    {
        CINIHelper ini;
        readable = !ini.IsUnreadable();
        if (ini.GetSectionCount() >= 2) {
            CCVNTokenizer sections(ini.GetSectionList(), "|");
            while (sections.next()) {
                const std::string& name = sections.token();
                if (name == kSettingsSection || name == kReservedSection)
                    continue;
                devices.push_back(readDevice(ini, name));
            }
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_devices = std::move(devices);
    return readable;
}

int CDevicesList::isRegistered(const std::string& logicalName) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [&](const CDeviceInfo& d) { return d.logicalName == logicalName; })
               ? 1
               : 0;
}

int CDevicesList::printerTypeOf(const std::string& logicalName) const {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const CDeviceInfo& device : m_devices) {
        if (device.logicalName == logicalName)
            return device.printerType;
    }
    return 0;
}

int CDevicesList::getDeviceInfo(const std::string& logicalName, CDeviceInfo& device) const {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const CDeviceInfo& listed : m_devices) {
            if (listed.logicalName == logicalName) {
                device = listed;
                return 1;
            }
        }
    }
    TraceError("CDevicesList::getDeviceInfo", __LINE__,
               "%s is not registered in device list in getDeviceInfo", logicalName.c_str());
    return 0;
}

DeviceSaveResult CDevicesList::checkDevice(const CDeviceInfo& device, const char* method) {
    // Checked before the store is made: a store destroyed half-changed would still
    // write what it had.
    if (!isUsableLogicalName(device.logicalName)) {
        TraceError(method, __LINE__, "unusable logical name : [%s]", device.logicalName.c_str());
        return DeviceSaveResult::UnusableName;
    }
    if (!CINIHelper::IsStorableValue(device.physicalName) ||
        !CINIHelper::IsStorableValue(device.portName)) {
        TraceError(method, __LINE__, "%s : device name or port name cannot be stored",
                   device.logicalName.c_str());
        return DeviceSaveResult::UnstorableValue;
    }
    return DeviceSaveResult::Saved;
}

bool CDevicesList::writeDevice(CINIHelper& ini, const CDeviceInfo& device) {
    const std::string& section = device.logicalName;
    ini.SetInt(section, "PrinterType", device.printerType);
    ini.SetString(section, "Physical", device.physicalName);
    ini.SetInt(section, "PortType", device.portType);
    ini.SetString(section, "PortName", device.portName);
    if (device.isNetworkPort() || device.isSerialLike()) {
        ini.SetInt(section, "BaudRate", device.baudRate);
    }
    if (device.portType == kPortSerial) {
        ini.SetInt(section, "DataBits", device.dataBits);
        ini.SetInt(section, "Parity", device.parity);
        ini.SetInt(section, "StopBits", device.stopBits);
        ini.SetInt(section, "FlowControl", device.flowControl);
    }
    if (device.hasCheckStatus())
        ini.SetInt(section, "CheckStatus", device.checkStatus);
    return ini.Save();
}

DeviceSaveResult CDevicesList::saveDevice(const CDeviceInfo& device) {
    DeviceSaveResult checked = checkDevice(device, "CDevicesList::saveDevice");
    if (checked != DeviceSaveResult::Saved)
        return checked;
    CINIHelper ini;
    return writeDevice(ini, device) ? DeviceSaveResult::Saved : DeviceSaveResult::WriteFailed;
}

void CDevicesList::storeInList(CDeviceInfo device) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto listed = std::find_if(m_devices.begin(), m_devices.end(), [&](const CDeviceInfo& d) {
        return d.logicalName == device.logicalName;
    });
    if (listed != m_devices.end()) {
        *listed = std::move(device);
    } else {
        m_devices.push_back(std::move(device));
    }
}

DeviceSaveResult CDevicesList::addOrUpdateDevice(CDeviceInfo device) {
    DeviceSaveResult checked = checkDevice(device, "CDevicesList::addOrUpdateDevice");
    if (checked != DeviceSaveResult::Saved)
        return checked;
    // The store keeps the file locked until the list has the change too, so that two
    // threads' changes reach the file and the list in the same order.
    CINIHelper ini;
    if (!writeDevice(ini, device))
        return DeviceSaveResult::WriteFailed;
    storeInList(std::move(device));
    return DeviceSaveResult::Saved;
}

int CDevicesList::removeDevice(const std::string& logicalName) {
    // Holding the file's lock from the look-up on keeps two removers or a remover and
    // an adder from crossing.
    CINIHelper ini;
    if (!isRegistered(logicalName))
        return 1;
    ini.RemoveSection(logicalName);
    if (!ini.Save())
        return 0;
    std::lock_guard<std::mutex> guard(m_lock);
    std::erase_if(m_devices, [&](const CDeviceInfo& d) { return d.logicalName == logicalName; });
    return 1;
}

void CDevicesList::copyDeviceList(std::vector<CDeviceInfo>& devices) const {
    std::lock_guard<std::mutex> guard(m_lock);
    devices = m_devices;
}

void CDevicesList::clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_devices.clear();
}

size_t CDevicesList::size() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_devices.size();
}
