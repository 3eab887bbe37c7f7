// Takes the device of a serial, parallel or USB port away from the system's print queues
// while the library uses it, and gives it back afterwards.
#pragma once

#include <string>

class IDriverPortHelper {
public:
    virtual ~IDriverPortHelper() = default;
    // Keeps every print queue on `deviceName` (COM1, LPT1, /dev/ttyUSB0, a USB printer's
    // node) from printing into the device; what happens goes to the trace of `portId`.
    virtual bool moveDriverPort(int portId, const std::string& deviceName) = 0;
    // Gives back exactly the queues moveDriverPort took for `deviceName`.
    virtual bool restoreDriverPort(int portId, const std::string& deviceName) = 0;
};
