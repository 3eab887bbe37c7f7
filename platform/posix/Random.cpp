#include "platform/Random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

void randomBytes(void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // Only a kernel without the call gets here; guessable bytes would be worse.
            std::perror("getrandom");
            std::abort();
        }
        out += got;
        size -= static_cast<size_t>(got);
    }
}

}  // namespace platform
