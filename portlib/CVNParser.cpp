#include "CVNParser.h"

#include <algorithm>
#include <cstdint>

#include "SecureZero.h"
#include "TraceLog.h"

namespace {

constexpr int kDetail = 2;

// The two forms of an automatic status block: the bytes allowed at each position.
struct StatusForm {
    std::array<std::array<bool, 256>, CCVNParser::kStatusBlockBytes> allowed{};

    constexpr StatusForm(std::initializer_list<uint8_t> p0, std::initializer_list<uint8_t> p1,
                         std::initializer_list<uint8_t> p2, std::initializer_list<uint8_t> p3) {
        for (uint8_t b : p0)
            allowed[0][b] = true;
        for (uint8_t b : p1)
            allowed[1][b] = true;
        for (uint8_t b : p2)
            allowed[2][b] = true;
        for (uint8_t b : p3)
            allowed[3][b] = true;
    }
    bool accepts(int position, uint8_t byte) const { return allowed[position][byte]; }
};

constexpr StatusForm kFormA({0x10, 0x14, 0x18, 0x1C, 0x30, 0x34, 0x38, 0x3C, 0x54, 0x58, 0x5C},
                            {0x00, 0x01, 0x02, 0x04, 0x08, 0x20, 0x40, 0x60},
                            {0x00, 0x03, 0x0C, 0x0F, 0x80}, {0x00, 0x0F, 0x4F});
constexpr StatusForm kFormB({0x35}, {0x40, 0x41, 0x42, 0x44, 0x48, 0x4C, 0x60}, {0x40, 0x41, 0x42},
                            {0x00});

}  // namespace

CCVNParser::CCVNParser(bool gatewayFraming, int deviceCount, std::mutex& queueMutex)
    : queueMutex_(queueMutex),
      gatewayFraming_(gatewayFraming),
      // The tables hold kMaxDevices entries; a larger count would index past them.
      deviceCount_(std::clamp(deviceCount, 0, kMaxDevices)) {
    for (int device = 0; device < deviceCount_; ++device) {
        dataQueues_[device] = std::make_unique<CCVNQueue>(kQueueCapacity);
        statusQueues_[device] = std::make_unique<CCVNQueue>(kQueueCapacity);
    }
}

CCVNParser::~CCVNParser() = default;

void CCVNParser::Parse(const char*, int) {}

bool CCVNParser::CheckDevice(int device, const char* method, int line) const {
    if (IsValidDevice(device))
        return true;
    TraceError(portId_, method, line, "over deviceId");
    return false;
}

bool CCVNParser::SetUseDevice(int device, bool inUse) {
    if (!CheckDevice(device, "CCVNParser::SetUseDevice", __LINE__))
        return false;
    inUse_[device] = inUse ? 1 : 0;
    return true;
}

bool CCVNParser::IsDeviceInUse(int device) const {
    return IsValidDevice(device) && inUse_[device] != 0;
}

bool CCVNParser::SetDataReceiver(int device, CVN_DATA_RECEIVER receiver) {
    if (!CheckDevice(device, "CCVNParser::SetDataReceiver", __LINE__))
        return false;
    dataReceivers_[device] = receiver;
    return true;
}

bool CCVNParser::SetPowerStatusReceiver(int device, CVN_POWER_STATUS_RECEIVER receiver) {
    if (!CheckDevice(device, "CCVNParser::SetPowerStatusReceiver", __LINE__))
        return false;
    powerReceivers_[device] = receiver;
    return true;
}

bool CCVNParser::SetASB(int device, bool enabled, CVN_STATUS_RECEIVER receiver) {
    if (!CheckDevice(device, "CCVNParser::SetASB", __LINE__))
        return false;
    // Receiver first, so a block parsed in between never sees the switch on with a
    // stale receiver.
    statusReceivers_[device] = enabled ? receiver : nullptr;
    asbEnabled_[device] = enabled;
    return true;
}

bool CCVNParser::GetASB(int device) const {
    if (!CheckDevice(device, "CCVNParser::GetASB", __LINE__))
        return false;
    return asbEnabled_[device];
}

void CCVNParser::FirePowerStatusReceiver(bool onLine) {
    for (int device = 0; device < deviceCount_; ++device) {
        CVN_POWER_STATUS_RECEIVER receiver = powerReceivers_[device];
        if (!receiver)
            continue;
        TraceWrite(portId_, kDetail, "CCVNParser::FirePowerStatusReceiver", __LINE__,
                   "Fire PowerStatusEvent=%d", onLine ? 1 : 0);
        receiver(onLine ? 1 : 0);
    }
}

int CCVNParser::Available(int device) const {
    if (!IsValidDevice(device))
        return 0;
    std::lock_guard<std::mutex> guard(queueMutex_);
    return static_cast<int>(dataQueues_[device]->size());
}

int CCVNParser::TakeData(int device, void* destination, int count) {
    if (!IsValidDevice(device) || !destination || count <= 0)
        return 0;
    std::lock_guard<std::mutex> guard(queueMutex_);
    return static_cast<int>(dataQueues_[device]->take(destination, static_cast<size_t>(count)));
}

void CCVNParser::ClearData(int device) {
    if (!IsValidDevice(device))
        return;
    std::lock_guard<std::mutex> guard(queueMutex_);
    dataQueues_[device]->clear();
}

int CCVNParser::StatusAvailable(int device) const {
    if (!IsValidDevice(device))
        return 0;
    std::lock_guard<std::mutex> guard(queueMutex_);
    return static_cast<int>(statusQueues_[device]->size());
}

void CCVNParser::EnqueueData(const char* data, int length, int device) {
    if (!data || length <= 0 || !IsValidDevice(device))
        return;
    CVN_DATA_RECEIVER receiver = dataReceivers_[device];
    // The gateway itself (device 0) and plug-and-play (255) are always read from the
    // queue, whatever receiver the host set for them.
    bool queued = !receiver || (gatewayFraming_ && (device == 0 || device == 255));
    if (queued) {
        {
            std::lock_guard<std::mutex> guard(queueMutex_);
            dataQueues_[device]->append(data, static_cast<size_t>(length));
        }
        TraceWrite(portId_, kDetail, "CCVNParser::EnqueueData", __LINE__,
                   "input Queue Data : deviceId=%d, len=%d", device, length);
        return;
    }
    TraceWrite(portId_, kDetail, "CCVNParser::EnqueueData", __LINE__, "Fire DataEvent(len=%d)",
               length);
    receiver(data, length);
}

void CCVNParser::AppendStatusBlock(const unsigned char* block, int device) {
    std::lock_guard<std::mutex> guard(queueMutex_);
    CCVNQueue& queue = *statusQueues_[device];
    if (queue.size() + kStatusBlockBytes > static_cast<size_t>(kMaxStatusQueueBytes)) {
        unsigned char oldest[kStatusBlockBytes];
        queue.take(oldest, sizeof oldest);
        secureZero(oldest, sizeof oldest);
    }
    queue.append(block, kStatusBlockBytes);
}

void CCVNParser::EnqueueStatus(const char* data, int length, int device) {
    if (!data || length <= 0 || !IsValidDevice(device))
        return;
    const auto* input = reinterpret_cast<const uint8_t*>(data);

    unsigned char staged[kStatusBlockBytes] = {};
    int stagedCount = 0;
    int countA = 0;
    int countB = 0;
    // A candidate block may straddle two pieces, so a piece's output can carry up to
    // three staged bytes of the piece before it.
    char output[kStatusPieceBytes + kStatusBlockBytes];
    int outputCount = 0;
    auto flushStaged = [&] {
        for (int i = 0; i < stagedCount; ++i)
            output[outputCount++] = static_cast<char>(staged[i]);
        stagedCount = countA = countB = 0;
    };

    for (int pieceStart = 0; pieceStart < length; pieceStart += kStatusPieceBytes) {
        const int pieceEnd = std::min(length, pieceStart + kStatusPieceBytes);
        int position = pieceStart;
        while (position < pieceEnd) {
            const uint8_t byte = input[position];
            if (kFormA.accepts(countA, byte)) {
                staged[stagedCount++] = byte;
                ++countA;
            } else if (kFormB.accepts(countB, byte)) {
                staged[stagedCount++] = byte;
                ++countB;
            } else if (stagedCount > 0) {
                flushStaged();
                continue;  // examine the same byte again
            } else {
                output[outputCount++] = static_cast<char>(byte);
                ++position;
                continue;
            }
            ++position;
            if ((countA != 0 && countA != stagedCount) || (countB != 0 && countB != stagedCount)) {
                flushStaged();  // the two forms got mixed
                continue;
            }
            if (countA == kStatusBlockBytes || countB == kStatusBlockBytes) {
                CVN_STATUS_RECEIVER receiver = statusReceivers_[device];
                if (receiver) {
                    TraceWrite(portId_, kDetail, "CCVNParser::EnqueueStatus", __LINE__,
                               "Fire StatusEvent : deviceId=%d (%02x %02x %02x %02x)", device,
                               staged[0], staged[1], staged[2], staged[3]);
                    receiver(staged);
                } else {
                    TraceWrite(portId_, kDetail, "CCVNParser::EnqueueStatus", __LINE__,
                               "Enqueue Status : deviceId=%d (%02x %02x %02x %02x)", device,
                               staged[0], staged[1], staged[2], staged[3]);
                    AppendStatusBlock(staged, device);
                }
                stagedCount = countA = countB = 0;
            }
        }
        if (outputCount > 0) {
            EnqueueData(output, outputCount, device);
            secureZero(output, static_cast<size_t>(outputCount));
            outputCount = 0;
        }
    }
    // An incomplete block at the end of the input is dropped.
    secureZero(staged, sizeof staged);
}
