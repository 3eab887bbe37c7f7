#include "platform/TcpStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "SocketCalls.h"

namespace platform {
namespace {

thread_local int lastError = 0;

}  // namespace

void setSocketLastError(int error) {
    lastError = error;
}

bool socketCallFailed() {
    lastError = errno;
    return false;
}

namespace {

bool fail() {
    return socketCallFailed();
}

// The kernel counts keep-alive times in whole seconds.
int toSeconds(int ms) {
    return std::max(1, ms / 1000);
}

// poll() that resumes after a signal until the time is up.
int pollFor(pollfd& entry, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int result = ::poll(&entry, 1, timeoutMs);
        if (result >= 0 || errno != EINTR)
            return result;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        timeoutMs = static_cast<int>(std::max<int64_t>(0, left.count()));
    }
}

}  // namespace

WaitResult socketWait(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    int result = pollFor(entry, std::max(0, timeoutMs));
    if (result < 0) {
        fail();
        return WaitResult::Failed;
    }
    if (result == 0)
        return WaitResult::TimedOut;
    if (entry.revents & POLLNVAL) {
        lastError = EBADF;
        return WaitResult::Failed;
    }
    return WaitResult::Ready;
}

const int kSocketWouldBlock = EWOULDBLOCK;
const int kSocketNotSocket = ENOTSOCK;

int socketLastError() {
    return lastError;
}

std::shared_ptr<TcpStream> TcpStream::create() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        fail();
        return nullptr;
    }
    return std::shared_ptr<TcpStream>(new TcpStream(fd));
}

TcpStream::~TcpStream() {
    ::close(fd_);
}

bool TcpStream::setLinger(bool on, int seconds) {
    linger value{on ? 1 : 0, seconds};
    return ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0 || fail();
}

bool socketSetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return fail();
    return ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 || fail();
}

bool TcpStream::setNonBlocking() {
    return socketSetNonBlocking(fd_);
}

bool TcpStream::setKeepAlive(int timeMs, int intervalMs) {
    int on = 1;
    int idle = toSeconds(timeMs);
    int interval = toSeconds(intervalMs);
    if (::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
        return fail();
    if (::setsockopt(fd_, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) != 0)
        return fail();
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 || fail();
}

bool TcpStream::setNoDelay() {
    int on = 1;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 || fail();
}

bool TcpStream::setSendBufferSize(int bytes) {
    return ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0 || fail();
}

bool socketBind(int fd, uint32_t ipv4, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(ipv4);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || fail();
}

bool TcpStream::bind(uint32_t ipv4, int port) {
    return socketBind(fd_, ipv4, port);
}

bool TcpStream::setReceiveBufferSize(int bytes) {
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0 || fail();
}

bool TcpStream::connect(uint32_t ipv4, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(ipv4);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    if (errno == EINPROGRESS || errno == EINTR) {
        // Under way; the writable wait tells how it ends.
        lastError = EWOULDBLOCK;
        return true;
    }
    return fail();
}

WaitResult TcpStream::waitWritable(int timeoutMs) {
    return socketWait(fd_, POLLOUT, timeoutMs);
}

WaitResult TcpStream::waitReadable(int timeoutMs) {
    return socketWait(fd_, POLLIN | POLLRDHUP, timeoutMs);
}

int socketPendingError(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

int TcpStream::pendingError() {
    return socketPendingError(fd_);
}

PeerState TcpStream::peerState() {
    pollfd entry{fd_, POLLIN | POLLRDHUP, 0};
    int result = pollFor(entry, 0);
    if (result < 0 || (entry.revents & POLLNVAL)) {
        lastError = result < 0 ? errno : EBADF;
        return PeerState::Failed;
    }
    if (!(entry.revents & (POLLRDHUP | POLLHUP | POLLERR)))
        return PeerState::Open;
    // A close that follows data counts only once the data has been read, so that a
    // printer's last words are not thrown away with the connection.
    int waiting = 0;
    if (!(entry.revents & POLLERR) && ::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0)
        return PeerState::Open;
    return PeerState::Closed;
}

int socketReceive(int fd, void* buffer, int length) {
    for (;;) {
        ssize_t got = ::recv(fd, buffer, static_cast<size_t>(std::max(0, length)), 0);
        if (got >= 0)
            return static_cast<int>(got);
        if (errno != EINTR) {
            fail();
            return -1;
        }
    }
}

int socketSend(int fd, const void* data, int length) {
    for (;;) {
        ssize_t sent = ::send(fd, data, static_cast<size_t>(std::max(0, length)), MSG_NOSIGNAL);
        if (sent >= 0)
            return static_cast<int>(sent);
        if (errno != EINTR) {
            fail();
            return -1;
        }
    }
}

int TcpStream::receive(void* buffer, int length) {
    return socketReceive(fd_, buffer, length);
}

int TcpStream::send(const void* data, int length) {
    return socketSend(fd_, data, length);
}

bool TcpStream::shutdownBoth() {
    return ::shutdown(fd_, SHUT_RDWR) == 0 || fail();
}

bool TcpStream::shutdownSending() {
    return ::shutdown(fd_, SHUT_WR) == 0 || fail();
}

int TcpStream::unacknowledgedBytes() {
    int queued = 0;
    return ::ioctl(fd_, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

bool TcpStream::isConnected() {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return fail();
    return info.tcpi_state == TCP_ESTABLISHED || info.tcpi_state == TCP_CLOSE_WAIT;
}

}  // namespace platform
