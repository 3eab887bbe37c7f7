#include "DiscoveryResponder.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "LoopbackSockets.h"

namespace vprinter {
namespace {

constexpr char kFirstRequest[] = "FIND";
constexpr char kFirstHeader[] = "IMIN";
constexpr char kSecondRequest[] = "__[I_F]__[PRT_REG]";
constexpr char kSecondHeader[] = "__[I_F]__[REG_RSP]";
// Model name bytes in each record; the second record's last byte stays 0 (no extension).
constexpr size_t kFirstModelBytes = 14;
constexpr size_t kSecondModelBytes = 17;
constexpr size_t kSecondRecordRest = 18;

int bindProbePort(int port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The hardware address of an interface, zeros when it has none.
void hardwareAddress(int interfaceIndex, unsigned char (&out)[6]) {
    std::memset(out, 0, sizeof out);
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_ifindex == interfaceIndex && link->sll_halen == sizeof out) {
            std::memcpy(out, link->sll_addr, sizeof out);
            break;
        }
    }
    ::freeifaddrs(list);
}

void appendPadded(std::string& out, const std::string& text, size_t size) {
    std::string field = text.substr(0, size);
    field.resize(size, '\0');
    out += field;
}

void appendPort(std::string& out, int port) {
    out += static_cast<char>(port >> 8 & 0xFF);
    out += static_cast<char>(port & 0xFF);
}

}  // namespace

DiscoveryResponder::DiscoveryResponder(std::string model, int tcpPort)
    : model_(std::move(model)), tcpPort_(tcpPort) {}

DiscoveryResponder::~DiscoveryResponder() {
    stop();
}

bool DiscoveryResponder::start() {
    firstFd_ = bindProbePort(kFirstProbePort);
    secondFd_ = bindProbePort(kSecondProbePort);
    wakeFd_ = makeWakeFd();
    if (firstFd_ < 0 || secondFd_ < 0 || wakeFd_ < 0) {
        stop();
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void DiscoveryResponder::stop() {
    if (thread_.joinable()) {
        wake(wakeFd_);
        thread_.join();
    }
    for (int* fd : {&firstFd_, &secondFd_, &wakeFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void DiscoveryResponder::serve() {
    for (;;) {
        pollfd entries[3] = {{wakeFd_, POLLIN, 0}, {firstFd_, POLLIN, 0}, {secondFd_, POLLIN, 0}};
        if (::poll(entries, 3, -1) < 0 && errno != EINTR)
            return;
        if (entries[0].revents)
            return;
        if (entries[1].revents & POLLIN)
            answer(firstFd_, true);
        if (entries[2].revents & POLLIN)
            answer(secondFd_, false);
    }
}

void DiscoveryResponder::answer(int fd, bool firstProbe) {
    char request[64];
    char control[CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in sender{};
    iovec part{request, sizeof request};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = ::recvmsg(fd, &message, 0);
    const char* expected = firstProbe ? kFirstRequest : kSecondRequest;
    if (got != static_cast<ssize_t>(std::strlen(expected)) ||
        std::memcmp(request, expected, got) != 0)
        return;
    in_pktinfo* arrival = nullptr;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO)
            arrival = reinterpret_cast<in_pktinfo*>(CMSG_DATA(header));
    if (!arrival)
        return;

    unsigned char hardware[6];
    hardwareAddress(arrival->ipi_ifindex, hardware);
    std::string reply = firstProbe ? kFirstHeader : kSecondHeader;
    reply.append(reinterpret_cast<const char*>(hardware), sizeof hardware);
    reply.append(reinterpret_cast<const char*>(&arrival->ipi_spec_dst.s_addr), 4);
    if (firstProbe) {
        appendPadded(reply, model_, kFirstModelBytes);
        appendPort(reply, tcpPort_);
        appendPort(reply, 0);
    } else {
        appendPadded(reply, model_.substr(0, kSecondModelBytes), kSecondRecordRest);
        appendPort(reply, tcpPort_);
    }
    if (::sendto(fd, reply.data(), reply.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&sender),
                 sizeof sender) == static_cast<ssize_t>(reply.size()))
        ++answered_;
}

}  // namespace vprinter
