// What a printer library double was called with, one line a call in the form
// `Prints(1,1)`, `PrintDirect("^XA",1)`, `printText(1,u"Hi",[0,0,0,0,0,1,0])`, and the
// results a test scripts for its functions: used in order, the last one repeating.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CallRecorder {
public:
    template <typename... Args>
    int record(const char* function, int defaultResult, const Args&... args) {
        std::string line = function;
        line += '(';
        [[maybe_unused]] const char* separator = "";  // unused by calls without arguments
        ((line += separator, line += describe(args), separator = ","), ...);
        line += ')';
        std::lock_guard lock(lock_);
        calls_.push_back(line);
        std::deque<int>& results = scripts_[function];
        if (results.empty())
            return defaultResult;
        int result = results.front();
        if (results.size() > 1)
            results.pop_front();
        return result;
    }

    void script(const std::string& function, std::vector<int> results) {
        std::lock_guard lock(lock_);
        scripts_[function].assign(results.begin(), results.end());
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(lock_);
        return calls_;
    }
    void reset() {
        std::lock_guard lock(lock_);
        calls_.clear();
        scripts_.clear();
    }

    static std::string describe(int value) { return std::to_string(value); }
    static std::string describe(const char* text) {
        return text ? "\"" + std::string(text) + "\"" : "null";
    }
    static std::string describe(const char16_t* text) {
        if (!text)
            return "null";
        std::string utf8 = "u\"";
        for (; *text; ++text)
            appendUtf8(utf8, *text);
        return utf8 + "\"";
    }
    // An attribute array of seven integers.
    static std::string describe(const int* values) {
        if (!values)
            return "null";
        std::string text = "[";
        for (int i = 0; i < 7; ++i)
            text += (i ? "," : "") + std::to_string(values[i]);
        return text + "]";
    }
    // Already described (bytes as hexadecimal, say).
    static std::string describe(const std::string& described) { return described; }

private:
    static void appendUtf8(std::string& out, char16_t c) {  // the BMP is enough here
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    mutable std::mutex lock_;
    std::vector<std::string> calls_;
    std::map<std::string, std::deque<int>, std::less<>> scripts_;
};
