// The print service's life, the same with a window and without one: the start-up (one
// instance per home folder, settings, trace, printers, the listening port's owner,
// device controller, web server), serving until its front end is done, and the exit.
// The front end (a window, or a process waiting for a stop signal) says what it shows
// the user and how long the service serves.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "ServiceControl.h"
#include "ZuzServer.h"
#include "platform/InstanceLock.h"

class CLabelPrinterApi;
class CThermalPrinterController;
class CVembrixService;

class CServiceFrontend {
public:
    virtual ~CServiceFrontend() = default;
    // Runs first, once the stop signals are held: the place for a toolkit to set up.
    virtual void begin() {}
    // A message the window would show in a box.
    virtual void showMessage(const std::string& text) = 0;
    // True when the service goes on without its web server: the user can choose
    // another port in the window.
    virtual bool servesWithoutWebServer() const = 0;
    // Serves until the service is asked to stop. The stop signals are held for it.
    virtual void serve(CVembrixService& service) = 0;
};

class CVembrixService final : public CServiceControl {
public:
    static constexpr int kServing = 0;  // start's result when all is up
    static constexpr int kExitStopped = 0;
    static constexpr int kExitStartFailed = 1;
    static constexpr int kExitSecondInstance = 18;

    CVembrixService(CServiceFrontend& frontend, std::ostream& out, std::ostream& err);
    ~CVembrixService() override;
    CVembrixService(const CVembrixService&) = delete;
    CVembrixService& operator=(const CVembrixService&) = delete;

    // The whole life: start, serve, exit. The process's exit code. Call on the main
    // thread before any other thread starts.
    static int run(CServiceFrontend& frontend, std::ostream& out, std::ostream& err);

    // kServing, or the exit code once what failed has been said and everything
    // started is stopped again.
    int start();
    // The exit sequence. False when the worker was still inside a bridge after its
    // limit: the printer list and the bridges are then kept for it, and the process must
    // end without freeing process-wide objects.
    bool stop();

    // Stops the web server if it runs and starts it again on the ListenPort setting.
    // False, once the user has been told, when nothing listens afterwards.
    bool restartWebServer() override;
    int listeningPort() const override;
    // Switches the label library's log after the DeviceLog setting and opens the trace
    // when it is on (or the trace marker file is there). An open trace stays open
    // until the exit.
    void startTracing() override;

    // The bridges the jobs run through, for the window's test prints; valid between a
    // successful start and the stop.
    CLabelPrinterApi& labelBridge() const { return *m_label; }
    CThermalPrinterController& posBridge() const { return *m_pos; }

private:
    bool takeInstance();
    void loadConfiguration();
    bool listenPortInUse();
    void createDeviceController();

    CServiceFrontend& m_frontend;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<platform::InstanceLock> m_instance;
    std::unique_ptr<CZuzServer> m_server;
    std::shared_ptr<CLabelPrinterApi> m_label;
    std::shared_ptr<CThermalPrinterController> m_pos;
    bool m_traceOpen = false;
};
