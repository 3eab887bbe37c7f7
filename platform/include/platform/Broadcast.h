// UDP broadcast on the computer's own networks: the interfaces that can broadcast and the
// datagram sockets a search for printers sends its probes on.
//
// Failing calls keep the system's error code for socketLastError() (TcpStream.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/TcpStream.h"

namespace platform {

// Addresses in host byte order.
struct BroadcastInterface {
    uint32_t address = 0;
    uint32_t broadcast = 0;
    unsigned flags = 0;  // the system's interface flags
};

// The IPv4 interfaces that are up and broadcast, in the order the system lists them;
// addresses 0.0.0.0 and 127.0.0.1 are left out.
std::vector<BroadcastInterface> broadcastInterfaces();

class UdpSocket {
public:
    // A new IPv4 datagram socket, or none.
    static std::unique_ptr<UdpSocket> create();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool enableBroadcast();
    bool setReceiveTimeout(int ms);
    // Several sockets may be bound to one address and port (a search's second round).
    bool enableAddressReuse();
    bool bind(uint32_t ipv4, int port);
    bool setNonBlocking();
    // False unless the whole datagram went out.
    bool sendTo(uint32_t ipv4, int port, const void* data, int length);
    // One datagram, cut to `length`; -1 when none waits (kSocketWouldBlock) or on failure.
    int receive(void* buffer, int length);

private:
    friend WaitResult waitForDatagrams(const std::vector<UdpSocket*>&, int, std::vector<size_t>&);
    explicit UdpSocket(int fd) : fd_(fd) {}
    int fd_;
};

// Waits up to `timeoutMs` until some of the sockets have a datagram; `ready` then holds
// their indexes, ascending.
WaitResult waitForDatagrams(const std::vector<UdpSocket*>& sockets, int timeoutMs,
                            std::vector<size_t>& ready);

}  // namespace platform
