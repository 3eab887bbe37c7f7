#include "ServiceSettings.h"

#include <memory>

#include "INIHelper.h"

namespace {

// What a file without the key gives.
constexpr int kDefaultListenPort = 8080;
constexpr int kDefaultResponseStatus = 0;
constexpr int kDefaultCheckDupReq = 0;
constexpr int kDefaultShowWindow = 1;
constexpr int kDefaultDeviceLog = 0;
constexpr int kDefaultThruPassMode = 0;
constexpr int kDefaultThruPassPort = 8080;
constexpr int kDefaultRestrictPublic = 1;
constexpr const char* kDefaultJobFileFolder = "JobFiles";

std::mutex g_instanceLock;
std::unique_ptr<CServiceSettings> g_instance;

}  // namespace

CServiceSettings& CServiceSettings::instance() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    if (!g_instance)
        g_instance = std::make_unique<CServiceSettings>();
    return *g_instance;
}

void CServiceSettings::destroyInstance() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    g_instance.reset();
}

bool CServiceSettings::loadSettings() {
    ServiceSettingsValues values = this->values();
    bool readable;
    {
        CINIHelper ini;
        readable = !ini.IsUnreadable();
        ini.GetInt(kSection, "ListenPort", kDefaultListenPort, values.listenPort);
        ini.GetInt(kSection, "ResponseStatus", kDefaultResponseStatus, values.responseStatus);
        ini.GetInt(kSection, "CheckDupReq", kDefaultCheckDupReq, values.checkDupReq);
        ini.GetInt(kSection, "ShowWindow", kDefaultShowWindow, values.showWindow);
        ini.GetInt(kSection, "DeviceLog", kDefaultDeviceLog, values.deviceLog);
        ini.GetInt(kSection, "ThruPassMode", kDefaultThruPassMode, values.thruPassMode);
        if (values.thruPassMode == 1) {
            ini.GetString(kSection, "ThruPassIP", "", values.thruPassIP);
            ini.GetInt(kSection, "ThruPassPort", kDefaultThruPassPort, values.thruPassPort);
        }
        ini.GetInt(kSection, "RestrictPublic", kDefaultRestrictPublic, values.restrictPublic);
        ini.GetString(kSection, "JobFileFolder", kDefaultJobFileFolder, values.jobFileFolder);
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_values = std::move(values);
    return readable;
}

bool CServiceSettings::saveSettings(int listenPort, int showWindow, int checkDupReq,
                                    int deviceLog) {
    return save(listenPort, showWindow, checkDupReq, deviceLog, nullptr);
}

bool CServiceSettings::saveSettings(int listenPort, int showWindow, int checkDupReq, int deviceLog,
                                    const std::string& jobFileFolder) {
    // Checked before the store changes anything: it writes what it holds when it ends.
    if (!CINIHelper::IsStorableValue(jobFileFolder))
        return false;
    return save(listenPort, showWindow, checkDupReq, deviceLog, &jobFileFolder);
}

bool CServiceSettings::save(int listenPort, int showWindow, int checkDupReq, int deviceLog,
                            const std::string* jobFileFolder) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_values.listenPort = listenPort;
        m_values.showWindow = showWindow;
        m_values.checkDupReq = checkDupReq;
        m_values.deviceLog = deviceLog;
        if (jobFileFolder)
            m_values.jobFileFolder = *jobFileFolder;
    }
    CINIHelper ini;
    writeSavedKeys(ini, listenPort, showWindow, checkDupReq, deviceLog);
    if (jobFileFolder)
        ini.SetString(kSection, "JobFileFolder", *jobFileFolder);
    return ini.Save();
}

void CServiceSettings::writeSavedKeys(CINIHelper& ini, int listenPort, int showWindow,
                                      int checkDupReq, int deviceLog) {
    ini.SetInt(kSection, "ShowWindow", showWindow);
    ini.SetInt(kSection, "ListenPort", listenPort);
    ini.SetInt(kSection, "CheckDupReq", checkDupReq);
    ini.SetInt(kSection, "DeviceLog", deviceLog);
}

void CServiceSettings::addSectionIfMissing(CINIHelper& ini) {
    if (!ini.HasSection(kSection))
        writeSavedKeys(ini, kDefaultListenPort, kDefaultShowWindow, kDefaultCheckDupReq,
                       kDefaultDeviceLog);
}

ServiceSettingsValues CServiceSettings::values() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values;
}

int CServiceSettings::restrictPublic() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.restrictPublic;
}

int CServiceSettings::listenPort() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.listenPort;
}

int CServiceSettings::checkDupReq() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.checkDupReq;
}

int CServiceSettings::showWindow() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.showWindow;
}

int CServiceSettings::deviceLog() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.deviceLog;
}

std::string CServiceSettings::jobFileFolder() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values.jobFileFolder;
}
