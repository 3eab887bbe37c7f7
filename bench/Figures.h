// What every benchmark prints: times in milliseconds, a series as its median, 99th
// percentile and maximum.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace figures {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

inline void printLatency(const char* what, std::vector<double> samples) {
    if (samples.empty()) {
        std::printf("%-48s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    std::printf("%-48s n=%zu  p50 %.3f ms  p99 %.3f ms  max %.3f ms\n", what, samples.size(),
                at(0.5), at(0.99), samples.back());
}

}  // namespace figures
