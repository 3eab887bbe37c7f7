#include "CvnPortLinks.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <string>
#include <utility>
#include <vector>

#include "EscPos.h"
#include "PrinterStatus.h"
#include "TraceLog.h"
#include "Turn.h"
#include "cvnport.h"
#include "dravix.h"

namespace {

constexpr int kPosDeviceType = 20;
constexpr int kGatewayDeviceType = 40;
constexpr int kConnectModePrinter = 0;
constexpr int kConnectModeGateway = 1;
constexpr size_t kMaxPacketPayload = 0xFFFF;
constexpr size_t kMaxReplyBytes = 64 * 1024;
// A write waits this long for another write to the same port to finish.
constexpr auto kWriteTurnWait = std::chrono::seconds(30);
// The read thread gives a re-sent status request less time: it must go back to reading.
constexpr auto kResendTurnWait = std::chrono::seconds(1);

// Set while the library is loaded; read by the receivers on the ports' read threads.
std::atomic<CvnPortLinks*> theLinks{nullptr};

// The mirror of what the port library's gateway parser reads: "CVN", the channel, the
// payload length (high byte first) and the payload.
std::string framed(int channel, std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 6 * (bytes.size() / kMaxPacketPayload + 1));
    for (size_t at = 0; at < bytes.size(); at += kMaxPacketPayload) {
        std::string_view payload = bytes.substr(at, kMaxPacketPayload);
        out += "CVN";
        escpos::putByte(out, channel);
        escpos::putByte(out, static_cast<int>(payload.size() >> 8));
        escpos::putByte(out, static_cast<int>(payload.size() & 0xFF));
        out += payload;
    }
    return out;
}

std::string asbCommand(bool on) {
    return escpos::command(escpos::kAutomaticStatus, on ? escpos::kAsbWatchedStatus : 0);
}

}  // namespace

struct CvnPortLinks::Port {
    int portId = 0;
    Turn writes;
};

struct CvnPortLinks::Endpoint {
    struct Member {
        std::weak_ptr<LinkListener> listener;
        const LinkListener* key = nullptr;
        bool watching = false;
    };

    int portId = 0;
    int deviceId = 0;
    bool gateway = false;
    int slot = -1;
    std::shared_ptr<Port> port;
    Turn queries;

    std::mutex mutex;
    std::condition_variable replied;
    bool waiting = false;
    std::string received;
    std::vector<Member> members;

    bool send(std::string_view bytes, Turn::Clock::duration turnWait) {
        if (bytes.empty())
            return true;
        std::string packet = gateway ? framed(deviceId, bytes) : std::string(bytes);
        if (!port->writes.take(Turn::Clock::now() + turnWait))
            return false;
        int written = Write(packet.data(), static_cast<int>(packet.size()), portId);
        port->writes.give();
        return written == static_cast<int>(packet.size());
    }

    std::vector<std::shared_ptr<LinkListener>> listeners(bool watchingOnly) {
        std::vector<std::shared_ptr<LinkListener>> out;
        std::lock_guard<std::mutex> guard(mutex);
        for (const Member& member : members)
            if (!watchingOnly || member.watching)
                if (auto listener = member.listener.lock())
                    out.push_back(std::move(listener));
        return out;
    }

    bool anyWatching() {
        std::lock_guard<std::mutex> guard(mutex);
        for (const Member& member : members)
            if (member.watching)
                return true;
        return false;
    }

    void deliver(std::string_view bytes) {
        for (const auto& listener : listeners(false))
            listener->onData(bytes);
    }

    void onData(const char* data, int length) {
        if (data == nullptr || length <= 0)
            return;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (waiting) {
                if (received.size() < kMaxReplyBytes)
                    received.append(data, static_cast<size_t>(length));
                replied.notify_all();
                return;
            }
        }
        deliver(std::string_view(data, static_cast<size_t>(length)));
    }

    void onStatus(const unsigned char* block) {
        int conditions = printerstatus::fromAutomaticStatus(block);
        for (const auto& listener : listeners(true))
            listener->onAutomaticStatus(conditions);
    }

    void onPower(int onLine) {
        for (const auto& listener : listeners(false))
            listener->onConnection(onLine != 0);
        // A printer found again has forgotten that it was asked to report.
        if (onLine && anyWatching())
            send(asbCommand(true), kResendTurnWait);
    }
};

namespace {

std::shared_ptr<CvnPortLinks::Endpoint> slotEndpoint(int slot) {
    CvnPortLinks* links = theLinks.load();
    return links ? links->endpointInSlot(slot) : nullptr;
}

// The receivers of one slot; cvnport calls them on the port's read thread.
template <int Slot>
void dataReceiver(const char* data, int length) {
    if (auto endpoint = slotEndpoint(Slot))
        endpoint->onData(data, length);
}

template <int Slot>
void statusReceiver(const unsigned char* block) {
    if (auto endpoint = slotEndpoint(Slot); endpoint && block)
        endpoint->onStatus(block);
}

template <int Slot>
void powerReceiver(int onLine) {
    if (auto endpoint = slotEndpoint(Slot))
        endpoint->onPower(onLine);
}

template <size_t... Slots>
constexpr auto dataReceivers(std::index_sequence<Slots...>) {
    return std::array<CVN_DATA_RECEIVER, sizeof...(Slots)>{&dataReceiver<Slots>...};
}
template <size_t... Slots>
constexpr auto statusReceivers(std::index_sequence<Slots...>) {
    return std::array<CVN_STATUS_RECEIVER, sizeof...(Slots)>{&statusReceiver<Slots>...};
}
template <size_t... Slots>
constexpr auto powerReceivers(std::index_sequence<Slots...>) {
    return std::array<CVN_POWER_STATUS_RECEIVER, sizeof...(Slots)>{&powerReceiver<Slots>...};
}

constexpr auto kDataReceivers = dataReceivers(std::make_index_sequence<CvnPortLinks::kSlots>());
constexpr auto kStatusReceivers = statusReceivers(std::make_index_sequence<CvnPortLinks::kSlots>());
constexpr auto kPowerReceivers = powerReceivers(std::make_index_sequence<CvnPortLinks::kSlots>());

}  // namespace

// One handle's use of an endpoint; closing it closes the handle's open of the port.
class CvnPortLink : public PrinterLink {
public:
    CvnPortLink(CvnPortLinks& owner, std::shared_ptr<CvnPortLinks::Endpoint> endpoint,
                const LinkListener* key)
        : owner_(owner), endpoint_(std::move(endpoint)), key_(key) {}
    ~CvnPortLink() override { owner_.release(endpoint_, key_); }

    bool send(std::string_view bytes) override { return endpoint_->send(bytes, kWriteTurnWait); }

    std::optional<std::string> exchange(std::string_view query, const ReplyCheck& check,
                                        int timeoutMs) override {
        auto deadline = Turn::Clock::now() + std::chrono::milliseconds(timeoutMs);
        CvnPortLinks::Endpoint& endpoint = *endpoint_;
        if (!endpoint.queries.take(deadline))
            return std::nullopt;
        {
            std::lock_guard<std::mutex> guard(endpoint.mutex);
            endpoint.waiting = true;
            endpoint.received.clear();
        }
        bool sent = endpoint.send(query, deadline - Turn::Clock::now());
        std::optional<std::string> reply;
        std::string leftOver;
        {
            std::unique_lock<std::mutex> lock(endpoint.mutex);
            size_t length = 0;
            if (sent)
                endpoint.replied.wait_until(lock, deadline, [&] {
                    length = check(endpoint.received);
                    return length > 0;
                });
            if (length > 0) {
                reply = endpoint.received.substr(0, length);
                leftOver = endpoint.received.substr(length);
            }
            endpoint.waiting = false;
            endpoint.received.clear();
        }
        endpoint.queries.give();
        if (!leftOver.empty())
            endpoint.deliver(leftOver);
        return reply;
    }

    int watchStatus(bool on) override {
        CvnPortLinks::Endpoint& endpoint = *endpoint_;
        if (on && endpoint.gateway &&
            (endpoint.deviceId < DRAVIX_GATEWAY_FIRST_STATUS_DEVICE ||
             endpoint.deviceId > DRAVIX_GATEWAY_LAST_STATUS_DEVICE))
            return DRAVIX_E_NOT_SUPPORTED;
        {
            std::lock_guard<std::mutex> guard(endpoint.mutex);
            for (auto& member : endpoint.members)
                if (member.key == key_)
                    member.watching = on;
        }
        if (on) {
            SetAsbMode(1, endpoint.portId, endpoint.deviceId,
                       kStatusReceivers[static_cast<size_t>(endpoint.slot)]);
            return send(asbCommand(true)) ? DRAVIX_SUCCESS : DRAVIX_E_WRITE_FAILED;
        }
        if (endpoint.anyWatching())
            return DRAVIX_SUCCESS;
        bool sent = send(asbCommand(false));
        SetAsbMode(0, endpoint.portId, endpoint.deviceId, nullptr);
        return sent ? DRAVIX_SUCCESS : DRAVIX_E_WRITE_FAILED;
    }

private:
    CvnPortLinks& owner_;
    std::shared_ptr<CvnPortLinks::Endpoint> endpoint_;
    const LinkListener* key_;
};

CvnPortLinks::CvnPortLinks() {
    theLinks = this;
}

CvnPortLinks::~CvnPortLinks() {
    theLinks = nullptr;
}

std::shared_ptr<CvnPortLinks::Endpoint> CvnPortLinks::endpointInSlot(int slot) {
    std::lock_guard<std::mutex> guard(slotsMutex_);
    return slots_[static_cast<size_t>(slot)];
}

int CvnPortLinks::open(const PortTarget& target, std::weak_ptr<LinkListener> listener,
                       std::unique_ptr<PrinterLink>& link) {
    const char* kMethod = "CvnPortLinks::open";
    std::lock_guard<std::mutex> calls(portCallsMutex_);
    int portId =
        CreatePortW(target.portType, reinterpret_cast<const cvn_wchar*>(target.portName.c_str()),
                    target.gateway() ? kGatewayDeviceType : kPosDeviceType);
    if (portId == 0)
        return DRAVIX_E_BAD_ARGUMENT;
    SetConnectMode(portId, target.gateway() ? kConnectModeGateway : kConnectModePrinter);
    if (OpenPort(portId, target.deviceId) == 0) {
        RemovePort(portId, target.deviceId);
        return DRAVIX_E_OPEN_FAILED;
    }
    if (!IsPowerState(portId)) {
        ClosePort(portId, target.deviceId);
        RemovePort(portId, target.deviceId);
        return DRAVIX_E_OPEN_FAILED;
    }
    std::shared_ptr<Endpoint> endpoint =
        attach(portId, target.deviceId, target.gateway(), listener);
    if (!endpoint) {
        ClosePort(portId, target.deviceId);
        RemovePort(portId, target.deviceId);
        return DRAVIX_E_TOO_MANY;
    }
    TraceWrite(kMethod, __LINE__, "-port %d device %d slot %d", portId, target.deviceId,
               endpoint->slot);
    auto key = listener.lock();
    link = std::make_unique<CvnPortLink>(*this, endpoint, key.get());
    return DRAVIX_SUCCESS;
}

std::shared_ptr<CvnPortLinks::Endpoint> CvnPortLinks::attach(
    int portId, int deviceId, bool gateway, const std::weak_ptr<LinkListener>& listener) {
    auto key = listener.lock();
    std::shared_ptr<Endpoint> endpoint;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = endpoints_.find({portId, deviceId});
        if (found != endpoints_.end()) {
            endpoint = found->second;
        } else {
            endpoint = std::make_shared<Endpoint>();
            endpoint->portId = portId;
            endpoint->deviceId = deviceId;
            endpoint->gateway = gateway;
            std::shared_ptr<Port> port = ports_[portId].lock();
            if (!port) {
                port = std::make_shared<Port>();
                port->portId = portId;
                ports_[portId] = port;
            }
            endpoint->port = port;
            {
                std::lock_guard<std::mutex> slots(slotsMutex_);
                // Slots are taken round the table, so a receiver call that was already under
                // way when its slot was freed finds the slot empty rather than reused.
                for (int step = 0; step < kSlots && endpoint->slot < 0; ++step) {
                    int candidate = (nextSlot_ + step) % kSlots;
                    if (!slots_[static_cast<size_t>(candidate)])
                        endpoint->slot = candidate;
                }
                if (endpoint->slot < 0)
                    return nullptr;
                nextSlot_ = (endpoint->slot + 1) % kSlots;
                slots_[static_cast<size_t>(endpoint->slot)] = endpoint;
            }
            endpoints_[{portId, deviceId}] = endpoint;
        }
    }
    {
        std::lock_guard<std::mutex> guard(endpoint->mutex);
        endpoint->members.push_back({listener, key.get(), false});
    }
    size_t slot = static_cast<size_t>(endpoint->slot);
    SetDataReceiver(portId, deviceId, kDataReceivers[slot]);
    SetPowerStatusReceiver(portId, deviceId, kPowerReceivers[slot]);
    return endpoint;
}

void CvnPortLinks::release(const std::shared_ptr<Endpoint>& endpoint, const LinkListener* key) {
    std::lock_guard<std::mutex> calls(portCallsMutex_);
    bool wasWatching = false;
    bool last = false;
    {
        std::lock_guard<std::mutex> guard(endpoint->mutex);
        auto& members = endpoint->members;
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (it->key == key) {
                wasWatching = it->watching;
                members.erase(it);
                break;
            }
        }
        last = members.empty();
    }
    int portId = endpoint->portId;
    int deviceId = endpoint->deviceId;
    if (wasWatching && !endpoint->anyWatching()) {
        endpoint->send(asbCommand(false), kResendTurnWait);
        SetAsbMode(0, portId, deviceId, nullptr);
    }
    if (last) {
        SetDataReceiver(portId, deviceId, nullptr);
        SetPowerStatusReceiver(portId, deviceId, nullptr);
        std::lock_guard<std::mutex> guard(mutex_);
        endpoints_.erase({portId, deviceId});
        if (ports_[portId].use_count() <= 1)
            ports_.erase(portId);
        std::lock_guard<std::mutex> slots(slotsMutex_);
        slots_[static_cast<size_t>(endpoint->slot)].reset();
    }
    ClosePort(portId, deviceId);
    RemovePort(portId, deviceId);
    TraceWrite("CvnPortLinks::release", __LINE__, "-port %d device %d", portId, deviceId);
}
