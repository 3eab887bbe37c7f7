// Runs a piece of a test in a child process: as the unprivileged user nobody where
// privileges matter (this machine runs tests as root), and bounded in time where a hang
// is the fault being caught.
#pragma once

#include <functional>
#include <string>

namespace childprocess {

// Results that are no exit status of the body.
inline constexpr int kTimedOut = -1000;  // still running after the limit: killed
inline constexpr int kCrashed = -1001;   // ended by a signal
inline constexpr int kNoUser = -1002;    // could not become nobody

// The body's result (0..255) from its exit status.
int run(const std::function<int()>& body, bool asNobody = false, unsigned seconds = 30);

// Lets nobody write into a folder the test made as root, and into all that is in it.
void openToEveryone(const std::string& folder);

}  // namespace childprocess
