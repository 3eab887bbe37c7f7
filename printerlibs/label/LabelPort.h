// The printer connection as the label library sees it, and what opens one. The library
// talks to printers through cvnport; tests put an in-memory port in its place.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

class CLabelPort {
public:
    virtual ~CLabelPort() = default;
    // Sends the bytes in one write; false when the printer took fewer.
    virtual bool write(std::string_view bytes) = 0;
    // The bytes received since the last call, waiting up to `wait` for the first.
    virtual std::string receive(std::chrono::milliseconds wait) = 0;
    // Forgets what has been received (old answers before a new question).
    virtual void discardReceived() = 0;
};

class CLabelPortOpener {
public:
    virtual ~CLabelPortOpener() = default;
    // portType is a cvnport port type, portName a cvnport port name. Null when the port
    // cannot be opened.
    virtual std::unique_ptr<CLabelPort> open(int portType, const std::string& portName) = 0;
    // The device path of the attached USB printer with this model name or serial
    // number; empty when there is none.
    virtual std::string findUsbPrinter(const std::string& name) = 0;
};
