#include "UsbWatcher.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ModuleHold.h"
#include "platform/UsbPrinters.h"

namespace {

struct Entry {
    int token = 0;
    std::string devicePath;
    bool present = true;
    CUsbWatcher::Notice notice;
};

// One run of the watcher: made with the first registration, ended with the last.
struct Run {
    std::mutex mutex;
    std::condition_variable stopped;
    std::vector<Entry> entries;
    bool stop = false;
    std::thread thread;
    std::shared_ptr<platform::ThreadModuleHold> hold;

    void Loop();
    bool Wait();
    void Look();
};

std::mutex g_mutex;
std::shared_ptr<Run> g_run;
int g_nextToken = 1;

// An address inside this library, to find the library the thread must keep loaded.
void moduleAnchor() {}

bool Run::Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    return !stopped.wait_for(lock, std::chrono::milliseconds(CUsbWatcher::kPollIntervalMs),
                             [this] { return stop; });
}

void Run::Look() {
    std::vector<platform::UsbPrinter> attached = platform::listUsbPrinters();
    std::vector<Entry> watched;
    {
        std::lock_guard<std::mutex> guard(mutex);
        watched = entries;
    }
    for (const Entry& entry : watched) {
        bool present =
            std::any_of(attached.begin(), attached.end(), [&](const platform::UsbPrinter& printer) {
                return printer.devicePath == entry.devicePath;
            });
        if (present == entry.present)
            continue;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (stop)
                return;
        }
        // Outside the lock: the port's receivers hear of the change on this thread.
        if (!entry.notice(present))
            continue;
        std::lock_guard<std::mutex> guard(mutex);
        for (Entry& current : entries)
            if (current.token == entry.token)
                current.present = present;
    }
}

void Run::Loop() {
    while (Wait())
        Look();
    hold->atThreadEnd();
}

}  // namespace

int CUsbWatcher::Register(const std::string& devicePath, Notice notice) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (!g_run) {
        auto run = std::make_shared<Run>();
        run->hold = std::make_shared<platform::ThreadModuleHold>(
            platform::ModuleHold::of(reinterpret_cast<const void*>(&moduleAnchor)));
        run->thread = std::thread([run] { run->Loop(); });
        g_run = run;
    }
    int token = g_nextToken++;
    std::lock_guard<std::mutex> entries(g_run->mutex);
    g_run->entries.push_back({token, devicePath, true, std::move(notice)});
    return token;
}

void CUsbWatcher::Unregister(int token) {
    std::shared_ptr<Run> ending;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (!g_run)
            return;
        std::lock_guard<std::mutex> entries(g_run->mutex);
        std::erase_if(g_run->entries, [token](const Entry& entry) { return entry.token == token; });
        if (!g_run->entries.empty())
            return;
        g_run->stop = true;
        ending = std::move(g_run);
    }
    ending->stopped.notify_all();
    // A notice's receiver that closes the last port cannot wait for its own thread: the
    // thread ends by itself once the notice returns.
    if (ending->thread.get_id() == std::this_thread::get_id() && ending->hold->letGo()) {
        ending->thread.detach();
        return;
    }
    ending->thread.join();
    ending->hold->releaseAfterJoin();
}

void CUsbWatcher::MarkAbsent(int token) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (!g_run)
        return;
    std::lock_guard<std::mutex> entries(g_run->mutex);
    for (Entry& entry : g_run->entries)
        if (entry.token == token)
            entry.present = false;
}
