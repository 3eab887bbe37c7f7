// Keeps the shared library that holds some code loaded while a thread still runs in it.
//
// A printer library may load and unload the port library around every call while a
// port's read thread goes on working; the thread keeps its own reference of the library
// and lets go of it only after the last of the library's code on its stack has returned.
#pragma once

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

}  // namespace platform
