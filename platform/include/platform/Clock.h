// Time sources: the millisecond tick count, wall-clock time and its local calendar form.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps after about 49.7 days like the
    // system tick count it stands for.
    virtual uint32_t tickCount() const = 0;
    // Milliseconds since the Unix epoch.
    virtual int64_t epochMillis() const = 0;
    virtual LocalTime toLocal(int64_t epochMillis) const = 0;

    LocalTime localNow() const { return toLocal(epochMillis()); }
};

// The clock every component reads. Tests install their own with ScopedClock.
Clock& clock();
Clock& systemClock();

class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace platform
