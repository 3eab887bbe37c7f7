// What the receivers of an open port heard. cvnport's receivers are plain function
// pointers, so what they hear goes to process-wide records: one per port a test watches.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class Heard {
public:
    static constexpr std::chrono::seconds kWait{10};

    static constexpr int kRecords = 2;

    static Heard& instance(int which = 0) {
        static Heard heard[kRecords];
        return heard[which];
    }
    template <int Which = 0>
    static void power(int onLine) {
        instance(Which).add(onLine);
    }
    template <int Which = 0>
    static void data(const char* bytes, int length) {
        Heard& heard = instance(Which);
        {
            std::lock_guard<std::mutex> guard(heard.mutex_);
            heard.data_.append(bytes, static_cast<size_t>(length));
        }
        heard.changed_.notify_all();
    }

    void reset() {
        std::lock_guard<std::mutex> guard(mutex_);
        power_.clear();
        data_.clear();
    }
    std::vector<int> powerEvents() {
        std::lock_guard<std::mutex> guard(mutex_);
        return power_;
    }
    bool waitForPower(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] { return power_.size() >= count; });
    }
    bool waitForData(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait,
                                 [&] { return data_.find(text) != std::string::npos; });
    }

private:
    void add(int onLine) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            power_.push_back(onLine);
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> power_;
    std::string data_;
};
