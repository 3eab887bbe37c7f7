// Message views that record what a pop-up showed, "<title>: <message>" or the message
// alone, for tests to wait on. The start of a pop-up and each showing can be held, to
// stand for a window that is slow to appear or stalls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MessageView.h"

class RecordingViews {
public:
    static constexpr std::chrono::seconds kWaitLimit{10};  // against a hang only

    MessageViewFactory factory() {
        return [state = state_] {
            std::unique_lock lock(state->lock);
            state->changed.wait(lock, [&] { return !state->holdStart; });
            ++state->made;
            ++state->alive;
            state->changed.notify_all();
            return std::make_unique<View>(state);
        };
    }

    // Waits until `count` messages were shown; returns all that were.
    std::vector<std::string> waitFor(size_t count) const {
        std::unique_lock lock(state_->lock);
        state_->changed.wait_for(lock, kWaitLimit, [&] { return state_->shown.size() >= count; });
        return state_->shown;
    }
    std::vector<std::string> shown() const { return waitFor(0); }
    int viewsMade() const { return read(&State::made); }
    int viewsAlive() const { return read(&State::alive); }
    bool waitUntilNoViewIsAlive() const {
        std::unique_lock lock(state_->lock);
        return state_->changed.wait_for(lock, kWaitLimit, [&] { return state_->alive == 0; });
    }
    // A view that is showing while held waits inside showMessage.
    bool waitUntilShowingIsHeld() const {
        std::unique_lock lock(state_->lock);
        return state_->changed.wait_for(lock, kWaitLimit, [&] { return state_->stalled; });
    }

    void holdStart(bool hold) { set(&State::holdStart, hold); }
    void holdShowing(bool hold) { set(&State::holdShowing, hold); }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<std::string> shown;
        int made = 0;
        int alive = 0;
        bool holdStart = false;
        bool holdShowing = false;
        bool stalled = false;
    };

    class View final : public CMessageView {
    public:
        explicit View(std::shared_ptr<State> state) : state_(std::move(state)) {}
        ~View() override {
            std::lock_guard lock(state_->lock);
            --state_->alive;
            state_->changed.notify_all();
        }
        void showMessage(const std::string& title, const std::string& message) override {
            std::unique_lock lock(state_->lock);
            state_->stalled = state_->holdShowing;
            state_->changed.notify_all();
            state_->changed.wait(lock, [&] { return !state_->holdShowing; });
            state_->stalled = false;
            state_->shown.push_back(title.empty() ? message : title + ": " + message);
            state_->changed.notify_all();
        }

    private:
        std::shared_ptr<State> state_;
    };

    int read(int State::*field) const {
        std::lock_guard lock(state_->lock);
        return (*state_).*field;
    }
    void set(bool State::*field, bool value) {
        std::lock_guard lock(state_->lock);
        (*state_).*field = value;
        state_->changed.notify_all();
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};
