// A printer on a parallel port (port type 64).
//
// Every read polls the printer's status byte: selected and powered is on-line, anything
// else off-line, and the receivers hear of each change; the port stays open while the
// printer is off-line. While idle the read thread probes the link with a zero byte.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "PortInterface.h"
#include "platform/ParallelPort.h"

class CPortLpt : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 300;
    static constexpr int kReadLimit = 20;

    CPortLpt();
    ~CPortLpt() override;

    bool OpenPort() override;
    void ClosePort() override;
    // "LPT<n>[:anything]", letter case ignored; the device name is the part before ":".
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;

    // True when the printer is on-line: selected and not switched off.
    bool CheckDeviceIoControl();
    void WriteNullByte();
    // The node the device name stands for (through the DOS device map).
    std::string devicePath() const;

    // Set while the port is closed.
    void SetParallelPorts(std::shared_ptr<platform::ParallelPorts> ports);

    platform::CommTimeouts timeouts;
    std::atomic<int> lastStatus{kPowerNeverOpened};

private:
    int ReadAvailable(platform::ParallelDevice& device, char* buffer, int length);
    std::shared_ptr<platform::ParallelDevice> device() const;

    mutable std::mutex deviceMutex_;
    std::shared_ptr<platform::ParallelDevice> m_hPort;
    std::shared_ptr<platform::ParallelPorts> parallelPorts_;
};
