// A serial or Bluetooth serial printer (port types 32 and 4).
// Opening the device comes with the platform backend for it; until then OpenPort
// fails with its error trace line.
#pragma once

#include "PortInterface.h"

class CPortCom : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;

    CPortCom();
    ~CPortCom() override;

    bool OpenPort() override;
    void ClosePort() override;
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;
};
