// One user at a time, waited for with a deadline: a printer's queries, a port's writes.
// Unlike a mutex it is never held while the waiting caller sleeps on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class Turn {
public:
    using Clock = std::chrono::steady_clock;

    // True when the caller has the turn before the deadline.
    bool take(Clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!free_.wait_until(lock, deadline, [this] { return !busy_; }))
            return false;
        busy_ = true;
        return true;
    }
    void give() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            busy_ = false;
        }
        free_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool busy_ = false;
};
