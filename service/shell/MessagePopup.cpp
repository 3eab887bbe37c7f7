#include "MessagePopup.h"

#include "TraceLog.h"
#include "UIThread.h"

CMessagePopup::CMessagePopup(MessageViewFactory views, std::chrono::milliseconds closeWait)
    : m_views(std::move(views)), m_closeWait(closeWait) {}

CMessagePopup::~CMessagePopup() {
    close();
}

void CMessagePopup::showMessage(const std::string& title, const std::string& message) {
    std::lock_guard lock(m_lock);
    if (m_closing)
        return;
    if (m_thread)
        m_thread->showMessage(title, message);
    else
        m_thread = std::make_unique<CUIThread>(m_views, title, message);
}

void CMessagePopup::close() {
    std::unique_ptr<CUIThread> thread;
    {
        std::lock_guard lock(m_lock);
        m_closing = true;
        thread = std::move(m_thread);
    }
    if (thread && !thread->close(m_closeWait))
        TraceError("CMessagePopup::close", __LINE__,
                   "message thread still running after %lld ms; it ends on its own",
                   static_cast<long long>(m_closeWait.count()));
}
