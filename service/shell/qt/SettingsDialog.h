// The settings dialog: draws CVembrixSettingDlg's state and forwards changes and Save to
// it. Controls carry their control ids as object names.
#pragma once

#include "FramedDialog.h"
#include "VembrixSettingDlg.h"

class QCheckBox;
class QLineEdit;

class CSettingsDialog final : public CFramedDialog {
public:
    CSettingsDialog(CVembrixSettingDlg& presenter, QWidget* parent);

private:
    QCheckBox* addCheckBox(const char* id, const QString& text,
                           void (CVembrixSettingDlg::*set)(bool));
    void render();

    CVembrixSettingDlg& m_presenter;
    QLineEdit* m_listenPort;
    QCheckBox* m_showWindow;
    QCheckBox* m_checkDupReq;
    QCheckBox* m_deviceLog;
};
