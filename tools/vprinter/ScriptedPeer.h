// A printer on a TCP port of 127.0.0.1 that does what a test tells it: it records
// every byte it receives, answers byte patterns, drops or refuses connections, stops
// reading, and comes back. One thread serves all connections; the calls below are
// carried out on it and return once it has done so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PeerLoop.h"

namespace vprinter {

class ScriptedPeer {
public:
    using Duration = std::chrono::milliseconds;

    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Listens on an ephemeral port of 127.0.0.1. A receive buffer size above 0 is
    // given to every accepted connection (small ones make a stalled peer block soon).
    bool start(int receiveBufferSize = 0);
    void stop();
    int port() const { return port_; }
    // "127.0.0.1:<port>", the port name of a network port.
    std::string portName() const;

    // Whenever a connection's bytes contain `pattern`, `reply` goes back on it.
    void addReply(const std::string& pattern, const std::string& reply);
    // Closes the next `count` connections as soon as they are accepted.
    void closeNextAccepts(int count);
    // Stops listening, so that connects are refused; comeBack listens again on the
    // same port.
    void refuse();
    bool comeBack();
    // Closes every open connection: with a FIN, or with a reset.
    void dropConnections(bool reset = false);
    // While stalled nothing is read, so the sender's buffers fill up.
    void stall(bool stalled);
    // Sends to every open connection; false when there is none or a send failed.
    bool sendToAll(const std::string& bytes);
    // Off: bytes are only counted (long transfers).
    void setRecording(bool recording);

    std::string received() const;
    size_t receivedCount() const;
    void clearReceived();
    int connections() const;  // accepted so far, closed ones included
    int openConnections() const;

    bool waitForBytes(size_t count, Duration timeout) const;
    bool waitForConnections(int count, Duration timeout) const;
    bool waitForOpenConnections(int count, Duration timeout) const;

private:
    struct Connection {
        int fd = -1;
        std::string window;  // received bytes not yet matched against the replies
    };
    struct Reply {
        std::string pattern;
        std::string bytes;
    };

    void pass();
    void perform(std::function<void()> command);
    bool listen();
    void closeListener();
    void acceptOne();
    void readFrom(Connection& connection);
    void closeConnection(size_t index, bool reset);
    void notifyState();

    int receiveBufferSize_ = 0;
    int port_ = 0;
    bool started_ = false;
    PeerLoop loop_;

    // Touched by the peer's thread only.
    int listenFd_ = -1;
    std::vector<Connection> connections_;
    std::vector<Reply> replies_;
    int closeNext_ = 0;
    bool stalled_ = false;

    // Shared with the callers.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool recording_ = true;
    std::string received_;
    size_t receivedCount_ = 0;
    int accepted_ = 0;
    int open_ = 0;
};

}  // namespace vprinter
