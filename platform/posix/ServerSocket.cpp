#include "platform/ServerSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "SocketCalls.h"

namespace platform {
namespace {

bool fail() {
    return socketCallFailed();
}

std::string addressText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

std::unique_ptr<ServerSocket> ServerSocket::create() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        fail();
        return nullptr;
    }
    return std::unique_ptr<ServerSocket>(new ServerSocket(fd));
}

ServerSocket::~ServerSocket() {
    ::close(fd_);
}

bool ServerSocket::selectEvents(unsigned events) {
    selected_ = events;
    return true;
}

bool ServerSocket::bind(uint32_t ipv4, int port) {
    // Connections this server closed linger in TIME_WAIT on its port; without this a
    // restart could not listen there again for a minute. Two listeners on one port are
    // still refused.
    int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return socketBind(fd_, ipv4, port);
}

bool ServerSocket::listen() {
    return ::listen(fd_, SOMAXCONN) == 0 || fail();
}

bool ServerSocket::setNonBlocking() {
    return socketSetNonBlocking(fd_);
}

int ServerSocket::localPort() const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::unique_ptr<ServerSocket> ServerSocket::accept() {
    for (;;) {
        int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0)
            return std::unique_ptr<ServerSocket>(new ServerSocket(fd));
        if (errno != EINTR) {
            fail();
            return nullptr;
        }
    }
}

bool ServerSocket::peerAddress(PeerAddress& out) const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return fail();
    out.text = addressText(address.sin_addr);
    out.port = ntohs(address.sin_port);
    return true;
}

int ServerSocket::receive(void* buffer, int length) {
    return socketReceive(fd_, buffer, length);
}

int ServerSocket::send(const void* data, int length) {
    return socketSend(fd_, data, length);
}

bool ServerSocket::shutdownBoth() {
    return ::shutdown(fd_, SHUT_RDWR) == 0 || fail();
}

WaitResult ServerSocket::waitReadable(int timeoutMs) {
    return socketWait(fd_, POLLIN | POLLRDHUP, timeoutMs);
}

WaitResult ServerSocket::waitWritable(int timeoutMs) {
    return socketWait(fd_, POLLOUT, timeoutMs);
}

SocketWaiter::SocketWaiter() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SocketWaiter::~SocketWaiter() {
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool SocketWaiter::valid() const {
    return wakeFd_ >= 0;
}

SocketWaiter::Outcome SocketWaiter::wait(const std::vector<ServerSocket*>& sockets,
                                         std::vector<size_t>& ready, int timeoutMs) {
    ready.clear();
    std::vector<pollfd> entries;
    entries.reserve(sockets.size() + 1);
    entries.push_back({wakeFd_, POLLIN, 0});
    for (const ServerSocket* socket : sockets) {
        short events = 0;
        if (socket->selected_ & (kSocketAccept | kSocketRead))
            events |= POLLIN;
        if (socket->selected_ & kSocketClose)
            events |= POLLRDHUP;
        if (socket->selected_ & kSocketWrite)
            events |= POLLOUT;
        entries.push_back({socket->fd_, events, 0});
    }
    int result;
    do {
        result = ::poll(entries.data(), entries.size(), timeoutMs);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        fail();
        return Outcome::Failed;
    }
    if (result == 0)
        return Outcome::TimedOut;
    if (entries[0].revents) {
        uint64_t count;
        while (::read(wakeFd_, &count, sizeof count) > 0) {
        }
        return Outcome::Woken;
    }
    for (size_t i = 0; i < sockets.size(); ++i) {
        sockets[i]->happened_ = entries[i + 1].revents;
        if (entries[i + 1].revents)
            ready.push_back(i);
    }
    return Outcome::Ready;
}

void SocketWaiter::wake() {
    uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool SocketWaiter::takeEvents(ServerSocket& socket, NetworkEvents& out) {
    out = NetworkEvents{};
    const short happened = socket.happened_;
    socket.happened_ = 0;
    if (happened & POLLNVAL) {
        setSocketLastError(EBADF);
        return false;
    }
    const int error = (happened & POLLERR) ? socketPendingError(socket.fd_) : 0;
    const unsigned selected = socket.selected_;
    if (selected & kSocketAccept) {
        out.accept = happened & (POLLIN | POLLERR);
        out.acceptError = error;
        // A listener that never came to listen reports a hang-up.
        out.close = (selected & kSocketClose) && (happened & POLLHUP);
        return true;
    }
    // Bytes that came before a close are news of their own and are read first.
    int waiting = 0;
    const bool hasBytes =
        (happened & POLLIN) && ::ioctl(socket.fd_, FIONREAD, &waiting) == 0 && waiting > 0;
    out.read = (selected & kSocketRead) && hasBytes;
    out.write = (selected & kSocketWrite) && (happened & (POLLOUT | POLLERR | POLLHUP));
    out.close = (selected & kSocketClose) && ((happened & (POLLRDHUP | POLLHUP | POLLERR)) ||
                                              ((happened & POLLIN) && !hasBytes));
    out.closeError = error;
    return true;
}

std::vector<std::string> localIPv4Addresses(size_t limit) {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    for (ifaddrs* entry = list; entry && addresses.size() < limit; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            addresses.push_back(
                addressText(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr));
    }
    ::freeifaddrs(list);
    return addresses;
}

}  // namespace platform
