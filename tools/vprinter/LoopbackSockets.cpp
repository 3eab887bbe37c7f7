#include "LoopbackSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vprinter {

int listenLoopback(int& port, int receiveBufferSize) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (receiveBufferSize > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferSize, sizeof receiveBufferSize);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int connectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int acceptConnection(int listenFd) {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

bool sendEverything(int fd, std::string_view bytes) {
    size_t done = 0;
    bool socket = true;
    // Bounded: a peer that stops reading cannot hold this thread for long.
    for (int attempt = 0; done < bytes.size() && attempt < 1000; ++attempt) {
        ssize_t sent = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd, bytes.data() + done, bytes.size() - done);
        // A serial line's terminal takes plain writes.
        if (sent < 0 && errno == ENOTSOCK) {
            socket = false;
            continue;
        }
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd entry{fd, POLLOUT, 0};
        ::poll(&entry, 1, 10);
    }
    return done == bytes.size();
}

int makeWakeFd() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void wake(int wakeFd) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wakeFd, &one, sizeof one);
}

void drainWake(int wakeFd) {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t ignored = ::read(wakeFd, &count, sizeof count);
}

}  // namespace vprinter
