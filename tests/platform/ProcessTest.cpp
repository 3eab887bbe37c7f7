#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "TempHome.h"
#include "platform/Process.h"

namespace {

// A TCP listener on an ephemeral loopback port, closed with the object.
class Listener {
public:
    explicit Listener(int family = AF_INET) {
        fd_ = socket(family, SOCK_STREAM, 0);
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET6) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_loopback;
            length = sizeof *v6;
        } else {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *v4;
        }
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
              listen(fd_, 1) == 0 &&
              getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        // Both families keep the port at the same offset.
        port_ = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    ~Listener() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return ok_; }
    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    bool ok_ = false;
    uint16_t port_ = 0;
};

TEST(ProcessTest, FindsTheListenerThisProcessOpened) {
    Listener listener;
    platform::PortOwner owner = platform::findTcpListener(listener.port());
    EXPECT_TRUE(owner.listening);
    EXPECT_EQ("platform_tests", owner.executableName);
}

TEST(ProcessTest, FindsAnIpv6ListenerThatTheIpv4TableDoesNotShow) {
    Listener listener(AF_INET6);
    if (!listener.ok())
        GTEST_SKIP() << "no IPv6 loopback here";
    platform::PortOwner owner = platform::findTcpListener(listener.port());
    EXPECT_TRUE(owner.listening);
    EXPECT_EQ("platform_tests", owner.executableName);
}

TEST(ProcessTest, NoListenerOnAClosedPort) {
    uint16_t port;
    {
        Listener listener;
        port = listener.port();
    }
    EXPECT_FALSE(platform::findTcpListener(port).listening);
}

TEST(ProcessTest, UnreadableOwnerCountsAsUsedWithEmptyName) {
    // A process table whose listener belongs to no process we may look into.
    TempHome root;
    std::filesystem::create_directories(root.file("net"));
    root.writeFile("net/tcp",
                   "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt"
                   "   uid  timeout inode\n"
                   "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000"
                   "     0        0 424242 1 0000000000000000 100 0 0 10 0\n"
                   "   1: 0100007F:1F91 0100007F:1F92 01 00000000:00000000 00:00000000 00000000"
                   "     0        0 434343 1 0000000000000000 100 0 0 10 0\n");
    std::filesystem::create_directories(root.file("4711"));  // no fd folder to read
    platform::PortOwner owner = platform::findTcpListener(8080, root.path());
    EXPECT_TRUE(owner.listening);
    EXPECT_EQ("", owner.executableName);
    // A connection that is not listening does not count.
    EXPECT_FALSE(platform::findTcpListener(0x1F91, root.path()).listening);
}

}  // namespace
