#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/Files.h"

namespace platform {

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string programDirectory() {
    if (const char* home = std::getenv("VEMBRIX_HOME"); home && *home) {
        std::string directory = home;
        while (directory.size() > 1 && directory.back() == kPathSeparator)
            directory.pop_back();
        return directory;
    }
    return executableDirectory();
}

std::string executableDirectory() {
    std::string path = executablePath();
    size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string fileNameOf(std::string_view path) {
    size_t slash = path.rfind(kPathSeparator);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string joinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    path += kPathSeparator;
    path += name;
    return path;
}

bool canOpenForReading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool regular = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    close(fd);
    return regular;
}

bool createDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

static bool writeAll(int fd, const void* data, size_t size) {
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

std::optional<std::string> readWholeFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string contents;
    char buffer[8192];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            close(fd);
            if (got < 0)
                return std::nullopt;
            return contents;
        }
        contents.append(buffer, static_cast<size_t>(got));
    }
}

static bool writeInPlace(const std::string& path, std::string_view contents) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, contents.data(), contents.size()) && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

bool replaceFileContents(const std::string& linkOrPath, std::string_view contents) {
    // A renamed temporary file would take a symbolic link's place and leave the file it
    // points at unchanged: the linked file is the one to replace.
    std::string path = linkOrPath;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        // A folder that takes no new file may still hold a file its owner let us write
        // (a program folder installed read-only): that file is then written in place.
        return (errno == EACCES || errno == EPERM) && writeInPlace(path, contents);
    }
    struct stat old {};
    const bool existed = stat(path.c_str(), &old) == 0;
    mode_t mode = existed ? (old.st_mode & 07777) : 0644;
    // The owner as well (before the mode, which a change of owner may clear): a file
    // saved by root would otherwise no longer be the service user's to write. Only root
    // may give a file away; anyone else keeps the file as their own.
    if (existed && (old.st_uid != geteuid() || old.st_gid != getegid()))
        (void)!fchown(fd, old.st_uid, old.st_gid);
    bool ok =
        fchmod(fd, mode) == 0 && writeAll(fd, contents.data(), contents.size()) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    unlink(temporary.c_str());
    return false;
}

}  // namespace platform
