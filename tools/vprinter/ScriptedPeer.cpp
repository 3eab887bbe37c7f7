#include "ScriptedPeer.h"

#include "LoopbackSockets.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace vprinter {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

ScriptedPeer::ScriptedPeer() = default;

ScriptedPeer::~ScriptedPeer() {
    stop();
}

bool ScriptedPeer::start(int receiveBufferSize) {
    if (started_)
        return true;
    receiveBufferSize_ = receiveBufferSize;
    port_ = 0;
    if (!listen())
        return false;
    if (!loop_.start([this] { pass(); })) {
        closeListener();
        return false;
    }
    started_ = true;
    return true;
}

void ScriptedPeer::stop() {
    if (!started_)
        return;
    loop_.stop();
    started_ = false;
    while (!connections_.empty())
        closeConnection(connections_.size() - 1, false);
    closeListener();
    changed_.notify_all();
}

std::string ScriptedPeer::portName() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void ScriptedPeer::addReply(const std::string& pattern, const std::string& reply) {
    perform([this, pattern, reply] { replies_.push_back({pattern, reply}); });
}

void ScriptedPeer::closeNextAccepts(int count) {
    perform([this, count] { closeNext_ = count; });
}

void ScriptedPeer::refuse() {
    perform([this] { closeListener(); });
}

bool ScriptedPeer::comeBack() {
    bool listening = false;
    perform([this, &listening] { listening = listenFd_ >= 0 || listen(); });
    return listening;
}

void ScriptedPeer::dropConnections(bool reset) {
    perform([this, reset] {
        while (!connections_.empty())
            closeConnection(connections_.size() - 1, reset);
    });
}

void ScriptedPeer::stall(bool stalled) {
    perform([this, stalled] { stalled_ = stalled; });
}

bool ScriptedPeer::sendToAll(const std::string& bytes) {
    bool ok = false;
    perform([this, &bytes, &ok] {
        ok = !connections_.empty();
        for (Connection& connection : connections_)
            ok = sendEverything(connection.fd, bytes) && ok;
    });
    return ok;
}

void ScriptedPeer::setRecording(bool recording) {
    std::lock_guard<std::mutex> guard(mutex_);
    recording_ = recording;
}

std::string ScriptedPeer::received() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

size_t ScriptedPeer::receivedCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return receivedCount_;
}

void ScriptedPeer::clearReceived() {
    std::lock_guard<std::mutex> guard(mutex_);
    received_.clear();
    receivedCount_ = 0;
}

int ScriptedPeer::connections() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return accepted_;
}

int ScriptedPeer::openConnections() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return open_;
}

bool ScriptedPeer::waitForBytes(size_t count, Duration timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return receivedCount_ >= count; });
}

bool ScriptedPeer::waitForConnections(int count, Duration timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return accepted_ >= count; });
}

bool ScriptedPeer::waitForOpenConnections(int count, Duration timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return open_ == count; });
}

void ScriptedPeer::perform(std::function<void()> command) {
    loop_.perform(std::move(command));
}

bool ScriptedPeer::listen() {
    int port = port_;
    int fd = listenLoopback(port, receiveBufferSize_);
    if (fd < 0)
        return false;
    port_ = port;
    listenFd_ = fd;
    return true;
}

void ScriptedPeer::closeListener() {
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
}

void ScriptedPeer::pass() {
    std::vector<pollfd> entries;
    entries.push_back({loop_.wakeFd(), POLLIN, 0});
    if (listenFd_ >= 0)
        entries.push_back({listenFd_, POLLIN, 0});
    size_t firstConnection = entries.size();
    for (const Connection& connection : connections_)
        entries.push_back({connection.fd, static_cast<short>(stalled_ ? 0 : POLLIN), 0});
    // The time-out only bounds the wait; every change wakes it at once.
    if (::poll(entries.data(), entries.size(), 1000) <= 0)
        return;

    if (entries[0].revents & POLLIN)
        drainWake(loop_.wakeFd());
    if (listenFd_ >= 0 && firstConnection == 2 && (entries[1].revents & POLLIN))
        acceptOne();
    // Walk backwards: a closed connection leaves the list.
    for (size_t i = std::min(connections_.size(), entries.size() - firstConnection); i-- > 0;) {
        short events = entries[firstConnection + i].revents;
        if (events & (POLLIN | POLLHUP | POLLERR))
            readFrom(connections_[i]);
        if (connections_[i].fd < 0)
            closeConnection(i, false);
    }
}

void ScriptedPeer::acceptOne() {
    int fd = acceptConnection(listenFd_);
    if (fd < 0)
        return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++accepted_;
    }
    if (closeNext_ > 0) {
        --closeNext_;
        ::close(fd);
        notifyState();
        return;
    }
    connections_.push_back({fd, {}});
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = static_cast<int>(connections_.size());
    }
    notifyState();
}

void ScriptedPeer::readFrom(Connection& connection) {
    char buffer[kReadChunk];
    ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        ::close(connection.fd);
        connection.fd = -1;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        receivedCount_ += static_cast<size_t>(got);
        if (recording_)
            received_.append(buffer, static_cast<size_t>(got));
    }
    notifyState();

    if (replies_.empty())
        return;
    connection.window.append(buffer, static_cast<size_t>(got));
    size_t longest = 0;
    for (bool matched = true; matched;) {
        matched = false;
        for (const Reply& reply : replies_) {
            longest = std::max(longest, reply.pattern.size());
            size_t at = connection.window.find(reply.pattern);
            if (reply.pattern.empty() || at == std::string::npos)
                continue;
            sendEverything(connection.fd, reply.bytes);
            connection.window.erase(0, at + reply.pattern.size());
            matched = true;
        }
    }
    // Keep only what could still start a match.
    if (longest > 0 && connection.window.size() >= longest)
        connection.window.erase(0, connection.window.size() - (longest - 1));
}

void ScriptedPeer::closeConnection(size_t index, bool reset) {
    Connection& connection = connections_[index];
    if (connection.fd >= 0) {
        if (reset) {
            linger value{1, 0};
            ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &value, sizeof value);
        }
        ::close(connection.fd);
    }
    connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(index));
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = static_cast<int>(connections_.size());
    }
    notifyState();
}

void ScriptedPeer::notifyState() {
    changed_.notify_all();
}

}  // namespace vprinter
