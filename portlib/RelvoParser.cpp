#include "RelvoParser.h"

#include <vector>

#include "SecureZero.h"
#include "TraceLog.h"

namespace {

constexpr int kDetail = 2;

struct Packet {
    int channel;
    size_t payloadLength;  // L; channel 0 has one command byte more
    const uint8_t* body;   // the byte after the header
};

enum class ScanEnd { Complete, PartialMagic, IncompletePacket };

// Walks the packets of `data`, handing each whole one to `visit`. Returns where the
// walk stopped: `length`, or the start of a packet (or of its magic) that has not
// arrived in full.
template <typename Visit>
size_t scanPackets(const uint8_t* data, size_t length, ScanEnd& end, Visit visit) {
    size_t position = 0;
    end = ScanEnd::Complete;
    while (position < length) {
        // Step one byte on any mismatch: a "C" right before the real magic must not be
        // allowed to hide it.
        if (data[position] != 'C') {
            ++position;
            continue;
        }
        if (position + 1 >= length) {
            end = ScanEnd::PartialMagic;
            return position;
        }
        if (data[position + 1] != 'V') {
            ++position;
            continue;
        }
        if (position + 2 >= length) {
            end = ScanEnd::PartialMagic;
            return position;
        }
        if (data[position + 2] != 'N') {
            ++position;
            continue;
        }
        if (position + CRelvoParser::kHeaderBytes > length) {
            end = ScanEnd::IncompletePacket;
            return position;
        }
        const int channel = data[position + 3];
        const size_t payloadLength =
            (static_cast<size_t>(data[position + 4]) << 8) | data[position + 5];
        const size_t size = CRelvoParser::kHeaderBytes + payloadLength +
                            (channel == CRelvoParser::kControlChannel ? 1 : 0);
        if (size > length - position) {
            end = ScanEnd::IncompletePacket;
            return position;
        }
        visit(Packet{channel, payloadLength, data + position + CRelvoParser::kHeaderBytes});
        position += size;
    }
    return position;
}

}  // namespace

CRelvoParser::CRelvoParser(std::mutex& queueMutex) : CCVNParser(true, kMaxDevices, queueMutex) {
    for (int device = 0; device < kMaxDevices; ++device)
        SetUseDevice(device, true);
}

void CRelvoParser::SetPnPMode(bool enabled, CVN_PNP_RECEIVER receiver) {
    pnpReceiver_ = enabled ? receiver : nullptr;
    pnpEnabled_ = enabled;
}

bool CRelvoParser::SetRelvoAlarm(int device, CVN_ALARM_RECEIVER receiver) {
    if (!CheckDevice(device, "CRelvoParser::SetRelvoAlarm", __LINE__))
        return false;
    alarmReceivers_[device] = receiver;
    return true;
}

size_t CRelvoParser::PendingBytes() const {
    std::lock_guard<std::mutex> guard(reassemblyMutex_);
    return reassembly_.size();
}

int CRelvoParser::AlarmCode(uint8_t state) {
    switch (state) {
        case 0:
            return 1200;
        case 1:
            return 1201;
        case 2:
            return 1202;
        case 4:
        case 6:
            return 1203;
        default:
            return 1204;
    }
}

void CRelvoParser::Parse(const char* data, int length) {
    if (!data || length <= 0)
        return;
    std::vector<uint8_t> combined;
    size_t whole = 0;
    {
        std::lock_guard<std::mutex> guard(reassemblyMutex_);
        const size_t pending = reassembly_.size();
        combined.resize(pending + static_cast<size_t>(length));
        reassembly_.take(combined.data(), pending);
        std::copy(data, data + length, combined.begin() + static_cast<std::ptrdiff_t>(pending));
        whole = IsValidPacket(combined.data(), combined.size());
        // Only the unfinished tail waits: whole packets ahead of it are parsed now, so a
        // steady stream that never ends on a packet boundary is not held back forever.
        reassembly_.append(combined.data() + whole, combined.size() - whole);
    }
    if (whole > 0)
        ParseRLVPacket(combined.data(), whole);
    secureZero(combined.data(), combined.size());
}

size_t CRelvoParser::IsValidPacket(const uint8_t* data, size_t length) const {
    ScanEnd end;
    size_t whole = scanPackets(data, length, end, [](const Packet&) {});
    if (end == ScanEnd::IncompletePacket) {
        TraceError(portId(), "CRelvoParser::IsValidPacket", __LINE__, "Invalid length");
    }
    return whole;
}

void CRelvoParser::ParseRLVPacket(const uint8_t* data, size_t length) {
    ScanEnd end;
    scanPackets(data, length, end, [this](const Packet& packet) {
        const auto* payload = reinterpret_cast<const char*>(packet.body);
        const int payloadLength = static_cast<int>(packet.payloadLength);
        if (packet.channel == kPnPChannel) {
            TraceWrite(portId(), kDetail, "CRelvoParser::ParseRLVPacket", __LINE__,
                       "Fire Pnp Event");
            CVN_PNP_RECEIVER receiver = pnpReceiver_;
            if (receiver)
                receiver(payload, payloadLength);
        } else if (packet.channel == kControlChannel) {
            ParseControl(packet.body, packet.payloadLength);
        } else if (packet.channel >= kFirstStatusChannel && packet.channel <= kLastStatusChannel &&
                   GetASB(packet.channel)) {
            EnqueueStatus(payload, payloadLength, packet.channel);
        } else {
            EnqueueData(payload, payloadLength, packet.channel);
        }
    });
}

// `command` holds payloadLength + 1 bytes: the command byte, then the payload.
void CRelvoParser::ParseControl(const uint8_t* command, size_t payloadLength) {
    const auto length = static_cast<int>(payloadLength);
    switch (command[0]) {
        case kCommandDeviceData:
            // Device byte, one more byte, then the data; anything shorter carries none.
            if (length < 3)
                break;
            EnqueueData(reinterpret_cast<const char*>(command + 3), length - 3, command[1]);
            return;
        case kCommandDeviceAlarm:
            if (length < 2)
                break;
            FireAlarm(command[1], kAlarmKindDevice, 0, AlarmCode(command[2]));
            return;
        case kCommandGatewayAlarm:
            if (length < 2)
                break;
            FireAlarm(0, kAlarmKindGateway, command[1], command[2]);
            return;
        default:
            EnqueueData(reinterpret_cast<const char*>(command), length, 0);
            return;
    }
    TraceError(portId(), "CRelvoParser::ParseRLVPacket", __LINE__,
               "Invalid length (command=%02x, len=%d)", command[0], length);
}

void CRelvoParser::FireAlarm(int device, int kind, int value1, int value2) {
    if (!IsValidDevice(device))
        return;
    CVN_ALARM_RECEIVER receiver = alarmReceivers_[device];
    if (receiver)
        receiver(kind, value1, value2);
}
