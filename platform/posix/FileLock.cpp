#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/Files.h"

namespace platform {

namespace {

// Holders keep the lock for one load and save: a short poll finds it free soon after.
constexpr std::chrono::milliseconds kPollInterval{5};

std::string systemMessage(int error) {
    return std::generic_category().message(error);
}

}  // namespace

FileLock::~FileLock() {
    close(handle_);
}

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::chrono::milliseconds wait,
                                            std::string& why) {
    // The folder, not the file: a save replaces the file by another one, and a lock on
    // the old one would no longer exclude anybody.
    const std::string folder = folderOf(path);
    // Each taker opens the folder anew: locks on separate opens exclude each other,
    // also between threads of one process.
    int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        why = systemMessage(errno);
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (flock(handle, LOCK_EX | LOCK_NB) == 0)
            return std::unique_ptr<FileLock>(new FileLock(handle));
        int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            why = systemMessage(error);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            why = "another program has held it for " + std::to_string(wait.count()) + " ms";
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    close(handle);
    return nullptr;
}

}  // namespace platform
