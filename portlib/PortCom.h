// A serial or Bluetooth serial printer (port types 32 and 4).
// Opening the device comes with the platform backend for it; until then OpenPort
// fails with its error trace line.
#pragma once

#include <array>
#include <atomic>

#include "CommTimeouts.h"
#include "PortInterface.h"

class CPortCom : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;
    static constexpr int kDefaultBaudRate = 115200;
    static constexpr int kDefaultDataBits = 8;
    static constexpr int kInputQueueSize = 4096;
    static constexpr int kNoDeviceRetryMs = 2000;

    // Parity codes.
    static constexpr int kParityNone = 0;
    // Stop bit codes.
    static constexpr int kOneStopBit = 0;
    // Flow control codes.
    static constexpr int kFlowDtrDsr = 0;
    static constexpr int kFlowXonXoff = 1;
    static constexpr int kFlowNone = 2;

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
    // The node the device name stands for (through the DOS device map for a COM name).
    std::string devicePath() const;

    CommTimeouts timeouts;
    int baudRate = kDefaultBaudRate;
    int dataBits = kDefaultDataBits;
    int parity = kParityNone;
    int stopBits = kOneStopBit;
    int flowControl = kFlowDtrDsr;
    std::array<bool, kSettingCount> settingGiven{};
    int inputQueueSize = 0;
    std::atomic<bool> reopenPending{false};
    int bluetoothStack = 0;
    int lastModemStatus = 0;
    std::atomic<bool> deviceControl{false};
    std::atomic<bool> checkCTS{true};
    std::atomic<bool> checkDSR{true};
    int lastSignal = kPowerNeverOpened;
};
