// A clock the test moves by hand. It starts at the real time so that file times the
// file system keeps agree with it.
#pragma once

#include <atomic>

#include "platform/Clock.h"

class FakeClock final : public platform::Clock {
public:
    FakeClock() : now_(platform::systemClock().epochMillis()) {}

    uint32_t tickCount() const override { return static_cast<uint32_t>(now_.load()); }
    int64_t epochMillis() const override { return now_.load(); }
    platform::LocalTime toLocal(int64_t epochMs) const override {
        return platform::systemClock().toLocal(epochMs);
    }

    void set(int64_t epochMs) { now_ = epochMs; }
    void advanceMinutes(int minutes) { now_ += int64_t{minutes} * 60 * 1000; }
    void advanceMillis(int64_t ms) { now_ += ms; }

private:
    std::atomic<int64_t> now_;
};
