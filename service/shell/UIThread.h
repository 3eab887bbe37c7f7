// The thread a message pop-up lives on, so that showing a message never blocks the
// thread that reports it. It makes its view when it starts, shows the message that
// waited for it, then every later message in order, until it is closed.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "MessageView.h"

class CUIThread {
public:
    // Starts the thread with its first message pending.
    CUIThread(MessageViewFactory views, std::string title, std::string message);
    // Closes the thread if nobody did, waiting as long as close's default.
    ~CUIThread();
    CUIThread(const CUIThread&) = delete;
    CUIThread& operator=(const CUIThread&) = delete;

    // Returns at once. Until the view is ready only the latest message waits for it.
    void showMessage(std::string title, std::string message);
    // Ends the view and the thread; messages not yet shown are dropped. Waits at most
    // `wait`: a thread that has not ended by then is let go and frees what it uses
    // itself when it ends. True when the thread ended in time.
    bool close(std::chrono::milliseconds wait);

private:
    struct State;
    static void run(std::shared_ptr<State> state);  // the thread's own share

    std::shared_ptr<State> m_state;  // shared with the thread, which may outlive us
    std::thread m_thread;
};
