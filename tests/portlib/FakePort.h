// An in-memory port for the tests of the port base and the port list manager: the test
// puts bytes "on the wire" for ReadPort, sees every WritePort call, and decides how the
// device open ends. Everything the port threads touch is guarded by one mutex; waits
// are on a condition variable, never on sleeps.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "PortInterface.h"

class FakePort : public CPortInterface {
public:
    static constexpr int kInterval = 10;

    FakePort() : CPortInterface(kInterval) {}
    ~FakePort() override {
        if (HasReadThread())
            StopReadThread();
        if (onDestroyed)
            onDestroyed();
    }

    // How the device open ends.
    bool openSucceeds = true;
    int powerOnOpen = kPowerOnLine;
    // Bytes each WritePort takes; negative takes all.
    std::function<int(int call, int length)> writeLimit;
    // Bytes put on the wire whenever a write contains `pattern`.
    std::string replyPattern;
    std::string reply;
    // ReadPort blocks in the interruptible wait for this long when the wire is empty
    // (0: it returns at once).
    int idleWaitMs = 0;
    // Called by the destructor, on whatever thread lets go of the port last.
    std::function<void()> onDestroyed;

    bool OpenPort() override {
        CPortInterface::OpenPort();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++opens_;
        }
        if (!openSucceeds)
            return false;
        m_bOpen = true;
        powerStatus = powerOnOpen;
        StartAfterOpen();
        return true;
    }

    void ClosePort() override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++closes_;
        }
        m_bOpen = false;
        CPortInterface::ClosePort();
    }

    bool CreateDeviceOption(int, const std::string& name) override {
        deviceName = name.substr(0, name.find(':'));
        return true;
    }

    int WritePort(const void* data, int length, int) override {
        std::lock_guard<std::mutex> guard(mutex_);
        int call = static_cast<int>(writeLengths_.size());
        writeLengths_.push_back(length);
        int taken = writeLimit ? writeLimit(call, length) : length;
        if (taken < 0 || taken > length)
            taken = length;
        written_.append(static_cast<const char*>(data), taken);
        if (!replyPattern.empty() && written_.find(replyPattern) != std::string::npos) {
            written_.clear();
            wire_.insert(wire_.end(), reply.begin(), reply.end());
        }
        changed_.notify_all();
        return taken;
    }

    int ReadPort(char* buffer, int length) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++reads_;
        if (wire_.empty() && idleWaitMs > 0) {
            ++waiting_;
            changed_.notify_all();
            lock.unlock();
            bool stopped = InterruptibleWait(idleWaitMs);
            lock.lock();
            --waiting_;
            waitResults_.push_back(stopped);
            changed_.notify_all();
        }
        int n = 0;
        while (n < length && !wire_.empty()) {
            buffer[n++] = wire_.front();
            wire_.pop_front();
        }
        if (wire_.empty())
            changed_.notify_all();
        return n;
    }

    void putOnWire(const std::string& bytes) {
        std::lock_guard<std::mutex> guard(mutex_);
        wire_.insert(wire_.end(), bytes.begin(), bytes.end());
        changed_.notify_all();
    }
    // Hands bytes to the parser as a read would, on the caller's thread.
    void inject(const std::string& bytes) { Deliver(bytes.data(), static_cast<int>(bytes.size())); }

    // Waits until `done` holds (checked under the fake's mutex), at most 10 s.
    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), done);
    }
    bool waitWireEmpty() {
        return waitUntil([this] { return wire_.empty(); });
    }
    bool waitReadPortWaiting() {
        return waitUntil([this] { return waiting_ > 0; });
    }
    bool waitThreadEnded() { return WaitForThreadEnd(10000); }

    std::vector<int> writeLengths() {
        std::lock_guard<std::mutex> guard(mutex_);
        return writeLengths_;
    }
    std::vector<bool> waitResults() {
        std::lock_guard<std::mutex> guard(mutex_);
        return waitResults_;
    }
    int opens() {
        std::lock_guard<std::mutex> guard(mutex_);
        return opens_;
    }
    int closes() {
        std::lock_guard<std::mutex> guard(mutex_);
        return closes_;
    }
    int reads() {
        std::lock_guard<std::mutex> guard(mutex_);
        return reads_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<char> wire_;
    std::string written_;
    std::vector<int> writeLengths_;
    std::vector<bool> waitResults_;
    int opens_ = 0;
    int closes_ = 0;
    int reads_ = 0;
    int waiting_ = 0;
};
