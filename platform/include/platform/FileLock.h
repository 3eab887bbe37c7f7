// An exclusive lock for changing a file, shared by every process and thread that takes
// it for the same path.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace platform {

class FileLock {
public:
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits at most `wait` for the lock of `path`. Null when another holder kept it
    // longer, or when it cannot be taken at all; `why` then says which, in a few words.
    // Two takers exclude each other also inside one process, so a thread that holds
    // the lock must not take it again. The lock needs no file of its own and no right
    // to write, so it also works in a folder that takes no new files (the folder
    // holding `path` is what gets locked).
    static std::unique_ptr<FileLock> acquire(const std::string& path,
                                             std::chrono::milliseconds wait, std::string& why);

private:
    explicit FileLock(int handle) : handle_(handle) {}

    int handle_;
};

}  // namespace platform
