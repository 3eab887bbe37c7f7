#include "platform/InstanceLock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace platform {

namespace {

// A Unix socket bound in the abstract namespace: the kernel keeps one binder per name
// and drops the name with the last descriptor, so a killed holder never leaves it taken.
constexpr size_t kMaxNameBytes = sizeof(sockaddr_un::sun_path) - 1;

uint64_t fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

InstanceLock::~InstanceLock() {
    close(handle_);
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::string& name, Outcome& outcome,
                                                    std::string& why) {
    outcome = Outcome::Failed;
    int handle = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        why = std::generic_category().message(errno);
        return nullptr;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::min(name.size(), kMaxNameBytes);
    std::memcpy(address.sun_path + 1, name.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
        outcome = Outcome::Held;
        return std::unique_ptr<InstanceLock>(new InstanceLock(handle));
    }
    const int error = errno;
    close(handle);
    if (error == EADDRINUSE) {
        outcome = Outcome::TakenElsewhere;
        why = "another instance holds it";
    } else {
        why = std::generic_category().message(error);
    }
    return nullptr;
}

std::string instanceNameOfFolder(const std::string& program, const std::string& folder) {
    char resolved[PATH_MAX];
    const std::string canonical = realpath(folder.c_str(), resolved) ? resolved : folder;
    std::string name = program + ":" + canonical;
    if (name.size() <= kMaxNameBytes)
        return name;
    // Too long for the name space: the hash stands for the folder.
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(fnv1a(canonical)));
    return program + ":" + hash;
}

}  // namespace platform
