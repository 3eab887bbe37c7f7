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
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 1);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(fd_); }
    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

TEST(ProcessTest, FindsTheListenerThisProcessOpened) {
    Listener listener;
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
