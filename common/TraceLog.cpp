#include "TraceLog.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr size_t kMaxMessageChars = 2047;
constexpr int64_t kMillisPerHour = 3600 * 1000;
constexpr const char* kFatalName = "fatal";

enum class FileKind { Text, Binary };

struct _TRACE_INFO_ {
    int level = 0;
    std::string name;
    std::string fileName;  // empty until the first line, then kept until a roll-over
    // When the file name was formed: stands in for the file's creation time where the
    // file system keeps none.
    int64_t nameFormedAt = 0;
};

struct CTraceRegistry {
    std::unordered_map<int, std::unique_ptr<_TRACE_INFO_>> sinks;
    std::string logFolder;
};

// One lock guards the registry and serialises the writes, so sinks may be opened and
// closed while other threads write, and no two lines share a write.
struct TraceState {
    std::mutex lock;
    std::unique_ptr<CTraceRegistry> registry;
    TraceEncoding encoding = TraceEncoding::Ansi;
    TraceLimits limits;
};

// Made on first use, so it outlives every object that traced before it was made
// (the port library's application object traces while it tears its ports down).
TraceState& state() {
    static TraceState instance;
    return instance;
}

CTraceRegistry& registry() {
    std::unique_ptr<CTraceRegistry>& registry = state().registry;
    if (!registry)
        registry = std::make_unique<CTraceRegistry>();
    return *registry;
}

bool endsWithExe(const std::string& name) {
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".exe") == 0;
}

std::string formFileName(const std::string& name, FileKind kind, int64_t now) {
    platform::LocalTime t = platform::clock().toLocal(now);
    char buffer[512];
    std::snprintf(
        buffer, sizeof buffer,
        kind == FileKind::Binary ? "%s_%02d%02d_%02d%02d.bin" : "%s_%02d%02d_%02d%02d.log",
        name.c_str(), t.month, t.day, t.hour, t.minute);
    return buffer;
}

bool needsRollOver(const std::string& path, const _TRACE_INFO_& sink, int64_t now) {
    std::optional<uint64_t> size = platform::fileSize(path);
    if (!size)
        return false;  // a new file
    const TraceLimits& limits = state().limits;
    if (limits.maxFileSizeMB >= 0 && static_cast<int64_t>(*size >> 20) >= limits.maxFileSizeMB)
        return true;
    int64_t created = platform::fileBirthTime(path).value_or(sink.nameFormedAt);
    return created < now - limits.maxFileAgeHours * kMillisPerHour;
}

// Picks the sink's file, rolling it over by size and age; returns its full path.
std::string sinkFilePath(CTraceRegistry& reg, _TRACE_INFO_& sink, FileKind kind) {
    int64_t now = platform::clock().epochMillis();
    if (sink.fileName.empty()) {
        sink.fileName = formFileName(sink.name, kind, now);
        sink.nameFormedAt = now;
    }
    platform::createDirectory(reg.logFolder);
    std::string path = platform::joinPath(reg.logFolder, sink.fileName);
    if (needsRollOver(path, sink, now)) {
        // Dump files keep their ".bin" ending across a roll-over.
        sink.fileName = formFileName(sink.name, kind, now);
        sink.nameFormedAt = now;
        platform::createDirectory(reg.logFolder);
        path = platform::joinPath(reg.logFolder, sink.fileName);
    }
    return path;
}

void ensureLogFolder(CTraceRegistry& reg) {
    if (reg.logFolder.empty())
        reg.logFolder = platform::joinPath(platform::programDirectory(), "Log");
}

// The message cut to at most 2047 characters of the trace's width, without splitting
// a character.
std::string cutMessage(std::string message) {
    if (state().encoding == TraceEncoding::Utf16LE) {
        std::u16string units = platform::utf8ToUtf16(message);
        if (units.size() <= kMaxMessageChars)
            return message;
        size_t keep = kMaxMessageChars;
        if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF)
            --keep;
        return platform::utf16ToUtf8(std::u16string_view(units).substr(0, keep));
    }
    if (message.size() <= kMaxMessageChars)
        return message;
    size_t keep = kMaxMessageChars;
    while (keep > 0 && (static_cast<unsigned char>(message[keep]) & 0xC0) == 0x80)
        --keep;
    message.resize(keep);
    return message;
}

std::string formatMessage(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return cutMessage(std::string(buffer.data(), static_cast<size_t>(needed)));
}

std::string encodeLine(const std::string& line) {
    if (state().encoding == TraceEncoding::Ansi)
        return platform::utf8ToAnsi(line);
    std::u16string units = platform::utf8ToUtf16(line);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

void writeLine(CTraceRegistry& reg, _TRACE_INFO_& sink, bool error, const char* method, int line,
               const char* format, va_list args) {
    ensureLogFolder(reg);
    std::string path = sinkFilePath(reg, sink, FileKind::Text);
    std::string message = formatMessage(format, args);
    platform::LocalTime t = platform::clock().localNow();
    char head[64];
    std::snprintf(head, sizeof head, "(%02d:%02d:%02d.%03d) ", t.hour, t.minute, t.second,
                  t.millisecond);
    std::string text = head;
    text += method ? method : "";
    text += '(' + std::to_string(line) + ')';
    text += error ? " <ERROR> " : " ";
    text += message;
    text += "\r\n";
    std::string bytes = encodeLine(text);
    platform::appendToFile(path, bytes.data(), bytes.size());
}

void writeToKey(int key, int messageLevel, bool error, const char* method, int line,
                const char* format, va_list args) {
    std::lock_guard<std::mutex> guard(state().lock);
    CTraceRegistry& reg = registry();
    auto found = reg.sinks.find(key);
    if (found == reg.sinks.end())
        return;
    _TRACE_INFO_& sink = *found->second;
    if (sink.level <= 0 || sink.level < messageLevel)
        return;
    writeLine(reg, sink, error, method, line, format, args);
}

}  // namespace

void TraceSetEncoding(TraceEncoding encoding) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().encoding = encoding;
}

void TraceSetLimits(const TraceLimits& limits) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().limits = limits;
}

void TraceOpen(int key, int level, const std::string& name) {
    std::lock_guard<std::mutex> guard(state().lock);
    CTraceRegistry& reg = registry();
    if (reg.sinks.count(key))
        return;
    auto sink = std::make_unique<_TRACE_INFO_>();
    sink->level = level;
    sink->name = endsWithExe(name) ? name.substr(0, name.rfind('.')) : name;
    reg.sinks.emplace(key, std::move(sink));
}

void TraceClose(int key) {
    std::lock_guard<std::mutex> guard(state().lock);
    std::unique_ptr<CTraceRegistry>& registry = state().registry;
    if (!registry)
        return;
    registry->sinks.erase(key);
    if (registry->sinks.empty())
        registry.reset();
}

void TraceWrite(int key, int messageLevel, const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeToKey(key, messageLevel, false, method, line, format, args);
    va_end(args);
}

void TraceWrite(const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeToKey(kTraceDefaultKey, 1, false, method, line, format, args);
    va_end(args);
}

void TraceError(int key, const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeToKey(key, 1, true, method, line, format, args);
    va_end(args);
}

void TraceError(const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeToKey(kTraceDefaultKey, 1, true, method, line, format, args);
    va_end(args);
}

void TraceFatal(const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    {
        std::lock_guard<std::mutex> guard(state().lock);
        // A sink of its own that is never registered: every line forms its file name
        // afresh, so it lands in the fatal file of the current minute.
        _TRACE_INFO_ fatal;
        fatal.level = 1;
        fatal.name = kFatalName;
        writeLine(registry(), fatal, true, method, line, format, args);
    }
    va_end(args);
}

void TraceDump(int portKey, const void* bytes, size_t length) {
    std::lock_guard<std::mutex> guard(state().lock);
    CTraceRegistry& reg = registry();
    auto found = reg.sinks.find(portKey + kTraceDumpKeyOffset);
    if (found == reg.sinks.end() || found->second->level < 1)
        return;
    ensureLogFolder(reg);
    std::string path = sinkFilePath(reg, *found->second, FileKind::Binary);
    platform::appendToFile(path, bytes, length);
}

void TraceDumpClose(int portKey) {
    TraceClose(portKey + kTraceDumpKeyOffset);
}
