#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "platform/Process.h"

namespace platform {
namespace {

constexpr const char* kListenState = "0A";

// The socket inode of the first listener on `port` in one table of /proc/net, or empty.
std::string listenerInode(uint16_t port, const std::string& tablePath) {
    std::ifstream table(tablePath);
    std::string line;
    std::getline(table, line);  // column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode))
            continue;
        size_t colon = local.find(':');
        if (colon == std::string::npos || state != kListenState)
            continue;
        if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) == port)
            return inode;
    }
    return {};
}

std::string readLink(const std::string& path) {
    char target[PATH_MAX];
    ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

bool holdsSocket(const std::string& processDir, const std::string& socketLink) {
    DIR* fds = opendir((processDir + "/fd").c_str());
    if (!fds)
        return false;
    bool found = false;
    while (dirent* entry = readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        if (readLink(processDir + "/fd/" + entry->d_name) == socketLink) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

}  // namespace

PortOwner findTcpListener(uint16_t port, const std::string& procRoot) {
    PortOwner owner;
    // A dual-stack listener shows only in the IPv6 table.
    std::string inode = listenerInode(port, procRoot + "/net/tcp");
    if (inode.empty())
        inode = listenerInode(port, procRoot + "/net/tcp6");
    if (inode.empty())
        return owner;
    owner.listening = true;

    const std::string socketLink = "socket:[" + inode + "]";
    DIR* processes = opendir(procRoot.c_str());
    if (!processes)
        return owner;
    while (dirent* entry = readdir(processes)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        std::string processDir = procRoot + "/" + entry->d_name;
        if (holdsSocket(processDir, socketLink)) {
            owner.executableName = fileNameOf(readLink(processDir + "/exe"));
            break;
        }
    }
    closedir(processes);
    return owner;
}

}  // namespace platform
