// Holds "vembrix.ini" against every other change, in this process and in others, so
// that a load, its changes and their save are one step that no other change crosses.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/FileLock.h"

class CINIFileLock {
public:
    // Long enough for a queue of commands run at once; short enough that a command
    // facing a stuck holder still fails with a message.
    static constexpr std::chrono::milliseconds kWait{5000};

    // Waits at most `wait` for the lock. A thread that holds the lock of the path
    // already is granted it again at once (a command holds it across several stores).
    explicit CINIFileLock(const std::string& filePath, std::chrono::milliseconds wait = kWait);
    ~CINIFileLock();
    CINIFileLock(const CINIFileLock&) = delete;
    CINIFileLock& operator=(const CINIFileLock&) = delete;

    bool IsHeld() const { return m_held; }
    // Why the lock is not held, in one line naming the file; empty while it is held.
    const std::string& GetError() const { return m_error; }

private:
    std::string m_filePath;
    std::unique_ptr<platform::FileLock> m_lock;  // null when nested or not held
    bool m_held = false;
    std::string m_error;
};
