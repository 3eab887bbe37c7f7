#include "platform/ModuleHold.h"

#include <dlfcn.h>

#include <utility>

// The C library's registration of a function to run when the calling thread ends (the
// one that thread_local destructors use). It runs after the thread's start function has
// returned, from the C library's own code.
extern "C" int __cxa_thread_atexit_impl(void (*function)(void*), void* argument, void* dsoSymbol);

namespace platform {
namespace {

// dlclose itself is what runs at thread exit: a function of ours there could be unmapped
// by the very call it makes, with its return still to come. The calling conventions of a
// function taking one pointer agree whatever it returns (the cast goes through the
// generic function type).
void (*const kRelease)(void*) =
    reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&dlclose));

}  // namespace

ModuleHold ModuleHold::of(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0')
        return ModuleHold();
    // Only a library that is loaded already: this takes a reference, never loads one.
    return ModuleHold(dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD));
}

ModuleHold::~ModuleHold() {
    if (handle_)
        dlclose(handle_);
}

ModuleHold::ModuleHold(ModuleHold&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

ModuleHold& ModuleHold::operator=(ModuleHold&& other) noexcept {
    if (this != &other) {
        if (handle_)
            dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void ModuleHold::releaseAtThreadExit() {
    if (!handle_)
        return;
    // The registration is counted against the module of its third argument; the C
    // library's own, which never unloads, so that it holds back nothing else.
    if (__cxa_thread_atexit_impl(kRelease, handle_, reinterpret_cast<void*>(&dlclose)) == 0)
        handle_ = nullptr;
}

bool ThreadModuleHold::letGo() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (threadEnded_)
        return false;
    letGo_ = true;
    return true;
}

void ThreadModuleHold::atThreadEnd() {
    ModuleHold own;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        threadEnded_ = true;
        if (!letGo_)
            return;
        own = std::move(hold_);
    }
    // Outside the lock: the registration takes the loader's lock.
    own.releaseAtThreadExit();
}

void ThreadModuleHold::releaseAfterJoin() {
    ModuleHold own;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        own = std::move(hold_);
    }
}

}  // namespace platform
