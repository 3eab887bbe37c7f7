// The sockets of a TCP server over IPv4: the listening socket and the connections it
// accepts, and the computer's own addresses.
//
// Failing calls keep the system's error code for socketLastError() (TcpStream.h) on the
// calling thread. A server watches its sockets with a SocketWaiter; selectEvents says
// which news of a socket the waiter reports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/TcpStream.h"

namespace platform {

// The news a socket can have, as bits for ServerSocket::selectEvents.
inline constexpr unsigned kSocketAccept = 1;  // a connection waits to be accepted
inline constexpr unsigned kSocketRead = 2;    // bytes wait to be read
inline constexpr unsigned kSocketClose = 4;   // the peer closed or the connection failed
inline constexpr unsigned kSocketWrite = 8;   // the send buffer has room

struct PeerAddress {
    std::string text;  // dotted-decimal
    uint16_t port = 0;
};

class SocketWaiter;

class ServerSocket {
public:
    // A new IPv4 stream socket, or none.
    static std::unique_ptr<ServerSocket> create();
    ~ServerSocket();
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    // The news a SocketWaiter reports for this socket (kSocket... bits).
    bool selectEvents(unsigned events);
    // Binds to `ipv4` (host byte order; 0 for every local address) and `port` (0 for a
    // free one). A port that connections closed a moment ago still linger on can be
    // bound again, so that a restarted server finds its port.
    bool bind(uint32_t ipv4, int port);
    // Listens with the largest backlog the system allows.
    bool listen();
    bool setNonBlocking();
    // The port the socket is bound to; 0 when it is not bound.
    int localPort() const;
    // The next waiting connection, non-blocking like its listener; none when no
    // connection waits (kSocketWouldBlock) or on failure.
    std::unique_ptr<ServerSocket> accept();
    // The connected peer; false for a socket without one (a listener).
    bool peerAddress(PeerAddress& out) const;

    // -1 on failure (kSocketWouldBlock when nothing waits); 0 when the peer closed.
    int receive(void* buffer, int length);
    // -1 on failure (kSocketWouldBlock when the send buffer is full). Never raises a
    // signal when the peer has gone.
    int send(const void* data, int length);
    bool shutdownBoth();
    WaitResult waitReadable(int timeoutMs);
    WaitResult waitWritable(int timeoutMs);

private:
    friend class SocketWaiter;
    explicit ServerSocket(int fd) : fd_(fd) {}

    int fd_;
    unsigned selected_ = 0;
    short happened_ = 0;  // what the last wait saw, until takeEvents
};

struct NetworkEvents {
    bool accept = false;
    bool read = false;
    bool close = false;
    bool write = false;
    // System error codes that came with the news (0 when none).
    int acceptError = 0;
    int readError = 0;
    int closeError = 0;
};

// Waits on many sockets at once, with a wake-up that any thread can trigger. At most
// 64 sockets, the most one wait on socket event objects can watch; a backend built on
// those wakes the wait by signalling the first socket's event.
class SocketWaiter {
public:
    static constexpr int kMaxSockets = 64;

    SocketWaiter();
    ~SocketWaiter();
    SocketWaiter(const SocketWaiter&) = delete;
    SocketWaiter& operator=(const SocketWaiter&) = delete;

    // False when the wake-up could not be made.
    bool valid() const;

    enum class Outcome { Ready, Woken, TimedOut, Failed };
    // Waits until one of the sockets (at most kMaxSockets) has news it selected, wake()
    // is called, or `timeoutMs` pass (-1: no time-out). On Ready, `ready` holds the
    // indexes of the sockets with news, ascending.
    Outcome wait(const std::vector<ServerSocket*>& sockets, std::vector<size_t>& ready,
                 int timeoutMs = -1);
    // Ends the current wait, or the next one if none is under way.
    void wake();
    // The news the last wait saw on the socket, which is then forgotten. False when the
    // news cannot be read.
    bool takeEvents(ServerSocket& socket, NetworkEvents& out);

private:
    int wakeFd_ = -1;
};

// The IPv4 addresses of the computer's own interfaces, dotted-decimal, in the order the
// system lists them, at most `limit`. Asks no name service.
std::vector<std::string> localIPv4Addresses(size_t limit);

}  // namespace platform
