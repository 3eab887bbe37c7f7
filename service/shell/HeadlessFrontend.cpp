#include "HeadlessFrontend.h"

#include "TraceLog.h"
#include "platform/StopSignals.h"

void CHeadlessFrontend::showMessage(const std::string& text) {
    m_err << text << std::endl;
}

void CHeadlessFrontend::serve(CVembrixService&) {
    const int signal = platform::waitForStopSignal();
    TraceWrite("CHeadlessFrontend::serve", __LINE__, "stop signal %d", signal);
}
