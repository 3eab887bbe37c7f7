// The search for network printers on the computer's own networks: two probes broadcast on
// every interface that can, and the answers of the printers that heard them.
//
// Probe "FIND" from port 48780 to 48781 is answered by "IMIN" and a 24-byte device record;
// probe "__[I_F]__[PRT_REG]" from port 9000 to 3337 by "__[I_F]__[REG_RSP]" and a 28-byte
// one. A record begins with the printer's hardware address (6 bytes) and IPv4 address
// (4 bytes, network order); the rest is the printer's own and kept as it came.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _LOCAL_INTERFACE_INFO_ {
    uint32_t address = 0;    // host byte order
    uint32_t broadcast = 0;  // host byte order
    unsigned flags = 0;
};

// An answer to the first probe.
struct _ETHERNET_INFO_ {
    unsigned char hardwareAddress[6] = {};
    unsigned char ipv4[4] = {};
    unsigned char details[14] = {};
    uint16_t value1 = 0;  // the 16-bit values after the record, in network order
    uint16_t value2 = 0;
    bool hasValue2 = false;
};

// An answer to the second probe.
struct _WLAN_INFO_ {
    unsigned char hardwareAddress[6] = {};
    unsigned char ipv4[4] = {};
    unsigned char details[18] = {};
    bool extended = false;  // the last record byte marks 64 more bytes, and they came
    unsigned char extension[64] = {};
};

class CNetPrinterSearch {
public:
    static constexpr int kFirstProbeLocalPort = 48780;
    static constexpr int kFirstProbeRemotePort = 48781;
    static constexpr int kSecondProbeLocalPort = 9000;
    static constexpr int kSecondProbeRemotePort = 3337;
    static constexpr int kFirstAnswerMinimum = 30;
    static constexpr int kSecondAnswerMinimum = 47;
    static constexpr int kAnswerWindowMs = 1200;
    static constexpr int kLongestWaitMs = 500;
    static constexpr int kLargestAnswer = 1024;

    using EthernetCallback = std::function<void(const _ETHERNET_INFO_&)>;
    using WlanCallback = std::function<void(const _WLAN_INFO_&)>;

    // Called with each new printer as it answers.
    void SetCallbacks(EthernetCallback ethernet, WlanCallback wlan);

    // Broadcasts both probes twice and collects the answers for about 1.2 to 1.7 seconds.
    // False when no interface can broadcast (nothing is searched then).
    bool Search();

    // The printers that answered, each hardware address once, in the order they did.
    const std::vector<_ETHERNET_INFO_>& ethernetPrinters() const { return ethernet_; }
    const std::vector<_WLAN_INFO_>& wlanPrinters() const { return wlan_; }
    // Their IPv4 addresses in dotted decimal: the first probe's, then the second's; a
    // printer that answered both is named once.
    std::vector<std::string> PrinterAddresses() const;

    // An answer's record; false for another header or a short answer.
    static bool ParseFirstAnswer(const unsigned char* answer, int length, _ETHERNET_INFO_& out);
    static bool ParseSecondAnswer(const unsigned char* answer, int length, _WLAN_INFO_& out);
    // The map key of a hardware address: six "%02x." groups.
    static std::string HardwareKey(const unsigned char (&address)[6]);

private:
    void Take(int probe, const unsigned char* answer, int length);

    EthernetCallback onEthernet_;
    WlanCallback onWlan_;
    std::vector<_ETHERNET_INFO_> ethernet_;
    std::vector<_WLAN_INFO_> wlan_;
};
