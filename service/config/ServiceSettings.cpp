#include "ServiceSettings.h"

#include <memory>

#include "INIHelper.h"

namespace {

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
        ini.GetInt(kSection, "ListenPort", 8080, values.listenPort);
        ini.GetInt(kSection, "ResponseStatus", 0, values.responseStatus);
        ini.GetInt(kSection, "CheckDupReq", 0, values.checkDupReq);
        ini.GetInt(kSection, "ShowWindow", 1, values.showWindow);
        ini.GetInt(kSection, "DeviceLog", 0, values.deviceLog);
        ini.GetInt(kSection, "ThruPassMode", 0, values.thruPassMode);
        if (values.thruPassMode == 1) {
            ini.GetString(kSection, "ThruPassIP", "", values.thruPassIP);
            ini.GetInt(kSection, "ThruPassPort", 8080, values.thruPassPort);
        }
        ini.GetInt(kSection, "RestrictPublic", 1, values.restrictPublic);
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_values = std::move(values);
    return readable;
}

bool CServiceSettings::saveSettings(int listenPort, int showWindow, int checkDupReq,
                                    int deviceLog) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_values.listenPort = listenPort;
        m_values.showWindow = showWindow;
        m_values.checkDupReq = checkDupReq;
        m_values.deviceLog = deviceLog;
    }
    CINIHelper ini;
    ini.SetInt(kSection, "ShowWindow", showWindow);
    ini.SetInt(kSection, "ListenPort", listenPort);
    ini.SetInt(kSection, "CheckDupReq", checkDupReq);
    ini.SetInt(kSection, "DeviceLog", deviceLog);
    return ini.Save();
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
