// Base of the status parsers: per-device receive queues, switches and receivers.
//
// The read thread calls Parse; the host's threads call the setters. Receivers and
// switches are atomics, so either side may touch them at any time. Queue appends and
// takes hold the port's queue mutex; receivers are always called without it.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "CVNQueue.h"
#include "cvnport.h"

class CCVNParser {
public:
    static constexpr int kMaxDevices = 256;
    static constexpr size_t kQueueCapacity = 64;

    CCVNParser(bool gatewayFraming, int deviceCount, std::mutex& queueMutex);
    virtual ~CCVNParser();
    CCVNParser(const CCVNParser&) = delete;
    CCVNParser& operator=(const CCVNParser&) = delete;

    virtual void Parse(const char* data, int length);

    void SetPortId(int portId) { portId_ = portId; }
    int portId() const { return portId_; }
    int deviceCount() const { return deviceCount_; }
    bool gatewayFraming() const { return gatewayFraming_; }

    // Each returns false (after writing "over deviceId") for a device at or over the count.
    bool SetUseDevice(int device, bool inUse);
    bool SetDataReceiver(int device, CVN_DATA_RECEIVER receiver);
    bool SetPowerStatusReceiver(int device, CVN_POWER_STATUS_RECEIVER receiver);
    bool SetASB(int device, bool enabled, CVN_STATUS_RECEIVER receiver);
    bool GetASB(int device) const;

    void FirePowerStatusReceiver(bool onLine);

    // Receive queue of one device, for Read, ReadAvailable and Clear. Each holds the
    // queue mutex for the operation; a device over the count yields 0 / does nothing.
    int Available(int device) const;
    int TakeData(int device, void* destination, int count);
    void ClearData(int device);
    // Status blocks that found no receiver. Nothing reads them, so each device keeps
    // only the newest kMaxStatusQueueBytes; older blocks are dropped.
    int StatusAvailable(int device) const;

    static constexpr int kMaxStatusQueueBytes = 1024;
    // EnqueueStatus works through its input in pieces of this many bytes.
    static constexpr int kStatusPieceBytes = 1024;
    static constexpr int kStatusBlockBytes = 4;

protected:
    bool IsValidDevice(int device) const { return device >= 0 && device < deviceCount_; }
    bool IsDeviceInUse(int device) const;

    void EnqueueData(const char* data, int length, int device);
    void EnqueueStatus(const char* data, int length, int device);

    // Writes the error "over deviceId" under `method` when the device is out of range.
    bool CheckDevice(int device, const char* method, int line) const;

    std::mutex& queueMutex_;

private:
    void AppendStatusBlock(const unsigned char* block, int device);

    std::atomic<int> portId_{0};
    const bool gatewayFraming_;
    const int deviceCount_;
    std::array<std::atomic<bool>, kMaxDevices> asbEnabled_{};
    std::array<std::atomic<int>, kMaxDevices> inUse_{};
    std::array<std::unique_ptr<CCVNQueue>, kMaxDevices> dataQueues_;
    std::array<std::unique_ptr<CCVNQueue>, kMaxDevices> statusQueues_;
    std::array<std::atomic<CVN_DATA_RECEIVER>, kMaxDevices> dataReceivers_{};
    std::array<std::atomic<CVN_STATUS_RECEIVER>, kMaxDevices> statusReceivers_{};
    std::array<std::atomic<CVN_POWER_STATUS_RECEIVER>, kMaxDevices> powerReceivers_{};
};
