#include "NetPrinterSearch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "platform/Broadcast.h"

namespace {

constexpr char kFirstRequest[] = "FIND";
constexpr char kFirstAnswerHeader[] = "IMIN";
constexpr char kSecondRequest[] = "__[I_F]__[PRT_REG]";
constexpr char kSecondAnswerHeader[] = "__[I_F]__[REG_RSP]";
constexpr int kFirstHeader = 4;
constexpr int kSecondHeader = 18;
constexpr int kRounds = 2;
constexpr int kSecondValueEnd = 32;
// The extension follows the second probe's record when more than this comes after the
// header.
constexpr int kExtendedAfterHeader = 92;

enum Probe { kFirstProbe, kSecondProbe };

struct ProbeKind {
    const char* request;
    int localPort;
    int remotePort;
};

constexpr ProbeKind kProbes[] = {
    {kFirstRequest, CNetPrinterSearch::kFirstProbeLocalPort,
     CNetPrinterSearch::kFirstProbeRemotePort},
    {kSecondRequest, CNetPrinterSearch::kSecondProbeLocalPort,
     CNetPrinterSearch::kSecondProbeRemotePort},
};

struct ProbeSocket {
    std::unique_ptr<platform::UdpSocket> socket;
    Probe probe;
};

// One probe's socket on one interface, its request sent; none when any step fails.
std::unique_ptr<platform::UdpSocket> sendProbe(const _LOCAL_INTERFACE_INFO_& local,
                                               const ProbeKind& kind) {
    std::unique_ptr<platform::UdpSocket> socket = platform::UdpSocket::create();
    if (!socket || !socket->enableBroadcast() ||
        !socket->setReceiveTimeout(CNetPrinterSearch::kLongestWaitMs) ||
        !socket->enableAddressReuse() || !socket->bind(local.address, kind.localPort) ||
        !socket->setNonBlocking() ||
        !socket->sendTo(local.broadcast, kind.remotePort, kind.request,
                        static_cast<int>(std::strlen(kind.request))))
        return nullptr;
    return socket;
}

bool startsWith(const unsigned char* answer, int length, const char* header, int headerLength) {
    return length >= headerLength && std::memcmp(answer, header, headerLength) == 0;
}

// The record behind an answer's header: the hardware and IPv4 address, then the rest as
// it came. What follows the record; none for another header or a short answer.
template <typename Record>
const unsigned char* readRecord(const unsigned char* answer, int length, const char* header,
                                int headerLength, int minimum, Record& out) {
    if (length < minimum || !startsWith(answer, length, header, headerLength))
        return nullptr;
    const unsigned char* record = answer + headerLength;
    std::memcpy(out.hardwareAddress, record, sizeof out.hardwareAddress);
    std::memcpy(out.ipv4, record + sizeof out.hardwareAddress, sizeof out.ipv4);
    const unsigned char* details = record + sizeof out.hardwareAddress + sizeof out.ipv4;
    std::memcpy(out.details, details, sizeof out.details);
    return details + sizeof out.details;
}

uint16_t value16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::string dotted(const unsigned char (&ipv4)[4]) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", ipv4[0], ipv4[1], ipv4[2], ipv4[3]);
    return text;
}

template <typename Record>
bool known(const std::vector<Record>& records, const Record& record) {
    return std::any_of(records.begin(), records.end(), [&](const Record& r) {
        return std::memcmp(r.hardwareAddress, record.hardwareAddress, 6) == 0;
    });
}

}  // namespace

void CNetPrinterSearch::SetCallbacks(EthernetCallback ethernet, WlanCallback wlan) {
    onEthernet_ = std::move(ethernet);
    onWlan_ = std::move(wlan);
}

bool CNetPrinterSearch::Search() {
    std::vector<_LOCAL_INTERFACE_INFO_> interfaces;
    for (const platform::BroadcastInterface& found : platform::broadcastInterfaces())
        interfaces.push_back({found.address, found.broadcast, found.flags});
    if (interfaces.empty())
        return false;

    std::vector<ProbeSocket> sockets;
    for (int round = 0; round < kRounds; ++round)
        for (Probe probe : {kFirstProbe, kSecondProbe})
            for (const _LOCAL_INTERFACE_INFO_& local : interfaces)
                if (auto socket = sendProbe(local, kProbes[probe]))
                    sockets.push_back({std::move(socket), probe});

    std::vector<platform::UdpSocket*> waitList;
    for (const ProbeSocket& entry : sockets)
        waitList.push_back(entry.socket.get());
    auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    unsigned char answer[kLargestAnswer];
    std::vector<size_t> ready;
    while (!waitList.empty() && elapsedMs() < kAnswerWindowMs) {
        if (platform::waitForDatagrams(waitList, kLongestWaitMs, ready) ==
            platform::WaitResult::Failed)
            break;
        for (size_t index : ready) {
            int length;
            while ((length = sockets[index].socket->receive(answer, sizeof answer)) >= 0)
                Take(sockets[index].probe, answer, length);
        }
    }
    return true;
}

void CNetPrinterSearch::Take(int probe, const unsigned char* answer, int length) {
    if (probe == kFirstProbe) {
        _ETHERNET_INFO_ record;
        if (!ParseFirstAnswer(answer, length, record) || known(ethernet_, record))
            return;
        ethernet_.push_back(record);
        if (onEthernet_)
            onEthernet_(record);
        return;
    }
    _WLAN_INFO_ record;
    if (!ParseSecondAnswer(answer, length, record) || known(wlan_, record))
        return;
    wlan_.push_back(record);
    if (onWlan_)
        onWlan_(record);
}

bool CNetPrinterSearch::ParseFirstAnswer(const unsigned char* answer, int length,
                                         _ETHERNET_INFO_& out) {
    const unsigned char* values =
        readRecord(answer, length, kFirstAnswerHeader, kFirstHeader, kFirstAnswerMinimum, out);
    if (!values)
        return false;
    out.value1 = value16(values);
    out.hasValue2 = length >= kSecondValueEnd;
    out.value2 = out.hasValue2 ? value16(values + 2) : 0;
    return true;
}

bool CNetPrinterSearch::ParseSecondAnswer(const unsigned char* answer, int length,
                                          _WLAN_INFO_& out) {
    const unsigned char* after =
        readRecord(answer, length, kSecondAnswerHeader, kSecondHeader, kSecondAnswerMinimum, out);
    if (!after)
        return false;
    out.extended = length - kSecondHeader > kExtendedAfterHeader && out.details[17] != 0;
    if (out.extended)
        std::memcpy(out.extension, after, sizeof out.extension);
    return true;
}

std::string CNetPrinterSearch::HardwareKey(const unsigned char (&address)[6]) {
    char key[19];
    std::snprintf(key, sizeof key, "%02x.%02x.%02x.%02x.%02x.%02x.", address[0], address[1],
                  address[2], address[3], address[4], address[5]);
    return key;
}

std::vector<std::string> CNetPrinterSearch::PrinterAddresses() const {
    std::vector<std::string> addresses;
    std::set<std::string> named;
    auto add = [&](const auto& record) {
        if (named.insert(HardwareKey(record.hardwareAddress)).second)
            addresses.push_back(dotted(record.ipv4));
    };
    for (const _ETHERNET_INFO_& record : ethernet_)
        add(record);
    for (const _WLAN_INFO_& record : wlan_)
        add(record);
    return addresses;
}
