// The message pop-up's behaviour, without a toolkit: what its caption bar and text say
// and whether it is shown. A message shows it; "Ok" hides it until the next one.
#pragma once

#include <string>

class CMessageDlg {
public:
    // The base title is the program's product name, "Vembrix" without a version block.
    CMessageDlg();
    explicit CMessageDlg(std::string baseTitle) : m_baseTitle(std::move(baseTitle)) {}

    // title: the printer's logical name, or empty when the sender does not know it.
    void showMessage(const std::string& title, const std::string& message);
    // "Ok".
    void ok() { m_shown = false; }

    // "<base title> - <printer>", or the base title alone.
    const std::string& caption() const { return m_caption; }
    const std::string& message() const { return m_message; }
    bool shown() const { return m_shown; }

private:
    const std::string m_baseTitle;
    std::string m_caption;
    std::string m_message;
    bool m_shown = false;
};
