// The trace log: time-stamped diagnostic lines written to sinks, series of files in
// the "Log" folder beside the program that roll over by size and age.
//
// The service writes single-byte lines; the port library switches the process's trace
// to UTF-16LE at load. Messages are printf-style UTF-8 text in both cases.
#pragma once

#include <cstddef>
#include <string>

#define VEMBRIX_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

inline constexpr int kTraceDefaultKey = 1000;  // the service's sink
inline constexpr int kTraceNoPortKey = 1;      // port library failures before a port id exists
inline constexpr int kTraceDumpKeyOffset = 10000;

enum class TraceEncoding { Ansi, Utf16LE };

struct TraceLimits {
    int maxFileSizeMB = 3;  // negative: no size limit
    int maxFileAgeHours = 1;
};

void TraceSetEncoding(TraceEncoding encoding);
// Roll-over limits of the process; the defaults are kept by every production caller.
void TraceSetLimits(const TraceLimits& limits);

void TraceOpen(int key, int level, const std::string& name);
void TraceClose(int key);

void TraceWrite(int key, int messageLevel, const char* method, int line, const char* format,
                ...) VEMBRIX_PRINTF(5, 6);
// Writes to the default sink at message level 1.
void TraceWrite(const char* method, int line, const char* format, ...) VEMBRIX_PRINTF(3, 4);
void TraceError(int key, const char* method, int line, const char* format, ...)
    VEMBRIX_PRINTF(4, 5);
void TraceError(const char* method, int line, const char* format, ...) VEMBRIX_PRINTF(3, 4);
// Written to the fatal file of the current minute whether or not any sink is open.
void TraceFatal(const char* method, int line, const char* format, ...) VEMBRIX_PRINTF(3, 4);

// Binary dumps of port traffic, kept under port key + 10000.
void TraceDump(int portKey, const void* bytes, size_t length);
void TraceDumpClose(int portKey);
