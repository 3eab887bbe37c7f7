#include "ConsoleMessageView.h"

#include <cstdio>

#include "TraceLog.h"

void CConsoleMessageView::showMessage(const std::string& title, const std::string& message) {
    std::string line = title.empty() ? message : title + ": " + message;
    TraceWrite("CConsoleMessageView::showMessage", __LINE__, "%s", line.c_str());
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}
