// The settings dialog's behaviour, without a toolkit: the listening port, the window at
// start, the duplicate check and the log. The view draws state() and forwards changes;
// Save either ends the dialog or tells the user why not through the view.
#pragma once

#include <string>

#include "MessageBoxView.h"

class CServiceSettings;

struct VembrixSettingDlgState {
    std::string listenPort;
    bool showWindow = true;
    bool checkDupReq = true;
    bool deviceLog = false;
};

class CVembrixSettingDlg {
public:
    static constexpr const char* kTitle = "Vembrix setting";

    explicit CVembrixSettingDlg(CServiceSettings& settings);

    void attach(CMessageBoxView& view) { m_view = &view; }
    const VembrixSettingDlgState& state() const { return m_state; }

    void setListenPort(const std::string& text) { m_state.listenPort = text; }
    void setShowWindow(bool on) { m_state.showWindow = on; }
    void setCheckDupReq(bool on) { m_state.checkDupReq = on; }
    void setDeviceLog(bool on) { m_state.deviceLog = on; }

    // Save: true when the settings are in effect and the dialog ends with OK; false
    // when the port is taken by another program or is no port number.
    bool OnBnClickedOk();

private:
    void say(const std::string& text) const;

    CServiceSettings& m_settings;
    CMessageBoxView* m_view = nullptr;
    VembrixSettingDlgState m_state;
};
