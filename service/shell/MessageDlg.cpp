#include "MessageDlg.h"

#include "ProgramFiles.h"

namespace {

std::string productName() {
    programfiles::VersionStrings version;
    if (programfiles::versionStrings(programfiles::programFileName(false), version))
        return version.productName;
    return "Vembrix";
}

}  // namespace

CMessageDlg::CMessageDlg() : m_baseTitle(productName()) {}

void CMessageDlg::showMessage(const std::string& title, const std::string& message) {
    m_caption = title.empty() ? m_baseTitle : m_baseTitle + " - " + title;
    m_message = message;
    m_shown = true;
}
