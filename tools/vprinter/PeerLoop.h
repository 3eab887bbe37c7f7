// The thread of a loopback peer: it runs the peer's poll pass over and over, and between
// passes the commands other threads hand it, so that the peer's sockets and tables are
// touched by this one thread only. A command's caller waits until it has run.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vprinter {

class PeerLoop {
public:
    PeerLoop() = default;
    ~PeerLoop() { stop(); }
    PeerLoop(const PeerLoop&) = delete;
    PeerLoop& operator=(const PeerLoop&) = delete;

    // `pass` polls the peer's sockets and the wake descriptor once (with a bounded wait).
    bool start(std::function<void()> pass);
    void stop();
    // The descriptor a pass polls besides its sockets; a command or a stop makes it ready.
    int wakeFd() const { return wakeFd_; }
    // Runs `command` on the loop thread (at once when there is none or the caller is it).
    void perform(std::function<void()> command);

private:
    // Runs the commands handed over; false once a stop was asked for.
    bool runCommands();

    int wakeFd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<std::function<void()>> commands_;
    unsigned long long queued_ = 0;
    unsigned long long finished_ = 0;
    bool stopping_ = false;
};

}  // namespace vprinter
