// The network printer search inside a network namespace the test makes itself, with one
// tap interface: never on a real network. The printers that answer are the virtual
// printer (vprinter --discoverable) or a responder whose answers the test writes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "NetPrinterSearch.h"
#include "Discovery.h"

namespace {

using namespace std::chrono_literals;

constexpr char kTapAddress[] = "10.77.0.1";
constexpr char kTapBroadcast[] = "10.77.0.255";
constexpr char kTapMask[] = "255.255.255.0";
constexpr unsigned char kTapHardware[6] = {0x02, 0x56, 0x42, 0x00, 0x00, 0x01};

bool setAddress(int control, const char* name, unsigned long request, const char* address) {
    ifreq change{};
    std::strncpy(change.ifr_name, name, IFNAMSIZ - 1);
    auto* in = reinterpret_cast<sockaddr_in*>(&change.ifr_addr);
    in->sin_family = AF_INET;
    inet_pton(AF_INET, address, &in->sin_addr);
    return ::ioctl(control, request, &change) == 0;
}

bool bringUp(int control, const char* name) {
    ifreq change{};
    std::strncpy(change.ifr_name, name, IFNAMSIZ - 1);
    if (::ioctl(control, SIOCGIFFLAGS, &change) != 0)
        return false;
    change.ifr_flags |= IFF_UP | IFF_RUNNING;
    return ::ioctl(control, SIOCSIFFLAGS, &change) == 0;
}

// The tap interface of the namespace, up with its addresses while the object holds it.
class TapInterface {
public:
    bool create() {
        fd_ = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        ifreq tap{};
        std::strncpy(tap.ifr_name, "vtap0", IFNAMSIZ - 1);
        tap.ifr_flags = IFF_TAP | IFF_NO_PI;
        int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq hardware{};
        std::strncpy(hardware.ifr_name, "vtap0", IFNAMSIZ - 1);
        hardware.ifr_hwaddr.sa_family = 1;  // Ethernet
        std::memcpy(hardware.ifr_hwaddr.sa_data, kTapHardware, sizeof kTapHardware);
        bool made = ::ioctl(fd_, TUNSETIFF, &tap) == 0 && control >= 0 &&
                    ::ioctl(control, SIOCSIFHWADDR, &hardware) == 0 &&
                    setAddress(control, "vtap0", SIOCSIFADDR, kTapAddress) &&
                    setAddress(control, "vtap0", SIOCSIFNETMASK, kTapMask) &&
                    setAddress(control, "vtap0", SIOCSIFBRDADDR, kTapBroadcast) &&
                    bringUp(control, "vtap0") && bringUp(control, "lo");
        if (control >= 0)
            ::close(control);
        return made;
    }
    ~TapInterface() {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    int fd_ = -1;
};

// Runs `body` on a thread of its own inside a new network namespace; with `tap` it has
// the tap interface. False, with the reason, when the namespace cannot be made.
bool inNetworkNamespace(bool tap, const std::function<void()>& body, std::string& why) {
    bool entered = false;
    std::thread thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            why = std::string("no network namespace can be made here (") + std::strerror(errno) +
                  "); the search is only ever tried inside one";
            return;
        }
        TapInterface interface;
        if (tap && !interface.create()) {
            why = std::string("no tap interface can be made (") + std::strerror(errno) + ")";
            return;
        }
        entered = true;
        body();
    });
    thread.join();
    return entered;
}

#define IN_NAMESPACE(tap, body)                  \
    do {                                         \
        std::string why;                         \
        if (!inNetworkNamespace(tap, body, why)) \
            GTEST_SKIP() << why;                 \
    } while (false)

std::string hardwareKey(const unsigned char (&address)[6]) {
    return CNetPrinterSearch::HardwareKey(address);
}

// Answers each probe with the datagrams given, from a UDP port of the namespace.
class ScriptedResponder {
public:
    ScriptedResponder(int port, std::vector<std::string> answers) : answers_(std::move(answers)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval limit{0, 100 * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedResponder() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool bound() const { return bound_; }

private:
    void serve() {
        char request[64];
        while (!stop_) {
            sockaddr_in from{};
            socklen_t size = sizeof from;
            if (::recvfrom(fd_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from),
                           &size) < 0)
                continue;
            for (const std::string& answer : answers_)
                ::sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         size);
        }
    }

    int fd_;
    bool bound_ = false;
    std::vector<std::string> answers_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// An answer: the header, a record of the hardware address (its last byte given) and
// 10.77.0.<host>, filled up to `length` bytes.
std::string answer(const std::string& header, unsigned char hardware, unsigned char host,
                   size_t length) {
    std::string bytes = header;
    bytes += std::string("\x02\x00\x00\x00\x00", 5) + static_cast<char>(hardware);
    bytes += std::string("\x0a\x4d\x00", 3) + static_cast<char>(host);
    bytes.resize(length, '\x01');
    return bytes;
}

TEST(NetPrinterSearch, TheVirtualPrinterAnswersBothProbesAndIsListedOnce) {
    IN_NAMESPACE(true, [] {
        ChildProcess printer = ChildProcess::run({VPRINTER_PROGRAM, "--discoverable"});
        ASSERT_TRUE(printer.waitForOutput("discoverable", 10s)) << printer.err();

        CNetPrinterSearch search;
        std::vector<std::string> told;
        search.SetCallbacks(
            [&](const _ETHERNET_INFO_& r) {
                told.push_back("first " + hardwareKey(r.hardwareAddress));
            },
            [&](const _WLAN_INFO_& r) {
                told.push_back("second " + hardwareKey(r.hardwareAddress));
            });
        ASSERT_TRUE(search.Search());

        // Two rounds made it answer each probe twice; each kind keeps it once.
        const std::string key = "02.56.42.00.00.01.";
        EXPECT_EQ(told, (std::vector<std::string>{"first " + key, "second " + key}));
        ASSERT_EQ(search.ethernetPrinters().size(), 1u);
        ASSERT_EQ(search.wlanPrinters().size(), 1u);
        const _ETHERNET_INFO_& first = search.ethernetPrinters()[0];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.details)), "VPRINTER-M1");
        EXPECT_TRUE(first.hasValue2);
        EXPECT_EQ(search.PrinterAddresses(), std::vector<std::string>{kTapAddress});
        // The port list of a printer dialog names it once too.
        discovery::PortList list = discovery::portList(discovery::kNetworkPorts);
        EXPECT_EQ(list.count, 1);
        EXPECT_EQ(list.text, std::string(kTapAddress) + "|");
    });
}

TEST(NetPrinterSearch, AnswersTooShortOrWithAnotherHeaderAreIgnored) {
    IN_NAMESPACE(true, [] {
        ScriptedResponder first(CNetPrinterSearch::kFirstProbeRemotePort,
                                {answer("IMIN", 1, 11, 29), answer("IMIN", 2, 12, 30),
                                 answer("IMIX", 3, 13, 40), answer("IMIN", 2, 12, 32)});
        ScriptedResponder second(
            CNetPrinterSearch::kSecondProbeRemotePort,
            {answer("__[I_F]__[REG_RSP]", 4, 14, 46), answer("__[I_F]__[REG_RSP]", 5, 15, 47)});
        ASSERT_TRUE(first.bound() && second.bound());
        CNetPrinterSearch search;
        ASSERT_TRUE(search.Search());
        ASSERT_EQ(search.ethernetPrinters().size(), 1u);
        EXPECT_EQ(hardwareKey(search.ethernetPrinters()[0].hardwareAddress), "02.00.00.00.00.02.");
        // The 30-byte answer came first: one value after the record, no second one.
        EXPECT_FALSE(search.ethernetPrinters()[0].hasValue2);
        ASSERT_EQ(search.wlanPrinters().size(), 1u);
        EXPECT_EQ(hardwareKey(search.wlanPrinters()[0].hardwareAddress), "02.00.00.00.00.05.");
        EXPECT_EQ(search.PrinterAddresses(),
                  (std::vector<std::string>{"10.77.0.12", "10.77.0.15"}));
    });
}

TEST(NetPrinterSearch, ASilentNetworkEndsTheSearchWithNothing) {
    IN_NAMESPACE(true, [] {
        auto start = std::chrono::steady_clock::now();
        CNetPrinterSearch search;
        EXPECT_TRUE(search.Search());
        EXPECT_TRUE(search.PrinterAddresses().empty());
        // The answer window and one last wait; bounded, however loaded the machine.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    });
}

TEST(NetPrinterSearch, NoInterfaceThatBroadcastsMeansNoSearch) {
    IN_NAMESPACE(false, [] {
        CNetPrinterSearch search;
        EXPECT_FALSE(search.Search());
        EXPECT_TRUE(discovery::networkPrinters().empty());
    });
}

}  // namespace
