#include "DeviceFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "PollUntil.h"

namespace platform {

const int kDeviceNotFound = ENOENT;
const int kDeviceAccessDenied = EACCES;
const int kDeviceGone = ENODEV;

namespace {

using SteadyClock = std::chrono::steady_clock;

int msLeft(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

DeviceIo failed(int bytes) {
    return {bytes, DeviceIo::Outcome::Failed, errno};
}

}  // namespace

// One cancel: a pipe whose read end turns readable when it fires. Every wait polls the
// signal current when it began, and a cancel replaces the current one, so it ends exactly
// the waits under way then.
struct DeviceFile::CancelSignal {
    int readFd = -1;
    int writeFd = -1;

    static std::shared_ptr<CancelSignal> make() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return nullptr;
        auto signal = std::make_shared<CancelSignal>();
        signal->readFd = fds[0];
        signal->writeFd = fds[1];
        return signal;
    }
    ~CancelSignal() {
        ::close(readFd);
        ::close(writeFd);
    }
    void fire() const {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(writeFd, &byte, 1);
    }
};

std::unique_ptr<DeviceFile> DeviceFile::open(const std::string& path, int& error) {
    std::shared_ptr<CancelSignal> signal = CancelSignal::make();
    if (!signal) {
        error = errno;
        return nullptr;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<DeviceFile>(new DeviceFile(fd, std::move(signal)));
}

DeviceFile::~DeviceFile() {
    ::close(fd_);
}

std::shared_ptr<DeviceFile::CancelSignal> DeviceFile::currentSignal() {
    std::lock_guard<std::mutex> guard(mutex_);
    return signal_;
}

void DeviceFile::cancel() {
    std::shared_ptr<CancelSignal> fresh = CancelSignal::make();
    std::shared_ptr<CancelSignal> fired;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        fired = signal_;
        // Without a fresh pipe the old one stays: later waits end at once, never hang.
        if (fresh)
            signal_ = std::move(fresh);
    }
    fired->fire();
}

DeviceFile::Wait DeviceFile::wait(short events, int timeoutMs) {
    std::shared_ptr<CancelSignal> signal = currentSignal();
    SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entries[2] = {{fd_, events, 0}, {signal->readFd, POLLIN, 0}};
        int result = pollUntil(entries, 2, msLeft(deadline));
        if (result < 0)
            return Wait::Failed;
        if (entries[1].revents != 0)
            return Wait::Cancelled;
        if (result == 0)
            return Wait::TimedOut;
        if (entries[0].revents & POLLNVAL) {
            errno = EBADF;
            return Wait::Failed;
        }
        if (entries[0].revents & events)
            return Wait::Ready;
        if (entries[0].revents & (POLLHUP | POLLERR))
            return Wait::HungUp;
    }
}

bool DeviceFile::hungUp() {
    pollfd entry{fd_, 0, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR)) != 0;
}

bool DeviceFile::waitReadable(int timeoutMs) {
    SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    Wait result = wait(POLLIN, timeoutMs);
    if (result == Wait::Ready)
        return true;
    if (result == Wait::HungUp) {
        // Only the cancel can end this wait early now.
        std::shared_ptr<CancelSignal> signal = currentSignal();
        pollfd entry{signal->readFd, POLLIN, 0};
        pollUntil(&entry, 1, msLeft(deadline));
    }
    return false;
}

DeviceIo DeviceFile::readNow(void* buffer, int length) {
    if (length <= 0)
        return {};
    for (;;) {
        ssize_t got = ::read(fd_, buffer, static_cast<size_t>(length));
        if (got >= 0)
            return {static_cast<int>(got), DeviceIo::Outcome::Done, 0};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return {};
        return failed(0);
    }
}

DeviceIo DeviceFile::readWithin(void* buffer, int length, int timeoutMs) {
    switch (wait(POLLIN, timeoutMs)) {
        case Wait::Ready:
            return readNow(buffer, length);
        case Wait::TimedOut:
            return {0, DeviceIo::Outcome::TimedOut, 0};
        case Wait::Cancelled:
            return {0, DeviceIo::Outcome::Cancelled, 0};
        case Wait::HungUp:
            // What the far end sent before it went is still there to read.
            return readNow(buffer, length);
        case Wait::Failed:
            break;
    }
    return failed(0);
}

DeviceIo DeviceFile::writeWithin(const void* data, int length, int timeoutMs) {
    const char* bytes = static_cast<const char*>(data);
    SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    int written = 0;
    while (written < length) {
        ssize_t sent = ::write(fd_, bytes + written, static_cast<size_t>(length - written));
        if (sent > 0) {
            written += static_cast<int>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN)
            return failed(written);
        switch (wait(POLLOUT, msLeft(deadline))) {
            case Wait::Ready:
                continue;
            case Wait::TimedOut:
                return {written, DeviceIo::Outcome::TimedOut, 0};
            case Wait::Cancelled:
                return {written, DeviceIo::Outcome::Cancelled, 0};
            case Wait::HungUp:
                errno = EIO;
                return failed(written);
            case Wait::Failed:
                return failed(written);
        }
    }
    return {written, DeviceIo::Outcome::Done, 0};
}

int DeviceFile::drainOutput(int stallMs, int totalMs) {
    constexpr int kLookMs = 10;
    SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(totalMs);
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        wait(POLLOUT, totalMs);
        return 0;
    }
    SteadyClock::time_point progress = SteadyClock::now();
    while (queued > 0 && msLeft(deadline) > 0 &&
           SteadyClock::now() - progress < std::chrono::milliseconds(stallMs)) {
        if (wait(0, kLookMs) != Wait::TimedOut)
            break;  // cancelled, or the far end is gone and takes nothing more
        int now = 0;
        if (::ioctl(fd_, TIOCOUTQ, &now) != 0)
            break;
        if (now < queued)
            progress = SteadyClock::now();
        queued = now;
    }
    return queued;
}

}  // namespace platform
