// ICMP echo ("ping") of an IPv4 address. An interface, so that tests can stand in a
// printer that is switched off where every real echo would be answered.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

struct EchoReply {
    enum class Outcome {
        Reply,     // the address answered
        NoHandle,  // no ICMP socket could be made
        NoBuffer,  // no room for the reply
        Failed     // sending failed or no answer within the time-out
    };
    Outcome outcome = Outcome::Failed;
    int error = 0;        // system error of the failing step
    int status = 0;       // status of the reply (0 for an echo reply)
    int roundTripMs = 0;  // of the reply
};

class IcmpEcho {
public:
    virtual ~IcmpEcho() = default;
    // One echo without payload to `ipv4` (host byte order), waiting up to `timeoutMs`.
    virtual EchoReply echo(uint32_t ipv4, int timeoutMs) = 0;
};

// The system's echo: an unprivileged ICMP datagram socket where the system allows
// it, a raw ICMP socket otherwise.
std::shared_ptr<IcmpEcho> systemIcmpEcho();

}  // namespace platform
