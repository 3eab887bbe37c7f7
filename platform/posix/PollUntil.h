// poll() that resumes after a signal until its time is up.
#pragma once

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace platform {

inline int pollUntil(pollfd* entries, nfds_t count, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int result = ::poll(entries, count, timeoutMs);
        if (result >= 0 || errno != EINTR)
            return result;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        timeoutMs = static_cast<int>(std::max<int64_t>(0, left.count()));
    }
}

}  // namespace platform
