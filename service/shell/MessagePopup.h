// How a printer bridge tells the user about a printer it cannot reach or that reports a
// fault: its own pop-up, started with its first message, on a thread of its own.
// Callable from any thread; nothing here waits for the user or the view.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "MessageView.h"

class CUIThread;

class CMessagePopup {
public:
    // How long close waits for the pop-up's thread.
    static constexpr std::chrono::milliseconds kCloseWait{1000};

    // An empty factory takes the process's (messageViewFactory) when the pop-up starts.
    explicit CMessagePopup(MessageViewFactory views = {},
                           std::chrono::milliseconds closeWait = kCloseWait);
    ~CMessagePopup();  // closes
    CMessagePopup(const CMessagePopup&) = delete;
    CMessagePopup& operator=(const CMessagePopup&) = delete;

    // title: the printer's logical name, or empty. Does nothing once closing.
    void showMessage(const std::string& title, const std::string& message);
    // Marks the pop-up closing for good and ends its thread (waiting at most the close
    // wait; a thread that overruns it ends on its own and frees what it uses then).
    void close();

private:
    const MessageViewFactory m_views;
    const std::chrono::milliseconds m_closeWait;
    std::mutex m_lock;
    bool m_closing = false;
    std::unique_ptr<CUIThread> m_thread;
};
