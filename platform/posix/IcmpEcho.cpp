#include "platform/IcmpEcho.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {
namespace {

constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kEchoReply = 0;

std::atomic<uint16_t> nextSequence{1};

uint16_t checksum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (length & 1)
        sum += static_cast<uint32_t>(bytes[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

class Socket {
public:
    explicit Socket(int fd) : fd(fd) {}
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd;
};

class SystemIcmpEcho final : public IcmpEcho {
public:
    EchoReply echo(uint32_t ipv4, int timeoutMs) override {
        EchoReply result;
        // The datagram kind needs no privilege where net.ipv4.ping_group_range lets
        // our group in; the raw kind needs CAP_NET_RAW.
        bool raw = false;
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0) {
            raw = true;
            fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        }
        if (fd < 0) {
            result.outcome = EchoReply::Outcome::NoHandle;
            result.error = errno;
            return result;
        }
        Socket socket(fd);

        uint16_t sequence = nextSequence.fetch_add(1);
        // A datagram socket gets its identifier from the kernel, which also filters
        // the replies; a raw socket sees every echo reply of the host.
        uint16_t identifier = static_cast<uint16_t>(::getpid() ^ (sequence << 3));
        uint8_t request[8] = {kEchoRequest,
                              0,
                              0,
                              0,
                              static_cast<uint8_t>(identifier >> 8),
                              static_cast<uint8_t>(identifier),
                              static_cast<uint8_t>(sequence >> 8),
                              static_cast<uint8_t>(sequence)};
        uint16_t sum = checksum(request, sizeof request);
        request[2] = static_cast<uint8_t>(sum >> 8);
        request[3] = static_cast<uint8_t>(sum);

        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(ipv4);
        auto start = std::chrono::steady_clock::now();
        if (::sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&target),
                     sizeof target) != static_cast<ssize_t>(sizeof request)) {
            result.error = errno;
            return result;
        }

        auto deadline = start + std::chrono::milliseconds(timeoutMs);
        for (int packets = 0; packets < 1000; ++packets) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left < 0)
                break;
            pollfd entry{fd, POLLIN, 0};
            int ready = ::poll(&entry, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0) {
                result.error = errno;
                return result;
            }
            if (ready == 0)
                break;

            uint8_t packet[1500];
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            ssize_t got = ::recvfrom(fd, packet, sizeof packet, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                result.error = errno;
                return result;
            }
            if (from.sin_addr.s_addr != target.sin_addr.s_addr)
                continue;
            size_t offset = 0;
            if (raw) {
                if (got < 1)
                    continue;
                offset = static_cast<size_t>(packet[0] & 0x0f) * 4;
            }
            if (static_cast<size_t>(got) < offset + 8)
                continue;
            const uint8_t* icmp = packet + offset;
            uint16_t replyId = static_cast<uint16_t>(icmp[4] << 8 | icmp[5]);
            uint16_t replySequence = static_cast<uint16_t>(icmp[6] << 8 | icmp[7]);
            if (icmp[0] != kEchoReply || replySequence != sequence ||
                (raw && replyId != identifier))
                continue;
            result.outcome = EchoReply::Outcome::Reply;
            result.status = icmp[1];
            result.roundTripMs =
                static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
            return result;
        }
        result.error = ETIMEDOUT;
        return result;
    }
};

}  // namespace

std::shared_ptr<IcmpEcho> systemIcmpEcho() {
    static auto echo = std::make_shared<SystemIcmpEcho>();
    return echo;
}

}  // namespace platform
