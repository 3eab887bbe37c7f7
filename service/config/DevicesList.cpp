#include "DevicesList.h"

#include <algorithm>

#include "CVNTokenizer.h"
#include "INIHelper.h"
#include "ServiceSettings.h"
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
    constexpr std::string_view kCommandSuffix = ".cvn";
    const bool urlSafe = std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '/' || c == '?' || c == '#';
    });
    const bool command =
        name.size() >= kCommandSuffix.size() &&
        name.compare(name.size() - kCommandSuffix.size(), std::string::npos, kCommandSuffix) == 0;
    return !name.empty() && name.size() <= kMaxLogicalNameBytes && urlSafe && !command &&
           CINIHelper::IsStorableSectionName(name) && name != kSettingsSection &&
           name != kReservedSection && name != kJoblessName;
}

CDeviceInfo CDevicesList::readDevice(const CINIHelper& ini, const std::string& logicalName) {
    CDeviceInfo device;
    device.logicalName = logicalName;
    // The types first: they decide which of the other keys the section keeps.
    ini.GetInt(logicalName, "PrinterType", 1, device.printerType);
    ini.GetInt(logicalName, "PortType", kPortUsb, device.portType);
    if (device.isNetworkPort())
        device.baudRate = kDefaultTcpPort;
    for (std::string_view name : device.storedKeys()) {
        const std::string key(name);
        if (int* number = device.numberField(key)) {
            ini.GetInt(logicalName, key, *number, *number);
        } else {
            ini.GetString(logicalName, key, "", *device.textField(key));
        }
    }
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
    CServiceSettings::addSectionIfMissing(ini);
    for (std::string_view key : device.storedKeys())
        ini.SetString(device.logicalName, std::string(key), device.keyText(key));
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
