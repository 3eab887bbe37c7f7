#include "PopupWindows.h"

#include <mutex>

#include "MessageView.h"
#include "MessageWindow.h"
#include "TraceLog.h"

// What the views share with the window side: the windows' owner while it lives.
struct CPopupWindows::Link {
    std::mutex lock;
    CPopupWindows* owner = nullptr;
    int nextPopup = 0;

    // Runs `call` on the window thread; nothing once the owner is gone.
    template <typename Call>
    void post(Call call) {
        std::lock_guard guard(lock);
        if (owner)
            QMetaObject::invokeMethod(
                owner, [owner = owner, call = std::move(call)] { call(*owner); },
                Qt::QueuedConnection);
    }
};

// Lives on a pop-up's own thread.
class CPopupWindows::View final : public CMessageView {
public:
    explicit View(std::shared_ptr<Link> link) : m_link(std::move(link)) {
        std::lock_guard guard(m_link->lock);
        m_popup = m_link->nextPopup++;
    }
    ~View() override {
        m_link->post([popup = m_popup](CPopupWindows& owner) { owner.close(popup); });
    }

    void showMessage(const std::string& title, const std::string& message) override {
        TraceWrite("CPopupWindows::View::showMessage", __LINE__, "%s%s%s", title.c_str(),
                   title.empty() ? "" : ": ", message.c_str());
        m_link->post([popup = m_popup, title, message](CPopupWindows& owner) {
            owner.show(popup, title, message);
        });
    }

private:
    std::shared_ptr<Link> m_link;
    int m_popup = 0;
};

CPopupWindows::CPopupWindows() : m_link(std::make_shared<Link>()) {
    m_link->owner = this;
    setMessageViewFactory([link = m_link] { return std::make_unique<View>(link); });
}

CPopupWindows::~CPopupWindows() {
    setMessageViewFactory({});
    std::lock_guard guard(m_link->lock);
    m_link->owner = nullptr;
}

std::vector<CMessageWindow*> CPopupWindows::windows() const {
    std::vector<CMessageWindow*> all;
    for (const auto& [popup, window] : m_windows)
        all.push_back(window.get());
    return all;
}

void CPopupWindows::show(int popup, const std::string& title, const std::string& message) {
    std::unique_ptr<CMessageWindow>& window = m_windows[popup];
    if (!window)
        window = std::make_unique<CMessageWindow>();
    window->showMessage(title, message);
}

void CPopupWindows::close(int popup) {
    m_windows.erase(popup);
}
