// A serial or Bluetooth serial printer (port types 32 and 4).
//
// The read thread watches the modem lines: CTS and DSR (those the port checks) tell
// on-line from off-line, and a Bluetooth link that drops is closed and reopened by the
// read thread until it is back. The device is shared between the read thread and the
// host's writing thread and released when the last of them lets go of it.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "PortInterface.h"
#include "platform/SerialPort.h"

// Pauses of the open and reopen sequences. Tests shorten them.
struct ComPortTimings {
    static constexpr int kOpenSettleMs = 50;       // after the device opened
    static constexpr int kReopenSettleMs = 1000;   // after a dropped link came back
    static constexpr int kNoDeviceRetryMs = 2000;  // between two tries of a dropped link
    static constexpr int kCloseDrainMs = 2000;     // longest wait for the line to send all
    static constexpr int kCloseStallMs = 500;      // ... while it sends nothing at all

    int openSettleMs = kOpenSettleMs;
    int reopenSettleMs = kReopenSettleMs;
    int noDeviceRetryMs = kNoDeviceRetryMs;
    int closeDrainMs = kCloseDrainMs;
    int closeStallMs = kCloseStallMs;
};

class CPortCom : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;
    static constexpr int kInputQueueSize = 4096;
    static constexpr int kBluetoothReadSize = 512;

    // Which line setting a port name field gives, in field order.
    enum Setting { kBaudRate, kDataBits, kParity, kStopBits, kFlowControl, kSettingCount };

    CPortCom();
    ~CPortCom() override;

    void SetComPortDevCtrl(bool enableCtrl) override;
    void SetCheckModemStatus(bool bCheckCTS, bool bCheckDSR) override;
    bool OpenPort() override;
    void ClosePort() override;
    // "COM<n>[:baud[:data bits[:parity[:stop bits[:flow]]]]]", letter case ignored, or a
    // serial device node in place of COM<n> (/dev/ttyUSB0:19200).
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;

    bool OpenPortSerial();
    // Reopens a dropped Bluetooth link.
    bool OpenPortBluetooth();
    // True when the modem lines the port checks are on.
    bool CheckModemStatus();
    // The node the device name stands for (through the DOS device map for a COM name).
    std::string devicePath() const;

    // Both are set while the port is closed.
    void SetTimings(const ComPortTimings& timings) { timings_ = timings; }
    void SetSerialPorts(std::shared_ptr<platform::SerialPorts> ports);

    platform::CommTimeouts timeouts;
    platform::SerialLine line;
    std::array<bool, kSettingCount> settingGiven{};
    int inputQueueSize = 0;
    std::atomic<bool> reopenPending{false};
    int bluetoothStack = 0;
    std::atomic<bool> deviceControl{false};
    std::atomic<bool> checkCTS{true};
    std::atomic<bool> checkDSR{true};

protected:
    void PauseBetweenReads(int ms) override;

private:
    const char* LinkLabel() const;
    // Reports a change of the modem lines' verdict to the receivers, once per change.
    void Signal(bool onLine);

    std::shared_ptr<platform::SerialDevice> device() const;
    // Makes a new device the port's. On the read thread it is refused once the port is
    // being closed (false then), so that a close stays final.
    bool setDevice(std::shared_ptr<platform::SerialDevice> device, bool fromReadThread);
    std::shared_ptr<platform::SerialDevice> takeDevice();

    mutable std::mutex deviceMutex_;
    std::shared_ptr<platform::SerialDevice> m_hPort;
    std::shared_ptr<platform::SerialPorts> serialPorts_;
    ComPortTimings timings_;
    std::atomic<unsigned> lastModemStatus_{0};
    // The power status the receivers last heard of.
    std::atomic<int> lastSignal_{kPowerNeverOpened};
    // The last read found the device failing: the next pause does not wait on it.
    std::atomic<bool> readFailed_{false};
};
