#include "platform/Display.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

constexpr int kX11TcpBase = 6000;
// A display on another host that does not answer costs at most this at start.
constexpr timeval kConnectLimit{2, 0};

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Connects a stream socket of `family` to `address`; closes it again at once.
bool connects(int family, const sockaddr* address, socklen_t size) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kConnectLimit, sizeof kConnectLimit);
    const bool connected = ::connect(fd, address, size) == 0;
    ::close(fd);
    return connected;
}

// A local socket by path, or in the abstract namespace when `abstract`.
bool unixSocketTakes(const std::string& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t size =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + 1);
    return connects(AF_UNIX, reinterpret_cast<sockaddr*>(&address), size);
}

bool tcpTakes(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (addrinfo* entry = found; entry && !connected; entry = entry->ai_next)
        connected = connects(entry->ai_family, entry->ai_addr, entry->ai_addrlen);
    ::freeaddrinfo(found);
    return connected;
}

// "[host]:number[.screen]": the X server's local socket, or its TCP port on the host.
bool x11Reachable(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = display.substr(0, colon);
    const int number = std::atoi(display.c_str() + colon + 1);
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        return unixSocketTakes(path, true) || unixSocketTakes(path, false);
    }
    return tcpTakes(host, kX11TcpBase + number);
}

bool waylandReachable(const std::string& display) {
    if (!display.empty() && display.front() == '/')
        return unixSocketTakes(display, false);
    const std::string runtime = variable("XDG_RUNTIME_DIR");
    return !runtime.empty() && unixSocketTakes(runtime + "/" + display, false);
}

}  // namespace

bool displayNamed() {
    return !variable("DISPLAY").empty() || !variable("WAYLAND_DISPLAY").empty();
}

bool displayReachable(std::string& why) {
    const std::string wayland = variable("WAYLAND_DISPLAY");
    const std::string x11 = variable("DISPLAY");
    if ((!wayland.empty() && waylandReachable(wayland)) || (!x11.empty() && x11Reachable(x11)))
        return true;
    why = !x11.empty() ? "the display DISPLAY=" + x11 + " cannot be reached"
                       : "the display WAYLAND_DISPLAY=" + wayland + " cannot be reached";
    return false;
}

}  // namespace platform
