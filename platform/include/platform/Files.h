// Program location and the few file operations the system needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char kPathSeparator = '/';

// Full path of the running executable (also when called from a shared library).
std::string executablePath();
// Directory of the running executable, whatever $VEMBRIX_HOME says: where the files that
// ship with the program lie (printer libraries, pictures). No trailing separator.
std::string executableDirectory();
// Directory that holds the files the system keeps beside the program: the
// executable's directory, or $VEMBRIX_HOME when that is set. No trailing separator.
std::string programDirectory();
// Text after the last separator.
std::string fileNameOf(std::string_view path);
std::string joinPath(std::string_view directory, std::string_view name);

// True when the file can be opened for reading.
bool canOpenForReading(const std::string& path);
// Creates one directory level; false when it could not be made (also when it exists).
bool createDirectory(const std::string& path);
// Appends the bytes with a single write to a file opened for appending (created when
// missing), so lines from several writers never interleave.
bool appendToFile(const std::string& path, const void* data, size_t size);
std::optional<uint64_t> fileSize(const std::string& path);
// Creation (birth) time in epoch milliseconds, where the file system keeps one.
std::optional<int64_t> fileBirthTime(const std::string& path);
std::optional<std::string> readWholeFile(const std::string& path);
// Replaces the file's contents so that a crash or a full disk mid-write leaves the old
// contents whole: the text goes to a temporary file in the same folder, which then
// takes the old file's place (and its owner and permissions). A symbolic link stays and
// the file it points at is replaced. On failure the old file is kept. In a folder that
// takes no new file, a file that is there is written in place instead.
bool replaceFileContents(const std::string& path, std::string_view contents);

}  // namespace platform
