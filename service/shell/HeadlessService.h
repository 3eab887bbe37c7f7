// The print service without its window: the start-up (one instance per home folder,
// settings, trace, printers, the listening port's owner, device controller, web server),
// serving until the process is asked to stop, and the exit. Every message the window
// would show in a box is written to the error stream as its text.
#pragma once

#include <memory>
#include <ostream>

#include "ZuzServer.h"
#include "platform/InstanceLock.h"

class CHeadlessService {
public:
    static constexpr int kServing = 0;  // start's result when all is up
    static constexpr int kExitStopped = 0;
    static constexpr int kExitStartFailed = 1;
    static constexpr int kExitSecondInstance = 18;

    CHeadlessService(std::ostream& out, std::ostream& err);
    ~CHeadlessService();
    CHeadlessService(const CHeadlessService&) = delete;
    CHeadlessService& operator=(const CHeadlessService&) = delete;

    // The whole life: start, serve until SIGINT or SIGTERM, exit. The process's exit
    // code. Call on the main thread before any other thread starts.
    static int run(std::ostream& out, std::ostream& err);

    // kServing, or the exit code once what failed has been said and everything
    // started is stopped again.
    int start();
    // The exit sequence. False when the worker was still inside a bridge after its
    // limit: the printer list and the bridges are then kept for it, and the process must
    // end without freeing process-wide objects.
    bool stop();

private:
    bool takeInstance();
    void loadConfiguration();
    void startTracing();
    bool listenPortInUse();
    void createDeviceController();
    bool startWebServer();

    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<platform::InstanceLock> m_instance;
    std::unique_ptr<CZuzServer> m_server;
    bool m_traceOpen = false;
};
