// The POS printer library's test double, a shared library the POS controller loads by
// name like the real one. Every function records its call with its service handle and
// returns its scripted result (0 unless scripted; selectInterface hands out handles 1,
// 2, 3... from the last reset). Tests link it too, to script and read it.
#pragma once

#include <string>

#include "CallRecorder.h"

#define DRAVIX_DOUBLE_API __attribute__((visibility("default")))

namespace dravixdouble {

DRAVIX_DOUBLE_API CallRecorder& recorder();
// Also forgets the status callbacks and restarts the handles.
DRAVIX_DOUBLE_API void reset();
// What getModelName writes into its buffer.
DRAVIX_DOUBLE_API void setModelName(const std::u16string& name);
// Calls every status callback set on any handle, from a thread of the library's own.
DRAVIX_DOUBLE_API void reportStatus(int status);

}  // namespace dravixdouble
