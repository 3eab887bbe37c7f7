#include "VembrixSettingDlg.h"

#include "INIHelper.h"
#include "NumberField.h"
#include "ProgramFiles.h"
#include "ServiceSettings.h"
#include "TraceLog.h"

CVembrixSettingDlg::CVembrixSettingDlg(CServiceSettings& settings) : m_settings(settings) {
    const ServiceSettingsValues values = settings.values();
    m_state.listenPort = std::to_string(values.listenPort);
    m_state.showWindow = values.showWindow != 0;
    m_state.checkDupReq = values.checkDupReq != 0;
    m_state.deviceLog = values.deviceLog != 0;
}

bool CVembrixSettingDlg::OnBnClickedOk() {
    const std::optional<int> port = numberfield::parsePort(m_state.listenPort);
    const int current = m_settings.listenPort();
    // The port the service listens on now is its own: only a new one can be taken.
    if (port && *port != current &&
        programfiles::portOwner(static_cast<uint16_t>(*port)).listening) {
        m_state.listenPort = std::to_string(current);
        TraceError("CVembrixSettingDlg::OnBnClickedOk", __LINE__, "listen Port InUse");
        say("Change the listening port number with another one.");
        return false;
    }
    if (!port) {
        say(numberfield::kPortRangeMessage);
        return false;
    }
    // The record holds the values even when the file cannot take them: they are in
    // effect until the service ends.
    if (!m_settings.saveSettings(*port, m_state.showWindow, m_state.checkDupReq, m_state.deviceLog))
        say("The settings are in effect but could not be saved: " + CINIHelper::LastError());
    return true;
}

void CVembrixSettingDlg::say(const std::string& text) const {
    if (m_view)
        m_view->showMessageBox(text);
}
