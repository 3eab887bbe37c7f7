#include "TraceFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Text.h"

namespace fs = std::filesystem;

namespace tracefiles {

std::vector<std::string> list(const std::string& home) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(home) / "Log", error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read(const std::string& home, const std::string& name) {
    std::ifstream in(fs::path(home) / "Log" / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

static std::string decodeUtf16LE(const std::string& bytes) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return platform::utf16ToUtf8(units);
}

std::vector<std::string> lines(const std::string& home, bool utf16) {
    std::vector<std::string> result;
    for (const auto& name : list(home)) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".log")
            continue;
        std::string text = read(home, name);
        if (utf16)
            text = decodeUtf16LE(text);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            result.push_back(text.substr(start, end - start));
        if (start < text.size())
            result.push_back(text.substr(start));
    }
    return result;
}

int count(const std::string& home, const std::string& text, bool utf16) {
    auto all = lines(home, utf16);
    return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

bool contains(const std::string& home, const std::string& text, bool utf16) {
    return count(home, text, utf16) > 0;
}

}  // namespace tracefiles
