#include "platform/Broadcast.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "PollUntil.h"
#include "SocketCalls.h"

namespace platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

uint32_t hostOrder(const sockaddr* address) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

}  // namespace

std::vector<BroadcastInterface> broadcastInterfaces() {
    std::vector<BroadcastInterface> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(entry->ifa_flags & IFF_UP) || !(entry->ifa_flags & IFF_BROADCAST) ||
            !entry->ifa_broadaddr)
            continue;
        uint32_t address = hostOrder(entry->ifa_addr);
        if (address == 0 || address == kLoopback)
            continue;
        found.push_back({address, hostOrder(entry->ifa_broadaddr), entry->ifa_flags});
    }
    ::freeifaddrs(list);
    return found;
}

std::unique_ptr<UdpSocket> UdpSocket::create() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        socketCallFailed();
        return nullptr;
    }
    return std::unique_ptr<UdpSocket>(new UdpSocket(fd));
}

UdpSocket::~UdpSocket() {
    ::close(fd_);
}

bool UdpSocket::enableBroadcast() {
    int on = 1;
    return ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 || socketCallFailed();
}

bool UdpSocket::setReceiveTimeout(int ms) {
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 ||
           socketCallFailed();
}

bool UdpSocket::enableAddressReuse() {
    int on = 1;
    return ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 || socketCallFailed();
}

bool UdpSocket::bind(uint32_t ipv4, int port) {
    return socketBind(fd_, ipv4, port);
}

bool UdpSocket::setNonBlocking() {
    return socketSetNonBlocking(fd_);
}

bool UdpSocket::sendTo(uint32_t ipv4, int port, const void* data, int length) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(ipv4);
    target.sin_port = htons(static_cast<uint16_t>(port));
    ssize_t sent;
    do {
        sent = ::sendto(fd_, data, static_cast<size_t>(length), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        return socketCallFailed();
    return sent == length;
}

int UdpSocket::receive(void* buffer, int length) {
    return socketReceive(fd_, buffer, length);
}

WaitResult waitForDatagrams(const std::vector<UdpSocket*>& sockets, int timeoutMs,
                            std::vector<size_t>& ready) {
    ready.clear();
    std::vector<pollfd> entries;
    for (const UdpSocket* socket : sockets)
        entries.push_back({socket->fd_, POLLIN, 0});
    int result = pollUntil(entries.data(), entries.size(), timeoutMs);
    if (result < 0) {
        socketCallFailed();
        return WaitResult::Failed;
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].revents & POLLIN)
            ready.push_back(i);
    return ready.empty() ? WaitResult::TimedOut : WaitResult::Ready;
}

}  // namespace platform
