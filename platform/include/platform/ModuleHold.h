// Keeps the shared library that holds some code loaded while a thread still runs in it.
//
// A printer library may load and unload the port library around every call while a
// port's read thread goes on working; the thread keeps its own reference of the library
// and lets go of it only after the last of the library's code on its stack has returned.
#pragma once

#include <mutex>
#include <utility>

namespace platform {

class ModuleHold {
public:
    // A reference of the shared library that contains `address` (none when the address
    // lies in the program itself or in no library).
    static ModuleHold of(const void* address);

    ModuleHold() = default;
    ~ModuleHold();
    ModuleHold(ModuleHold&& other) noexcept;
    ModuleHold& operator=(ModuleHold&& other) noexcept;
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;

    bool held() const { return handle_ != nullptr; }
    // Hands the reference to the calling thread: it is given back once the thread has
    // ended, after its start function and everything it called have returned.
    void releaseAtThreadExit();
    // Keeps the library loaded to the end of the process.
    void keepToProcessEnd() { handle_ = nullptr; }

private:
    explicit ModuleHold(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;
};

// The library reference of a thread that is joined, or let go of and left to end by
// itself. Giving a reference back takes the loader's lock, and a joiner may hold that
// lock while it waits (a library closes its ports from its unload step): so a joined
// thread leaves the reference to its joiner, which gives it back after the join, and only
// a thread let go of gives it back itself, once nothing of it is left to run.
class ThreadModuleHold {
public:
    explicit ThreadModuleHold(ModuleHold hold) : hold_(std::move(hold)) {}

    // Before the thread is detached: from now on it gives the reference back itself.
    // False when it has already left it to a joiner; it is ending then, so join it.
    bool letGo();
    // The thread's last step.
    void atThreadEnd();
    // The joiner's step after the join.
    void releaseAfterJoin();

private:
    std::mutex mutex_;
    ModuleHold hold_;
    bool letGo_ = false;
    bool threadEnded_ = false;
};

}  // namespace platform
