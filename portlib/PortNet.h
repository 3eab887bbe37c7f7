// A printer reached over TCP (port types 1 and 2).
//
// The read thread watches the link (echo before reading, the peer's close, a one-byte
// probe while idle) and closes and reconnects the socket by itself when the printer
// goes away and comes back; the host's thread writes. The socket is shared between
// them and released when the last of the two lets go of it, so a reconnect never
// pulls a descriptor out from under a write in progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "PortInterface.h"

#include "platform/TcpStream.h"

namespace platform {
class IcmpEcho;
}  // namespace platform

// Pauses of the connect and reconnect sequences. Tests shorten them.
struct NetPortTimings {
    static constexpr int kOpenCloseCheckMs = 200;    // after the first connect of an open
    static constexpr int kSecondCallDelayMs = 1000;  // before connecting once more
    static constexpr int kConnectSettleMs = 100;     // between connect and the writable wait
    static constexpr int kReopenCloseWaitMs = 2500;  // after closing a lost connection
    static constexpr int kReconnectRetryMs = 1000;   // after a failed reconnect
    static constexpr int kReopenSettleMs = 300;      // after a reconnect, before the close check
    static constexpr int kProbeFailSleepMs = 50;     // after a failed probe byte
    static constexpr int kSendWaitMs = 2000;         // longest wait of a blocked send
    static constexpr int kSendWaitStepMs = 100;      // one wait for the socket to take more
    static constexpr int kPingIntervalMs = 500;      // least time between two echo checks
    static constexpr int kProbeIntervalMs = 500;     // least time between two probe bytes
    static constexpr int kCloseDrainMs = 2000;       // longest wait for the printer to take all
    static constexpr int kCloseStallMs = 500;        // ... while it takes nothing at all
    // A write waits for the printer to acknowledge its bytes: as long as a blocked send
    // may wait while the printer takes nothing, and no longer than this in all.
    static constexpr int kAcknowledgeStallMs = 2000;
    static constexpr int kAcknowledgeTotalMs = 10000;

    int openCloseCheckMs = kOpenCloseCheckMs;
    int secondCallDelayMs = kSecondCallDelayMs;
    int connectSettleMs = kConnectSettleMs;
    int reopenCloseWaitMs = kReopenCloseWaitMs;
    int reconnectRetryMs = kReconnectRetryMs;
    int reopenSettleMs = kReopenSettleMs;
    int probeFailSleepMs = kProbeFailSleepMs;
    int sendWaitMs = kSendWaitMs;
    int sendWaitStepMs = kSendWaitStepMs;
    int pingIntervalMs = kPingIntervalMs;
    int probeIntervalMs = kProbeIntervalMs;
    int closeDrainMs = kCloseDrainMs;
    int closeStallMs = kCloseStallMs;
    int acknowledgeStallMs = kAcknowledgeStallMs;
    int acknowledgeTotalMs = kAcknowledgeTotalMs;
};

class CPortNet : public CPortInterface {
public:
    static constexpr int kDefaultReadThreadInterval = 100;
    static constexpr int kDefaultTcpPort = 9100;
    static constexpr int kDefaultPingCount = 3;
    static constexpr int kDefaultPingTimeoutMs = 800;
    static constexpr int kDefaultConnectTimeoutMs = 2000;
    static constexpr int kKeepAliveMs = 1000;
    static constexpr int kKeepAliveOffLineMs = 3000;
    static constexpr int kReceiveBlockSize = 1024;

    CPortNet();
    ~CPortNet() override;

    void SetCheckIcmpEcho(bool enabled) override;
    void SetNetworkTimeout(int connectTimeout, int pingTimeout, int pingCount) override;
    bool OpenPort() override;
    void ClosePort() override;
    bool CreateDeviceOption(int portType, const std::string& portName) override;
    int ReadPort(char* buffer, int length) override;
    int WritePort(const void* data, int length, int afterSleep) override;
    // Bytes in the socket's buffer are not yet the printer's: waits (bounded) until the
    // printer has acknowledged them all, so a printer that died a moment ago fails the
    // write. Once a write, not once a piece: a healthy printer costs one round trip.
    bool ConfirmDelivery() override;

protected:
    int ReadPortWithin(char* buffer, int length, int maxWaitMs) override;
    void PauseBetweenReads(int ms) override;
    // A Write goes out on one connection: the one that was the port's when it began. A
    // reconnect under it fails it rather than sending its rest, or confirming it, on
    // another connection the printer never had its beginning on.
    void WriteSpanBegins() override;
    void WriteSpanEnds() override;

public:
    int tcpPort() const { return tcpPort_; }
    uint32_t address() const { return address_; }

    // Both are set while the port is closed.
    void SetTimings(const NetPortTimings& timings) { timings_ = timings; }
    void SetIcmpEcho(std::shared_ptr<platform::IcmpEcho> echo);
    // Asks for a small send buffer on the next connects (0 keeps the system's).
    void SetSendBufferSize(int bytes) { sendBufferSize_ = bytes; }

private:
    bool ConnectSocket(bool interruptible);
    bool SetNonBlockingSocket(platform::TcpStream& socket);
    bool SetSOLinger(platform::TcpStream& socket);
    bool SetKeepAlive(platform::TcpStream& socket, int intervalMs);
    bool AddFDCloseEventSelect(platform::TcpStream& socket);
    bool CheckWriteFD(platform::TcpStream& socket, bool interruptible);
    bool ReceiveFINPacket();
    bool WriteNullByte();
    bool CheckIcmpEcho();
    // The echo check before a read; false when the printer did not answer.
    bool EchoCheck();
    // Waits up to `timeoutMs` for the socket to have data, ending early on a stop.
    platform::WaitResult WaitReadable(platform::TcpStream& socket, int timeoutMs, int sliceMs);
    // Receives what is waiting; a receive error other than "nothing yet" marks off-line.
    int Receive(platform::TcpStream& socket, char* buffer, int length);
    // Closes the lost connection and connects again; true once the port is on-line again.
    bool Reconnect();

    int SendAll(platform::TcpStream& socket, const char* data, int length);
    // The move to off-line: power status 2003 and a reconnect due. The receivers hear
    // of it from the read thread, once per change.
    void MarkOffLine();
    // Waits (bounded) until the printer has all that was sent before the socket closes.
    void DrainBeforeClose(platform::TcpStream& stream);
    // Tells the receivers of a power status they have not heard yet.
    void ReportPowerStatus();
    bool Pause(int ms, bool interruptible);

    std::shared_ptr<platform::TcpStream> socket() const;
    // Makes a new connection the port's. On the read thread it is refused once the port
    // is being closed (false then), so that a close stays final.
    bool setSocket(std::shared_ptr<platform::TcpStream> socket, bool fromReadThread);
    std::shared_ptr<platform::TcpStream> takeSocket();
    // The connection of the Writes under way; the port's own outside a Write.
    std::shared_ptr<platform::TcpStream> writeStream() const;

    // socketMutex_ guards the port's connection and the one the Writes under way hold.
    mutable std::mutex socketMutex_;
    std::shared_ptr<platform::TcpStream> socket_;
    bool writeSpan_ = false;
    std::shared_ptr<platform::TcpStream> writeStream_;
    int tcpPort_ = kDefaultTcpPort;
    uint32_t address_ = 0;
    std::atomic<bool> reachable_{false};
    std::atomic<bool> reconnectPending_{false};
    std::atomic<bool> checkIcmpEcho_{true};
    std::atomic<int> pingCount_{kDefaultPingCount};
    std::atomic<int> pingTimeout_{kDefaultPingTimeoutMs};
    std::atomic<int> connectTimeout_{kDefaultConnectTimeoutMs};
    // The system lets this process send no echo; the link is judged by the connection.
    std::atomic<bool> echoUnavailable_{false};
    // The reader's: the read thread, or the host's threads that Read without one.
    std::atomic<bool> pinged_{false};
    std::atomic<uint32_t> lastPing_{0};
    std::atomic<bool> probed_{false};
    std::atomic<uint32_t> lastProbe_{0};
    // The power status the receivers last heard of.
    std::atomic<int> reportedStatus_{kPowerNeverOpened};

    NetPortTimings timings_;
    std::shared_ptr<platform::IcmpEcho> echo_;
    int sendBufferSize_ = 0;
};
