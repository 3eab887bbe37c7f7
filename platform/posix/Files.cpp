#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "platform/Files.h"

namespace platform {

namespace {

std::string systemMessage(int error) {
    return std::generic_category().message(error);
}

// Hands the reason of a failure to a caller that asked for it; false.
bool fail(std::string* why, const std::string& reason) {
    if (why)
        *why = reason;
    return false;
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The file a path names, through a symbolic link: a renamed temporary file would take
// the link's place and leave the file it points at unchanged.
std::string linkTarget(const std::string& path) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

// Gives the new file the old one's owner and permissions. The owner first (a change of
// owner may clear the mode): a file saved by root would otherwise no longer be the
// service user's to write. Only root may give a file away; anyone else keeps the file
// as their own.
bool takeOverAttributes(int fd, const std::string& path) {
    struct stat old {};
    if (stat(path.c_str(), &old) != 0)
        return fchmod(fd, 0644) == 0;
    if (old.st_uid != geteuid() || old.st_gid != getegid())
        (void)!fchown(fd, old.st_uid, old.st_gid);
    return fchmod(fd, old.st_mode & 07777) == 0;
}

// Removes a temporary file left by an interrupted replace and creates it anew; the
// descriptor, or -1 with errno set.
int createTemporary(const std::string& temporary) {
    if (unlink(temporary.c_str()) != 0 && errno != ENOENT)
        return -1;
    return open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

// Fills the temporary file and closes it; 0, or the system's error.
int writeAndClose(int fd, const std::string& path, std::string_view contents) {
    int error = 0;
    if (!takeOverAttributes(fd, path) || !writeAll(fd, contents.data(), contents.size()) ||
        fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Makes a rename survive a power cut; where the folder cannot be synced, the rename
// has been made all the same.
void syncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)fsync(fd);
    close(fd);
}

}  // namespace

std::string fileNameOf(std::string_view path) {
    size_t slash = path.rfind(kPathSeparator);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string folderOf(std::string_view path) {
    size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string_view::npos)
        return ".";
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string joinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    path += kPathSeparator;
    path += name;
    return path;
}

bool canOpenForReading(const std::string& path) {
    // Only a regular file is opened: opening a device can have effects of its own (a
    // serial line's modem lines change).
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::optional<std::string> canonicalPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(path.c_str(), nullptr), free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool canOpenForWriting(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::string resolvedLinkPath(const std::string& path) {
    constexpr int kMostLinks = 40;  // as many as the kernel follows
    std::filesystem::path current = std::filesystem::path(path).lexically_normal();
    for (int hop = 0; hop < kMostLinks; ++hop) {
        char target[PATH_MAX];
        ssize_t length = readlink(current.c_str(), target, sizeof target - 1);
        if (length <= 0)
            break;
        std::filesystem::path next(std::string(target, static_cast<size_t>(length)));
        current = (next.is_absolute() ? next : current.parent_path() / next).lexically_normal();
    }
    return current.string();
}

bool mayReadAndWrite(const std::string& path) {
    return access(path.c_str(), R_OK | W_OK) == 0;
}

bool createDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

bool appendToFile(const std::string& path, const void* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, data, size);
    return close(fd) == 0 && ok;
}

std::optional<uint64_t> fileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

std::optional<int64_t> fileBirthTime(const std::string& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info) != 0)
        return std::nullopt;
    if (!(info.stx_mask & STATX_BTIME))
        return std::nullopt;
    return static_cast<int64_t>(info.stx_btime.tv_sec) * 1000 + info.stx_btime.tv_nsec / 1000000;
}

namespace {

// Reads the open file to its end, or to one byte past `maxBytes` (then refused); closes it.
std::optional<std::string> readOpened(int fd, size_t maxBytes, std::string* why) {
    std::string contents;
    char buffer[8192];
    for (;;) {
        size_t wanted = std::min(sizeof buffer, maxBytes + 1 - contents.size());
        ssize_t got = read(fd, buffer, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            int error = errno;
            close(fd);
            fail(why, error == EAGAIN ? "no data without waiting" : systemMessage(error));
            return std::nullopt;
        }
        if (got == 0)
            break;
        contents.append(buffer, static_cast<size_t>(got));
        if (contents.size() > maxBytes) {
            close(fd);
            fail(why, "larger than " + std::to_string(maxBytes) + " bytes");
            return std::nullopt;
        }
    }
    close(fd);
    return contents;
}

// -1 when it cannot be opened, and then `why` says why. Never as the process's
// controlling terminal: a service without one would take the terminal on and end when
// it hangs up.
int openToRead(const std::string& path, int flags, std::string* why) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | flags);
    if (fd < 0)
        fail(why, systemMessage(errno));
    return fd;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path, std::string* why) {
    const int fd = openToRead(path, 0, why);
    if (fd < 0)
        return std::nullopt;
    return readOpened(fd, std::numeric_limits<size_t>::max() - 1, why);
}

std::optional<std::string> readFileBounded(const std::string& path, size_t maxBytes,
                                           std::string* why) {
    const int fd = openToRead(path, O_NONBLOCK, why);
    if (fd < 0)
        return std::nullopt;
    // A FIFO without a writer reads as empty, which is no file's contents either.
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) {
        close(fd);
        fail(why, "a pipe, not a file");
        return std::nullopt;
    }
    return readOpened(fd, maxBytes, why);
}

bool replaceFileContents(const std::string& linkOrPath, std::string_view contents,
                         std::string* why) {
    const std::string path = linkTarget(linkOrPath);
    const std::string folder = folderOf(path);
    // One fixed name: a replace killed before its rename leaves this file and no other.
    std::string temporary = path;
    temporary += kReplaceSuffix;
    int fd = createTemporary(temporary);
    if (fd < 0) {
        const int error = errno;
        // Writing the old file in place is no way out: a crash or a full disk would
        // leave it cut short.
        if (error == EACCES || error == EPERM || error == EROFS) {
            return fail(
                why, "no new file can be made in the folder " + folder + " to replace it safely");
        }
        return fail(why, "cannot create " + temporary + ": " + systemMessage(error));
    }
    int error = writeAndClose(fd, path, contents);
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error == 0) {
        syncFolder(folder);
        return true;
    }
    unlink(temporary.c_str());
    return fail(why, systemMessage(error));
}

}  // namespace platform
