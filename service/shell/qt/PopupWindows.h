// The printer bridges' message pop-ups as windows. A pop-up's own thread makes its view
// through the process's message view factory, which this object installs while it
// lives; the view hands every message over to the window thread, where the pop-up's
// window lives. Views that outlive this object trace their messages and show nothing.
#pragma once

#include <QObject>
#include <map>
#include <memory>

class CMessageWindow;

class CPopupWindows final : public QObject {
public:
    // On the window thread.
    CPopupWindows();
    ~CPopupWindows() override;
    CPopupWindows(const CPopupWindows&) = delete;
    CPopupWindows& operator=(const CPopupWindows&) = delete;

    // The window of each pop-up that has shown a message, oldest first.
    std::vector<CMessageWindow*> windows() const;

private:
    struct Link;
    class View;

    void show(int popup, const std::string& title, const std::string& message);
    void close(int popup);

    std::shared_ptr<Link> m_link;
    std::map<int, std::unique_ptr<CMessageWindow>> m_windows;
};
