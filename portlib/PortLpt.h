// A printer on a parallel port (port type 64).
// Opening the device comes with the platform backend for it; until then OpenPort
// fails with its error trace line.
#pragma once

#include "PortInterface.h"

class CPortLpt : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 300;

    CPortLpt();
    ~CPortLpt() override;

    bool OpenPort() override;
    void ClosePort() override;
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;
};
