// The parser of a port that talks to a gateway device: every message comes framed in a
// packet with a channel number (0 the gateway itself, 1-254 a device behind it, 255
// plug-and-play events). Packets may arrive split over several reads; the unfinished
// tail waits in a reassembly queue for the rest.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "CVNParser.h"
#include "CVNQueue.h"
#include "cvnport.h"

class CRelvoParser : public CCVNParser {
public:
    static constexpr size_t kHeaderBytes = 6;  // "CVN", channel, length (high byte first)
    static constexpr int kControlChannel = 0;
    static constexpr int kPnPChannel = 255;
    static constexpr int kFirstStatusChannel = 10;
    static constexpr int kLastStatusChannel = 19;

    static constexpr uint8_t kCommandDeviceData = 0x73;
    static constexpr uint8_t kCommandDeviceAlarm = 0x74;
    static constexpr uint8_t kCommandGatewayAlarm = 0x75;

    static constexpr int kAlarmKindDevice = 116;
    static constexpr int kAlarmKindGateway = 117;

    explicit CRelvoParser(std::mutex& queueMutex);

    void Parse(const char* data, int length) override;

    void SetPnPMode(bool enabled, CVN_PNP_RECEIVER receiver);
    bool GetPnPMode() const { return pnpEnabled_; }
    // False (after writing "over deviceId") for a device at or over the count.
    bool SetRelvoAlarm(int device, CVN_ALARM_RECEIVER receiver);

    // Bytes of an unfinished packet waiting for the rest.
    size_t PendingBytes() const;

    // The alarm code of a device alarm state.
    static int AlarmCode(uint8_t state);

private:
    // Length of the leading part of `data` that holds only whole packets (and bytes
    // between them); the rest is the start of a packet that has not arrived in full.
    size_t IsValidPacket(const uint8_t* data, size_t length) const;
    void ParseRLVPacket(const uint8_t* data, size_t length);
    void ParseControl(const uint8_t* command, size_t payloadLength);
    void FireAlarm(int device, int kind, int value1, int value2);

    std::atomic<CVN_PNP_RECEIVER> pnpReceiver_{nullptr};
    std::array<std::atomic<CVN_ALARM_RECEIVER>, kMaxDevices> alarmReceivers_{};
    std::atomic<bool> pnpEnabled_{false};
    // Guards only the reassembly queue; never held while a packet is parsed.
    mutable std::mutex reassemblyMutex_;
    CCVNQueue reassembly_{kQueueCapacity};
};
