#include "PeerLoop.h"

#include <unistd.h>

#include "LoopbackSockets.h"

namespace vprinter {

bool PeerLoop::start(std::function<void()> pass) {
    if (thread_.joinable())
        return true;
    wakeFd_ = makeWakeFd();
    if (wakeFd_ < 0)
        return false;
    stopping_ = false;
    thread_ = std::thread([this, pass = std::move(pass)] {
        while (runCommands())
            pass();
        // Wake any caller still waiting for a command.
        done_.notify_all();
    });
    return true;
}

void PeerLoop::stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    wake(wakeFd_);
    thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void PeerLoop::perform(std::function<void()> command) {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        command();
        return;
    }
    unsigned long long ticket;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        commands_.push_back(std::move(command));
        ticket = ++queued_;
    }
    wake(wakeFd_);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return finished_ >= ticket || stopping_; });
}

bool PeerLoop::runCommands() {
    std::deque<std::function<void()>> commands;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (stopping_)
            return false;
        commands.swap(commands_);
    }
    for (auto& command : commands) {
        command();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++finished_;
        }
        done_.notify_all();
    }
    return true;
}

}  // namespace vprinter
