// Makes the virtual printer findable by the network printer search: it answers the
// search's two probes ("FIND" on UDP port 48781, "__[I_F]__[PRT_REG]" on UDP port 3337)
// with a record of itself, as a network printer does.
//
// A record carries the hardware and IPv4 address of the interface the probe came in on,
// the printer's model name and the TCP port it prints on.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace vprinter {

class DiscoveryResponder {
public:
    static constexpr int kFirstProbePort = 48781;
    static constexpr int kSecondProbePort = 3337;

    DiscoveryResponder(std::string model, int tcpPort);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // Binds both probe ports on every address of the computer; false when either cannot
    // be bound.
    bool start();
    void stop();
    // Probes answered so far.
    int answered() const { return answered_; }

private:
    void serve();
    void answer(int fd, bool firstProbe);

    std::string model_;
    int tcpPort_;
    int firstFd_ = -1;
    int secondFd_ = -1;
    int wakeFd_ = -1;
    std::thread thread_;
    std::atomic<int> answered_{0};
};

}  // namespace vprinter
