// How a service is asked to stop: by the interrupt (Ctrl+C) and
// termination signals, taken by a thread that waits for them rather than by a handler,
// so the whole exit runs as ordinary code.
#pragma once

#include <thread>

namespace platform {

// Holds the stop signals back for waitForStopSignal and keeps a peer's closed
// connection from ending the process. Call before any thread starts: threads started
// afterwards inherit it.
void holdStopSignals();
// Waits for a stop signal held back by holdStopSignals; its number.
int waitForStopSignal();
// Ends the waitForStopSignal of `waiter`, a thread that waits for the stop signals,
// without a signal reaching the process: for a service that stops for a reason of its
// own. Nothing happens when the waiter has already had its signal.
void wakeStopSignalWaiter(std::thread& waiter);
// After the first stop signal: a second one ends the process at once, as it would any
// program, should the orderly stop take too long for whoever asked.
void releaseStopSignals();

}  // namespace platform
