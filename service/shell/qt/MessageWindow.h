// The message pop-up's window: always on top, with its caption bar, the message and
// "Ok", which hides it until the next message.
#pragma once

#include "FramedDialog.h"
#include "MessageDlg.h"

class QLabel;

class CMessageWindow final : public CFramedDialog {
public:
    CMessageWindow();
    void showMessage(const std::string& title, const std::string& message);
    const CMessageDlg& presenter() const { return m_dialog; }

protected:
    // Escape and the window's close command do what "Ok" does.
    void reject() override;

private:
    void render();

    CMessageDlg m_dialog;
    QLabel* m_text;
};
