#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kPollInterval{2};

// A fresh file for a child's output, opened by the parent: a child that runs as
// another user writes through the descriptor it inherits.
std::string outputFile(int& fd) {
    std::string path = (std::filesystem::temp_directory_path() / "vembrix-out-XXXXXX").string();
    fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    return path;
}

// Copies of programs for nobody to run, made once and removed when the test ends.
class ProgramCopies {
public:
    ~ProgramCopies() {
        std::error_code ignored;
        for (const auto& [program, folder] : folders_)
            std::filesystem::remove_all(folder, ignored);
    }

    std::string copyOf(const std::string& program) {
        namespace fs = std::filesystem;
        std::lock_guard lock(mutex_);
        auto found = folders_.find(program);
        if (found == folders_.end()) {
            std::string folder = (fs::temp_directory_path() / "vembrix-program-XXXXXX").string();
            if (mkdtemp(folder.data()) == nullptr)
                throw std::runtime_error("mkdtemp failed");
            fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
            const fs::path source = fs::path(program).parent_path();
            fs::copy_file(program, fs::path(folder) / fs::path(program).filename());
            // The libraries the program finds beside itself ($ORIGIN).
            for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
                const std::string name = entry.path().filename().string();
                if (entry.is_regular_file() && name.rfind("lib", 0) == 0 &&
                    name.find(".so") != std::string::npos)
                    fs::copy_file(entry.path(), fs::path(folder) / name);
            }
            found = folders_.emplace(program, folder).first;
        }
        return (std::filesystem::path(found->second) / std::filesystem::path(program).filename())
            .string();
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> folders_;
};

ProgramCopies programCopies;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ChildProcess ChildProcess::fork(const std::function<void()>& inChild, bool asNobody, bool capture) {
    ChildProcess child;
    int outFd = -1;
    int errFd = -1;
    if (capture) {
        child.outPath_ = outputFile(outFd);
        child.errPath_ = outputFile(errFd);
    }
    child.pid_ = ::fork();
    if (child.pid_ < 0)
        throw std::runtime_error("fork failed");
    if (child.pid_ == 0) {
        if (capture && (dup2(outFd, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0))
            _exit(97);
        if (asNobody && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(99);
        inChild();
        _exit(98);
    }
    if (capture) {
        close(outFd);
        close(errFd);
    }
    return child;
}

ChildProcess ChildProcess::start(const std::function<int()>& body, bool asNobody) {
    return fork([&body] { _exit(body()); }, asNobody, false);
}

ChildProcess ChildProcess::run(const std::vector<std::string>& argv, bool asNobody) {
    std::vector<std::string> args = argv;
    if (asNobody && !args.empty())
        args[0] = programCopies.copyOf(args[0]);
    std::vector<char*> pointers;
    for (const std::string& arg : args)
        pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    return fork([&pointers] { execv(pointers[0], pointers.data()); }, asNobody, true);
}

int ChildProcess::runToEnd(const std::function<int()>& body, bool asNobody) {
    return start(body, asNobody).wait();
}

void ChildProcess::openToEveryone(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::all);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::all);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), outPath_(std::move(other.outPath_)), errPath_(std::move(other.errPath_)) {
    other.pid_ = -1;
    other.outPath_.clear();
    other.errPath_.clear();
}

ChildProcess::~ChildProcess() {
    kill();
    for (const std::string& path : {outPath_, errPath_}) {
        if (!path.empty())
            unlink(path.c_str());
    }
}

int ChildProcess::wait(std::chrono::milliseconds limit) {
    if (pid_ < 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill();
            return -1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::kill() {
    if (pid_ < 0)
        return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void ChildProcess::signal(int number) {
    if (pid_ >= 0)
        ::kill(pid_, number);
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (out().find(text) != std::string::npos)
            return true;
        // Looks without reaping, so that wait() still gets the exit status.
        siginfo_t info{};
        const bool ended =
            pid_ < 0 ||
            waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0;
        if (ended || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string ChildProcess::out() const {
    return readFile(outPath_);
}

std::string ChildProcess::err() const {
    return readFile(errPath_);
}
