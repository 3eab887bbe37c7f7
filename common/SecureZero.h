#pragma once

#include <cstddef>

// Overwrites memory with zeros in a way the compiler may not drop, for buffers that
// held port data or tokens and are about to be released.
inline void secureZero(void* data, size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size--) *p++ = 0;
}
