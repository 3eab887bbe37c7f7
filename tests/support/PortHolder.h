// A TCP socket on every IPv4 address of a port, listening or only bound, for tests of
// what a program does about a port that is taken; and a port that nobody listens on.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

class PortHolder {
public:
    // port 0: a free one.
    explicit PortHolder(int port = 0, bool listening = true) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 (!listening || listen(fd_, 1) == 0);
        socklen_t size = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~PortHolder() { close(fd_); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool bound() const { return bound_; }
    int port() const { return port_; }

    // A port that was free a moment ago: nobody listens there.
    static int freePort() { return PortHolder(0, false).port(); }

private:
    int fd_ = -1;
    bool bound_ = false;
    int port_ = 0;
};
