// A private program directory with the trace log open, and "vembrix.ini" written and
// read with the line ends the file has on disk.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "INIFileLock.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

// "\n" -> "\r\n", so that tests can spell files with plain line ends.
inline std::string crlf(const std::string& text) {
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

// ASCII text as UTF-16, little- or big-endian, with or without a byte-order mark.
inline std::string utf16(const std::string& text, bool bigEndian, bool byteOrderMark) {
    std::string bytes = byteOrderMark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char c : text) {
        bytes += bigEndian ? '\0' : c;
        bytes += bigEndian ? c : '\0';
    }
    return bytes;
}

// Another process holding the lock of `path` until it is killed (or for a minute).
inline ChildProcess holdLock(const std::string& path) {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    ChildProcess holder = ChildProcess::start([&] {
        CINIFileLock lock(path);
        char held = lock.IsHeld() ? 'y' : 'n';
        if (write(ready[1], &held, 1) != 1)
            return 1;
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return 0;
    });
    close(ready[1]);
    char held = 'n';
    EXPECT_EQ(read(ready[0], &held, 1), 1);  // ends when the holder does
    EXPECT_EQ(held, 'y');
    close(ready[0]);
    return holder;
}

class ConfigTest : public ::testing::Test {
protected:
    ConfigTest() { TraceOpen(kTraceDefaultKey, 1, "vembrix"); }
    ~ConfigTest() override { TraceClose(kTraceDefaultKey); }

    // Writes the text with CR LF line ends.
    void writeIni(const std::string& text) const { home.writeFile("vembrix.ini", crlf(text)); }
    void writeIniBytes(const std::string& bytes) const { home.writeFile("vembrix.ini", bytes); }
    std::string iniBytes() const { return home.readFile("vembrix.ini"); }
    bool traced(const std::string& text) const { return tracefiles::contains(home.path(), text); }

    TempHome home;
};
