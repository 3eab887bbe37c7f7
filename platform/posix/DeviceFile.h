// An open device node with a cancel switch, the part that the serial, parallel and USB
// printer devices share: non-blocking I/O, waits bounded by a time-out, and cancel(),
// which ends the waits under way at once.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/DeviceIo.h"

namespace platform {

class DeviceFile {
public:
    // Opens the node for reading and writing; null with the system's error.
    static std::unique_ptr<DeviceFile> open(const std::string& path, int& error);
    ~DeviceFile();
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    int fd() const { return fd_; }

    enum class Wait { Ready, TimedOut, Cancelled, HungUp, Failed };
    // Waits up to `timeoutMs` for `events` (POLLIN, POLLOUT). A node that has hung up
    // reports it rather than being ready.
    Wait wait(short events, int timeoutMs);
    // Waits up to `timeoutMs` for bytes to read; a node that has hung up is not waited on
    // by poll (it would be "ready" all the time) but slept on, cancel still ending it.
    // True when bytes wait.
    bool waitReadable(int timeoutMs);
    // True when the far end of the node has hung up (a pseudo-terminal whose master
    // closed, a serial link that dropped).
    bool hungUp();
    // What is there now, without waiting.
    DeviceIo readNow(void* buffer, int length);
    // Waits for bytes up to `timeoutMs`, then reads what is there.
    DeviceIo readWithin(void* buffer, int length, int timeoutMs);
    // Writes everything, waiting for room up to `timeoutMs` in all.
    DeviceIo writeWithin(const void* data, int length, int timeoutMs);
    // Waits until what was written has left: a terminal's output queue empty (at most
    // `totalMs`, no longer than `stallMs` without progress), any other node writable again
    // (its last transfer done, at most `totalMs`). The bytes still queued, when known.
    int drainOutput(int stallMs, int totalMs);
    // Ends every wait under way; later ones wait as usual.
    void cancel();

private:
    struct CancelSignal;

    DeviceFile(int fd, std::shared_ptr<CancelSignal> signal)
        : fd_(fd), signal_(std::move(signal)) {}
    std::shared_ptr<CancelSignal> currentSignal();

    int fd_;
    std::mutex mutex_;
    std::shared_ptr<CancelSignal> signal_;
};

}  // namespace platform
