// A printer on a parallel port (port type 64).
// Opening the device comes with the platform backend for it; until then OpenPort
// fails with its error trace line.
#pragma once

#include "CommTimeouts.h"
#include "PortInterface.h"

class CPortLpt : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 300;

    CPortLpt();
    ~CPortLpt() override;

    bool OpenPort() override;
    void ClosePort() override;
    // "LPT<n>[:anything]", letter case ignored; the device name is the part before ":".
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;

    // The node the device name stands for (through the DOS device map).
    std::string devicePath() const;

    CommTimeouts timeouts;
    int lastStatus = kPowerNeverOpened;
};
