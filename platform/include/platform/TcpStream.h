// A client TCP connection over IPv4, the calls a network printer port makes on it.
//
// Every call that fails keeps the system's error code for socketLastError() on the
// calling thread, the way the socket library of the other platform reports it. A
// stream may be shared by a reader and a writer thread; it closes when the last
// owner lets it go.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// The system's error code of the last failed socket call on this thread.
int socketLastError();
// Error codes the callers tell apart, in the platform's own numbering.
extern const int kSocketWouldBlock;
extern const int kSocketNotSocket;

enum class WaitResult { Ready, TimedOut, Failed };

enum class PeerState {
    Open,    // nothing seen, or data still waiting to be read
    Closed,  // the peer closed or reset the connection and nothing is left to read
    Failed   // the check itself failed
};

class TcpStream {
public:
    // A new unconnected socket, or none (see socketLastError()).
    static std::shared_ptr<TcpStream> create();
    ~TcpStream();
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    bool setLinger(bool on, int seconds);
    bool setNonBlocking();
    // Keep-alive on, first probe after `timeMs` of silence, then every `intervalMs`.
    bool setKeepAlive(int timeMs, int intervalMs);
    // Small writes go out at once instead of waiting for the peer's acknowledgement: a
    // printer's short questions and commands must not sit out a delayed ACK.
    bool setNoDelay();
    bool setSendBufferSize(int bytes);
    bool setReceiveBufferSize(int bytes);

    // Gives the local end an address (host byte order) and port before connecting.
    bool bind(uint32_t ipv4, int port);
    // Starts connecting to an address in host byte order. True when connected or
    // under way (a non-blocking socket); false with socketLastError() otherwise.
    bool connect(uint32_t ipv4, int port);
    WaitResult waitWritable(int timeoutMs);
    WaitResult waitReadable(int timeoutMs);
    // The error a connect or the connection ended with (0 when none).
    int pendingError();
    // Sees a close by the peer without taking any data.
    PeerState peerState();

    // -1 on failure; 0 from receive means the peer closed its side.
    int receive(void* buffer, int length);
    // Never raises a signal when the peer has gone.
    int send(const void* data, int length);
    bool shutdownBoth();
    // No more sending; the peer reads the end of the stream.
    bool shutdownSending();
    // Bytes sent the peer has not acknowledged yet, unsent ones included; -1 when unknown.
    int unacknowledgedBytes();
    // False once the connection can carry nothing more to the peer: reset, or closed at
    // this end. A peer that only closed its sending side still counts. Tells a peer that
    // is gone from a slow one, whose unacknowledged bytes are counted alike.
    bool isConnected();

private:
    explicit TcpStream(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace platform
