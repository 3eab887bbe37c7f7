#include "WindowFrontend.h"

#include <QApplication>
#include <atomic>
#include <thread>

#include "Desktop.h"
#include "MessageBoxes.h"
#include "PopupWindows.h"
#include "PortDiscovery.h"
#include "TraceLog.h"
#include "platform/StopSignals.h"

CWindowFrontend::CWindowFrontend(int& argc, char** argv, std::ostream& err)
    : m_argc(argc), m_argv(argv), m_err(err) {}

CWindowFrontend::~CWindowFrontend() = default;

void CWindowFrontend::begin() {
    m_application = std::make_unique<QApplication>(m_argc, m_argv);
    // Closing the window hides it: the service lives on in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(":/vembrix.png"));
    // Before the bridges exist, so that their first message already has a window.
    m_popups = std::make_unique<CPopupWindows>();
}

void CWindowFrontend::showMessage(const std::string& text) {
    m_err << text << std::endl;
    messageboxes::show(nullptr, text);
}

void CWindowFrontend::serve(CVembrixService& service) {
    CSystemPortDiscovery discovery;
    CDesktop desktop(service, discovery);
    desktop.window().start();
    std::atomic<bool> leaving = false;
    std::thread stopSignals([&leaving] {
        const int signal = platform::waitForStopSignal();
        if (leaving)
            return;
        TraceWrite("CWindowFrontend::serve", __LINE__, "stop signal %d", signal);
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::exit(); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    leaving = true;
    platform::wakeStopSignalWaiter(stopSignals);
    stopSignals.join();
}
