#include <atomic>
#include <chrono>
#include <ctime>

#include "platform/Clock.h"

namespace platform {
namespace {

class SystemClock final : public Clock {
public:
    uint32_t tickCount() const override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000;
        return static_cast<uint32_t>(ms);
    }

    int64_t epochMillis() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }

    LocalTime toLocal(int64_t epochMs) const override {
        time_t seconds = static_cast<time_t>(epochMs / 1000);
        int millis = static_cast<int>(epochMs % 1000);
        if (millis < 0) {
            millis += 1000;
            --seconds;
        }
        tm parts{};
        localtime_r(&seconds, &parts);
        return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                         parts.tm_min,         parts.tm_sec,     millis};
    }
};

SystemClock theSystemClock;
std::atomic<Clock*> current{&theSystemClock};

}  // namespace

Clock& systemClock() {
    return theSystemClock;
}
Clock& clock() {
    return *current.load(std::memory_order_acquire);
}

ScopedClock::ScopedClock(Clock& replacement)
    : previous_(current.exchange(&replacement, std::memory_order_acq_rel)) {}

ScopedClock::~ScopedClock() {
    current.store(previous_, std::memory_order_release);
}

}  // namespace platform
