#include "platform/StopSignals.h"

#include <pthread.h>
#include <signal.h>

namespace platform {

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void holdStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A shell starts background programs with the interrupt ignored; a service that is
    // asked to stop must hear it all the same.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGPIPE, SIG_IGN);
}

int waitForStopSignal() {
    const sigset_t set = stopSignals();
    int number = 0;
    sigwait(&set, &number);
    return number;
}

void wakeStopSignalWaiter(std::thread& waiter) {
    // Sent to that thread alone: one that has already returned from its wait never
    // takes it, and no other thread ever sees it.
    pthread_kill(waiter.native_handle(), SIGTERM);
}

void releaseStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace platform
