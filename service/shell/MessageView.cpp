#include "MessageView.h"

#include <mutex>

#include "ConsoleMessageView.h"

namespace {

std::mutex factoryLock;
MessageViewFactory installedFactory;

}  // namespace

void setMessageViewFactory(MessageViewFactory factory) {
    std::lock_guard lock(factoryLock);
    installedFactory = std::move(factory);
}

MessageViewFactory messageViewFactory() {
    std::lock_guard lock(factoryLock);
    if (installedFactory)
        return installedFactory;
    return [] { return std::make_unique<CConsoleMessageView>(); };
}
