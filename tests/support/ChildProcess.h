// Child processes for tests that may crash, hang, run as another user or be killed:
// every wait is bounded, and a child that outlives it is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class ChildProcess {
public:
    static constexpr uid_t kNobody = 65534;
    static constexpr std::chrono::milliseconds kDefaultLimit{60000};

    // Runs `body` in a forked child whose exit status is its result.
    static ChildProcess start(const std::function<int()>& body, bool asNobody = false);
    // Runs a program with the environment of the test; its output goes to files that
    // out() and err() read once it has ended. As nobody it runs a copy of the program and
    // the libraries beside it, in a folder every user may enter: the checkout may lie
    // where nobody cannot reach (under /root, say).
    static ChildProcess run(const std::vector<std::string>& argv, bool asNobody = false);
    // A body run to its end (or killed at the default limit); its result, or -1 (see
    // wait()).
    static int runToEnd(const std::function<int()>& body, bool asNobody = false);
    // The same as nobody: root may do anything, so permission cases are only real for
    // another user.
    static int runAsNobody(const std::function<int()>& body) { return runToEnd(body, true); }
    // Lets nobody write into a folder the test made as root, and into all that is in it.
    static void openToEveryone(const std::string& folder);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills a child that is still running.
    ~ChildProcess();

    // The exit status; -1 when the child was killed by a signal or ran past `limit`
    // (it is killed then).
    int wait(std::chrono::milliseconds limit = kDefaultLimit);
    void kill();
    // Sends a signal to a child that is still running.
    void signal(int number);
    std::string out() const;
    std::string err() const;
    // Waits up to `limit` for `text` in the output so far; false when the child ended
    // or the time ran out first.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit) const;

private:
    ChildProcess() = default;
    static ChildProcess fork(const std::function<void()>& inChild, bool asNobody, bool capture);

    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};
