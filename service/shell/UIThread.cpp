#include "UIThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace {

struct Message {
    std::string title;
    std::string text;
};

constexpr std::chrono::milliseconds kDefaultCloseWait{1000};

}  // namespace

struct CUIThread::State {
    MessageViewFactory views;
    std::mutex lock;
    std::condition_variable changed;
    std::optional<Message> pending;  // while the view is not ready
    std::deque<Message> queue;       // once it is
    bool ready = false;
    bool quit = false;
    bool ended = false;
};

CUIThread::CUIThread(MessageViewFactory views, std::string title, std::string message)
    : m_state(std::make_shared<State>()) {
    m_state->views = views ? std::move(views) : messageViewFactory();
    m_state->pending = Message{std::move(title), std::move(message)};
    m_thread = std::thread(run, m_state);
}

CUIThread::~CUIThread() {
    if (m_thread.joinable())
        close(kDefaultCloseWait);
}

void CUIThread::showMessage(std::string title, std::string message) {
    {
        std::lock_guard lock(m_state->lock);
        if (m_state->quit)
            return;
        Message next{std::move(title), std::move(message)};
        if (m_state->ready)
            m_state->queue.push_back(std::move(next));
        else
            m_state->pending = std::move(next);
    }
    m_state->changed.notify_all();
}

bool CUIThread::close(std::chrono::milliseconds wait) {
    if (!m_thread.joinable())
        return true;
    std::unique_lock lock(m_state->lock);
    m_state->quit = true;
    m_state->changed.notify_all();
    bool ended = m_state->changed.wait_for(lock, wait, [&] { return m_state->ended; });
    lock.unlock();
    if (ended)
        m_thread.join();  // it only has to return now
    else
        m_thread.detach();  // it holds its own share of the state
    return ended;
}

void CUIThread::run(std::shared_ptr<State> state) {
    std::unique_ptr<CMessageView> view = state->views();
    std::unique_lock lock(state->lock);
    std::optional<Message> first = std::move(state->pending);
    state->pending.reset();
    state->ready = true;
    for (;;) {
        if (first) {
            lock.unlock();
            view->showMessage(first->title, first->text);
            lock.lock();
        }
        state->changed.wait(lock, [&] { return state->quit || !state->queue.empty(); });
        if (state->quit)
            break;
        first = std::move(state->queue.front());
        state->queue.pop_front();
    }
    lock.unlock();
    view.reset();
    lock.lock();
    state->ended = true;
    state->changed.notify_all();
}
