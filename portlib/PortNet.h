// A printer reached over TCP (port types 1 and 2).
#pragma once

#include "PortInterface.h"

class CPortNet : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;
    static constexpr int kDefaultTcpPort = 9100;

    CPortNet();
    ~CPortNet() override;

    void SetCheckIcmpEcho(bool enabled) override;
    void SetNetworkTimeout(int connectTimeout, int pingTimeout, int pingCount) override;
    bool OpenPort() override;
    void ClosePort() override;
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;

    int tcpPort() const { return tcpPort_; }

private:
    int tcpPort_ = kDefaultTcpPort;
};
