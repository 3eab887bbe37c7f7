// The pop-up of a service without a desktop: each message becomes one line on stderr
// and in the trace log, "<printer>: <message>" or the message alone.
#pragma once

#include "MessageView.h"

class CConsoleMessageView final : public CMessageView {
public:
    void showMessage(const std::string& title, const std::string& message) override;
};
