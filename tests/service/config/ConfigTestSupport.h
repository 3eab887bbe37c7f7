// A private program directory with the trace log open, and "vembrix.ini" written and
// read with the line ends the file has on disk.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"
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
