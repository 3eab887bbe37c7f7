// Parallel printer ports: the status byte and timed I/O.
//
// The ports reach parallel devices through a ParallelPorts object, so that tests can
// stand in a printer's status lines where no parallel port exists.
#pragma once

#include <memory>
#include <string>

#include "platform/DeviceIo.h"
#include "platform/SerialPort.h"

namespace platform {

// Bits of the status byte a parallel port reports.
inline constexpr unsigned kParallelPaperEmpty = 0x04;
inline constexpr unsigned kParallelOffLine = 0x08;
inline constexpr unsigned kParallelPowerOff = 0x10;
inline constexpr unsigned kParallelBusy = 0x40;
inline constexpr unsigned kParallelSelected = 0x80;

class ParallelDevice {
public:
    virtual ~ParallelDevice() = default;

    // The printer's status byte (kParallel... bits); false when the port cannot tell.
    virtual bool status(unsigned& out) = 0;
    virtual bool applyTimeouts(const CommTimeouts& timeouts) = 0;
    // Throws away what waits to be read and to be sent.
    virtual bool purge() = 0;
    // What the printer has sent, without waiting.
    virtual DeviceIo read(void* buffer, int length) = 0;
    // Writes everything within the write time-out of the applied time-outs.
    virtual DeviceIo write(const void* data, int length) = 0;
    // Ends the reads and writes under way.
    virtual void cancel() = 0;
};

class ParallelPorts {
public:
    virtual ~ParallelPorts() = default;
    // Opens the port for this process alone; null with the system's error.
    virtual std::unique_ptr<ParallelDevice> open(const std::string& path, int& error) = 0;
};

std::shared_ptr<ParallelPorts> systemParallelPorts();

}  // namespace platform
