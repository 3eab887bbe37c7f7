// Program location and the few file operations the system needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char kPathSeparator = '/';

// Where the program is and where its files lie (posix/ProgramFolders.cpp). A program in
// a build tree has everything beside its executable; an installed one (an install prefix
// with the program's private library folder) has its libraries and data in the prefix's
// folders and keeps its own files in the user's configuration folder.

// Full path of the running executable (also when called from a shared library).
std::string executablePath();
// Directory of the running executable, whatever $VEMBRIX_HOME says. No trailing separator.
std::string executableDirectory();
// Directory of the shared libraries that ship with the program: the executable's
// directory, or the private library folder of an installed program.
std::string libraryDirectory();
// Directory of the pictures that ship with the program: the executable's directory, or
// <prefix>/share/vembrix of an installed program.
std::string dataDirectory();
// Directory that holds the files the system keeps beside the program (vembrix.ini, Log/,
// marker files): $VEMBRIX_HOME when that is set; otherwise the executable's directory,
// or, for an installed program, the user's configuration folder "vembrix" (made when
// missing). No trailing separator.
std::string programDirectory();
// $XDG_CONFIG_HOME/<name>, or ~/.config/<name> when XDG_CONFIG_HOME is unset, empty or
// relative; the folders missing on the way are made, for the user only. Empty when the
// user has no home folder.
std::string userConfigFolder(std::string_view name);

// Text after the last separator.
std::string fileNameOf(std::string_view path);
// Text before the last separator ("." when there is none).
std::string folderOf(std::string_view path);
std::string joinPath(std::string_view directory, std::string_view name);

// True when a regular file is at the path and can be opened for reading. Never waits
// (a FIFO without a writer is no such file).
bool canOpenForReading(const std::string& path);
// The absolute path without symbolic links, "." or ".."; nothing when the path leads
// nowhere.
std::optional<std::string> canonicalPath(const std::string& path);
// True when something is at the path (a symbolic link counts by what it points at).
bool pathExists(const std::string& path);
// True when the existing file can be opened for writing; the file is not changed.
bool canOpenForWriting(const std::string& path);
// The path a chain of symbolic links ends at (a dosdevices entry, a /dev/serial/by-id
// name), "." and ".." taken out; the folders on the way are kept as they are written.
std::string resolvedLinkPath(const std::string& path);
// True when this process has the right to read and write the file. The file is not
// opened, so a device that takes one opener at a time is not taken from its holder.
bool mayReadAndWrite(const std::string& path);
// Creates one directory level; false when it could not be made (also when it exists).
bool createDirectory(const std::string& path);
// Appends the bytes with a single write to a file opened for appending (created when
// missing), so lines from several writers never interleave.
bool appendToFile(const std::string& path, const void* data, size_t size);
std::optional<uint64_t> fileSize(const std::string& path);
// Creation (birth) time in epoch milliseconds, where the file system keeps one.
std::optional<int64_t> fileBirthTime(const std::string& path);
// The file's bytes; nothing when it cannot be read, and then `why` (when given) holds
// the system's reason.
std::optional<std::string> readWholeFile(const std::string& path, std::string* why = nullptr);
// The file's bytes when there are at most `maxBytes` of them; nothing otherwise, and
// then `why` (when given) says why. A file is read no further than the bound, so one
// whose size is known only at its end (/dev/zero) costs no more, and nothing waits for
// data (a FIFO or a terminal refuses instead).
std::optional<std::string> readFileBounded(const std::string& path, size_t maxBytes,
                                           std::string* why = nullptr);
// Suffix of the temporary file a replace writes beside the file it replaces.
inline constexpr std::string_view kReplaceSuffix = ".tmp";
// Replaces the file's contents so that a crash or a full disk at any moment leaves the
// old contents or the new ones whole: the text goes to the temporary file (path +
// kReplaceSuffix), which then takes the old file's place (and its owner and
// permissions). A symbolic link stays and the file it points at is replaced. A
// temporary file left by an interrupted replace is removed first, so at most one is
// ever left. Callers that may replace the same file at once hold its FileLock.
// On failure the old file is kept and `why` (when given) says why in a few words; a
// folder that takes no new file refuses, as nothing else would be safe there.
bool replaceFileContents(const std::string& path, std::string_view contents,
                         std::string* why = nullptr);

}  // namespace platform
