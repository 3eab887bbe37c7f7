// Takes a COM or LPT port away from the system's print queues while the library uses
// it, and gives it back afterwards.
#pragma once

#include <memory>
#include <string>

class IDriverPortHelper {
public:
    virtual ~IDriverPortHelper() = default;
    // Moves every print queue on `deviceName` (COM1, LPT1, ...) to another port.
    virtual bool moveDriverPort(const std::string& deviceName) = 0;
    // Gives the queues moved by moveDriverPort their ports back.
    virtual bool restoreDriverPort(const std::string& deviceName) = 0;
};

// Linux keeps no print queues on serial or parallel device nodes, so there is nothing
// to move.
class CNoDriverPortHelper : public IDriverPortHelper {
public:
    bool moveDriverPort(const std::string&) override { return true; }
    bool restoreDriverPort(const std::string&) override { return true; }
};
