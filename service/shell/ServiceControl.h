// What the window asks of the running service beyond its printers and settings.
#pragma once

class CServiceControl {
public:
    virtual ~CServiceControl() = default;
    // Stops the web server if it runs and starts it on the ListenPort setting; false,
    // once the user has been told, when nothing listens afterwards.
    virtual bool restartWebServer() = 0;
    // The port the web server listens on; 0 when it does not.
    virtual int listeningPort() const = 0;
    // The trace and the label library's log after the DeviceLog setting.
    virtual void startTracing() = 0;
};
