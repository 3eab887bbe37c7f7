// Unpredictable bytes from the operating system's random source.
#pragma once

#include <cstddef>

namespace platform {

// Fills `buffer` with `size` bytes nobody can foresee, not even from earlier output.
// The system's source does not run dry; a failure to read it is fatal to the process.
void randomBytes(void* buffer, size_t size);

}  // namespace platform
