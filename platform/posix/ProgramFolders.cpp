// Where the program is, where the files that ship with it lie, and where it keeps its own.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "InstallLayout.h"
#include "platform/Files.h"

namespace platform {

namespace {

constexpr const char* kFolderName = "vembrix";

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == kPathSeparator)
        path.pop_back();
    return path;
}

// A folder of the install prefix, given relative to the executable's folder.
std::string installedFolder(const char* fromProgram) {
    return (std::filesystem::path(executableDirectory()) / fromProgram).lexically_normal().string();
}

// An installed program has its private library folder in its prefix; a build tree has
// its libraries beside the executable and no such folder.
bool runsInstalled() {
    return isFolder(installedFolder(VEMBRIX_LIBRARY_DIR_FROM_PROGRAM));
}

// The value of an environment variable that names an absolute path; empty otherwise.
std::string absolutePathFrom(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || value[0] != kPathSeparator)
        return {};
    return withoutTrailingSeparators(value);
}

std::string homeFolder() {
    if (std::string home = absolutePathFrom("HOME"); !home.empty())
        return home;
    // A process started without an environment (env -i, some service managers).
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != kPathSeparator) {
        return {};
    }
    return withoutTrailingSeparators(found->pw_dir);
}

// Makes each missing folder of the absolute path, for its owner only; a folder that
// cannot be made shows later, in the error of whatever wanted to write there.
void makeFolders(const std::string& path) {
    for (size_t slash = path.find(kPathSeparator, 1);;
         slash = path.find(kPathSeparator, slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return;
        if (slash == std::string::npos)
            return;
    }
}

}  // namespace

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string executableDirectory() {
    std::string path = executablePath();
    size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string libraryDirectory() {
    return runsInstalled() ? installedFolder(VEMBRIX_LIBRARY_DIR_FROM_PROGRAM)
                           : executableDirectory();
}

std::string dataDirectory() {
    return runsInstalled() ? installedFolder(VEMBRIX_DATA_DIR_FROM_PROGRAM) : executableDirectory();
}

std::string userConfigFolder(std::string_view name) {
    std::string base = absolutePathFrom("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::string home = homeFolder();
        if (home.empty())
            return {};
        base = joinPath(home, ".config");
    }
    std::string folder = joinPath(base, name);
    makeFolders(folder);
    return folder;
}

std::string programDirectory() {
    if (const char* home = std::getenv("VEMBRIX_HOME"); home && *home)
        return withoutTrailingSeparators(home);
    // An installed program's folder belongs to the system; the user's files go to the
    // user's configuration folder.
    if (runsInstalled()) {
        if (std::string folder = userConfigFolder(kFolderName); !folder.empty())
            return folder;
    }
    return executableDirectory();
}

}  // namespace platform
