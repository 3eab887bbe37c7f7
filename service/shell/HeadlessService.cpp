#include "HeadlessService.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DevicesList.h"
#include "INIHelper.h"
#include "LabelPrinterApi.h"
#include "ProgramFiles.h"
#include "ServiceSettings.h"
#include "ThermalPrinterController.h"
#include "TraceLog.h"
#include "ZuzDeviceController.h"
#include "cvnlblapi.h"
#include "platform/Files.h"
#include "platform/StopSignals.h"

namespace {

constexpr const char* kTraceName = "Vembrix";
constexpr const char* kTraceMarker = "trace.txt";
constexpr const char* kPortInUseMessage =
    "Another application(%s) is already using the listening port.\n\nVEMBRIX will exit.";
constexpr const char* kCannotStartServerMessage = "cannot start Web server";

std::string programName() {
    std::string name = programfiles::programFileName(true);
    return name.substr(0, name.rfind('.'));
}

}  // namespace

CHeadlessService::CHeadlessService(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

CHeadlessService::~CHeadlessService() = default;

int CHeadlessService::run(std::ostream& out, std::ostream& err) {
    platform::holdStopSignals();
    CHeadlessService service(out, err);
    const int started = service.start();
    if (started != kServing)
        return started;
    const int signal = platform::waitForStopSignal();
    platform::releaseStopSignals();
    TraceWrite("CHeadlessService::run", __LINE__, "stop signal %d", signal);
    if (service.stop())
        return kExitStopped;
    // A worker that overran its limit still uses the printer list and the bridges: end
    // here, before the process's own clean-up could free them under it.
    err << "vembrix: a print job was still running at exit and was abandoned" << std::endl;
    std::fflush(nullptr);
    std::_Exit(kExitStopped);
}

int CHeadlessService::start() {
    if (!takeInstance())
        return kExitSecondInstance;
    loadConfiguration();
    if (listenPortInUse()) {
        if (m_traceOpen)
            TraceClose(kTraceDefaultKey);
        return kExitStartFailed;
    }
    createDeviceController();
    if (!startWebServer()) {
        m_err << kCannotStartServerMessage << std::endl;
        stop();
        return kExitStartFailed;
    }
    m_out << "vembrix serving on port " << m_server->listeningPort() << std::endl;
    return kServing;
}

bool CHeadlessService::takeInstance() {
    const std::string home = programfiles::directory();
    platform::InstanceLock::Outcome outcome;
    std::string why;
    m_instance = platform::InstanceLock::acquire(
        platform::instanceNameOfFolder(programName(), home), outcome, why);
    if (outcome == platform::InstanceLock::Outcome::TakenElsewhere) {
        m_err << "vembrix: another Vembrix service already runs for " << home << std::endl;
        return false;
    }
    // Without the lock the service still runs: better two services than none.
    if (outcome == platform::InstanceLock::Outcome::Failed)
        m_err << "vembrix: cannot tell whether another service runs (" << why << ")" << std::endl;
    return true;
}

void CHeadlessService::loadConfiguration() {
    // An unreadable file leaves the defaults and no printers, as the window starts too;
    // the reason is said rather than left to be guessed from an empty list.
    if (!CServiceSettings::instance().loadSettings())
        m_err << "vembrix: " << CINIHelper::LastError() << std::endl;
    startTracing();
    if (!CDevicesList::instance().loadDevices())
        m_err << "vembrix: " << CINIHelper::LastError() << std::endl;
}

void CHeadlessService::startTracing() {
    const bool deviceLog = CServiceSettings::instance().deviceLog() != 0;
    if (deviceLog)
        DEBUGLOG_ON();
    else
        DEBUGLOG_OFF();
    if (deviceLog || programfiles::fileTest(kTraceMarker, true)) {
        TraceOpen(kTraceDefaultKey, 1, kTraceName);
        m_traceOpen = true;
    }
}

bool CHeadlessService::listenPortInUse() {
    const int port = CServiceSettings::instance().listenPort();
    const platform::PortOwner owner = programfiles::portOwner(static_cast<uint16_t>(port));
    if (!owner.listening)
        return false;
    TraceFatal("CHeadlessService::start", __LINE__, "listen Port InUse");
    char message[512];
    std::snprintf(message, sizeof message, kPortInUseMessage, owner.executableName.c_str());
    m_err << message << std::endl;
    return true;
}

void CHeadlessService::createDeviceController() {
    auto label = std::make_shared<CLabelPrinterApi>();
    auto pos = std::make_shared<CThermalPrinterController>();
    // The controller releases the bridges once its worker has ended; a worker that
    // overran keeps them, through this function, for as long as it runs.
    CZuzDeviceController::Bridges bridges{label.get(), pos.get(), [label, pos]() mutable {
                                              label.reset();
                                              pos.reset();
                                          }};
    CZuzDeviceController::createInstance(std::move(bridges));
}

bool CHeadlessService::startWebServer() {
    m_server = std::make_unique<CZuzServer>();
    if (!m_server->startZuzServer())
        return false;
    m_server->addListenPort(CServiceSettings::instance().listenPort());
    return m_server->listeningPort() != 0;
}

bool CHeadlessService::stop() {
    TraceWrite("CHeadlessService::stop", __LINE__, "+stop");
    // The listener first: its thread reads the settings for every client it accepts.
    if (m_server)
        m_server->stopZuzServer();
    CServiceSettings::destroyInstance();
    // The printer list goes only after the worker and the bridges that read it.
    size_t notRun = 0;
    const bool ended = CZuzDeviceController::destroyInstance(&notRun);
    if (notRun > 0)
        m_err << "vembrix: " << notRun << " queued print job" << (notRun == 1 ? " was" : "s were")
              << " not run" << std::endl;
    if (ended)
        CDevicesList::destroyInstance();
    else
        TraceError("CHeadlessService::stop", __LINE__,
                   "printer list kept: the worker is still inside a bridge");
    TraceWrite("CHeadlessService::stop", __LINE__, "-stop");
    if (m_traceOpen)
        TraceClose(kTraceDefaultKey);
    m_traceOpen = false;
    return ended;
}
