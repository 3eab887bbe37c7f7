// The window a printer bridge's messages appear in. The pop-up thread makes its view,
// shows every message through it and destroys it when the pop-up closes, all on that
// one thread. A headless service writes the messages out as lines; the desktop shell
// installs its window with setMessageViewFactory at start-up.
#pragma once

#include <functional>
#include <memory>
#include <string>

class CMessageView {
public:
    virtual ~CMessageView() = default;
    // title: the printer's logical name, or empty when the sender does not know it.
    virtual void showMessage(const std::string& title, const std::string& message) = 0;
};

using MessageViewFactory = std::function<std::unique_ptr<CMessageView>()>;

// The views pop-ups make when their owner chose none; lines on stderr and in the trace
// log until a factory is installed. An empty factory restores those.
void setMessageViewFactory(MessageViewFactory factory);
MessageViewFactory messageViewFactory();
