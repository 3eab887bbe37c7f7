#include "PortNet.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TraceLog.h"
#include "platform/Clock.h"
#include "platform/IcmpEcho.h"
#include "platform/TcpStream.h"

namespace {

constexpr int kDetail = 2;
constexpr int kMaxTcpPort = 65535;
// Slices of the long socket waits on the read thread, so that a stop ends them soon.
constexpr int kStopCheckSliceMs = 50;

using SteadyClock = std::chrono::steady_clock;

int elapsedMs(SteadyClock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

bool allDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Decimal value of an all-digit text, or -1 when it exceeds `limit`.
long boundedValue(const std::string& digits, long limit) {
    long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > limit)
            return -1;
    }
    return value;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

// Dotted decimal with exactly four parts of digits, each at most 255.
bool parseIpv4(const std::string& text, uint32_t& address) {
    std::vector<std::string> parts = split(text, '.');
    if (parts.size() != 4)
        return false;
    uint32_t value = 0;
    for (const std::string& part : parts) {
        if (!allDigits(part))
            return false;
        long octet = boundedValue(part, 255);
        if (octet < 0)
            return false;
        value = value << 8 | static_cast<uint32_t>(octet);
    }
    address = value;
    return true;
}

uint32_t ticks() {
    return platform::clock().tickCount();
}

// Waits until the printer has acknowledged all that was sent on `stream`: no longer than
// `totalMs` in all, nor than `stallMs` while it acknowledges nothing. `between` runs
// between two looks and ends the wait by returning false. Returns what is still
// unacknowledged (0 or less: all of it, or a system that cannot tell).
template <typename Between>
int awaitAcknowledgement(platform::TcpStream& stream, int stallMs, int totalMs, Between between) {
    SteadyClock::time_point start = SteadyClock::now();
    SteadyClock::time_point progress = start;
    int unacknowledged = stream.unacknowledgedBytes();
    while (unacknowledged > 0 && elapsedMs(progress) < stallMs && elapsedMs(start) < totalMs &&
           between()) {
        int now = stream.unacknowledgedBytes();
        if (now < unacknowledged)
            progress = SteadyClock::now();
        unacknowledged = now;
    }
    return unacknowledged;
}

}  // namespace

#define NET_WRITE(method, ...) TraceWrite(portId, 1, "CPortNet::" method, __LINE__, __VA_ARGS__)
#define NET_DETAIL(method, ...) \
    TraceWrite(portId, kDetail, "CPortNet::" method, __LINE__, __VA_ARGS__)
#define NET_ERROR(method, ...) TraceError(portId, "CPortNet::" method, __LINE__, __VA_ARGS__)

CPortNet::CPortNet()
    : CPortInterface(kDefaultReadThreadInterval), echo_(platform::systemIcmpEcho()) {}

CPortNet::~CPortNet() {
    NET_WRITE("~CPortNet", "%s", "");
    // The read thread uses this object's members; it must end before they go.
    if (!threadEnded)
        StopReadThread();
}

void CPortNet::SetCheckIcmpEcho(bool enabled) {
    checkIcmpEcho_ = enabled;
}

void CPortNet::SetNetworkTimeout(int connectTimeout, int pingTimeout, int pingCount) {
    connectTimeout_ = connectTimeout;
    pingTimeout_ = pingTimeout;
    pingCount_ = pingCount;
}

void CPortNet::SetIcmpEcho(std::shared_ptr<platform::IcmpEcho> echo) {
    echo_ = echo ? std::move(echo) : platform::systemIcmpEcho();
}

bool CPortNet::CreateDeviceOption(int, const std::string& name) {
    std::vector<std::string> fields = split(name, ':');
    deviceName = fields[0];
    tcpPort_ = kDefaultTcpPort;
    bool valid = parseIpv4(deviceName, address_);
    if (fields.size() > 1 && allDigits(fields[1])) {
        // A port beyond the TCP range would be cut down to some other port.
        long port = boundedValue(fields[1], kMaxTcpPort);
        tcpPort_ = port < 0 ? 0 : static_cast<int>(port);
    }
    if (valid && tcpPort_ != 0)
        return true;
    NET_ERROR("CreateDeviceOption", "Invalid port name : %s", name.c_str());
    return false;
}

bool CPortNet::OpenPort() {
    if (!CPortInterface::OpenPort())
        return false;
    // Sockets need no start-up call here.
    bool connected = ConnectSocket(false);
    if (connected) {
        Pause(timings_.openCloseCheckMs, false);
        if (ReceiveFINPacket()) {
            // Some printers drop the first connection right after accepting it.
            takeSocket();
            Pause(timings_.secondCallDelayMs, false);
            NET_WRITE("OpenPort", "second call");
            connected = ConnectSocket(false);
        }
    }
    if (!connected) {
        NET_ERROR("OpenPort", "-fail to connected. retry(%d)", 1);
        return false;
    }
    m_bOpen = true;
    reachable_ = true;
    reconnectPending_ = false;
    echoUnavailable_ = false;
    pinged_ = false;
    probed_ = false;
    powerStatus = kPowerOnLine;
    reportedStatus_ = kPowerOnLine;
    NET_WRITE("OpenPort", "-Success");
    StartAfterOpen();
    return true;
}

bool CPortNet::ConnectSocket(bool interruptible) {
    NET_WRITE("ConnectSocket", "%s", "");
    std::shared_ptr<platform::TcpStream> made = platform::TcpStream::create();
    if (!made) {
        NET_ERROR("ConnectSocket", "-SOCKET_ERROR=%d", platform::socketLastError());
        return false;
    }
    SetSOLinger(*made);
    if (!SetNonBlockingSocket(*made) || !SetKeepAlive(*made, kKeepAliveMs))
        return false;
    made->setNoDelay();
    if (sendBufferSize_ > 0)
        made->setSendBufferSize(sendBufferSize_);
    if (!made->connect(address_, tcpPort_)) {
        NET_ERROR("ConnectSocket", "-(blocking mode=%d) : WSAGetLastError=%d", 0,
                  platform::socketLastError());
        return false;
    }
    if (Pause(timings_.connectSettleMs, interruptible))
        return false;
    if (!AddFDCloseEventSelect(*made) || !CheckWriteFD(*made, interruptible))
        return false;
    return setSocket(std::move(made), interruptible);
}

bool CPortNet::SetSOLinger(platform::TcpStream& socket) {
    // A close resets the connection at once instead of lingering over unsent data.
    if (socket.setLinger(true, 0))
        return true;
    NET_WRITE("SetSOLinger", "setsockopt(SO_LINGER) failed with error code %d",
              platform::socketLastError());
    return false;
}

bool CPortNet::SetNonBlockingSocket(platform::TcpStream& socket) {
    if (socket.setNonBlocking())
        return true;
    NET_WRITE("SetNonBlockingSocket", "ioctlsocket FIONBIO mode 1 error=%d",
              platform::socketLastError());
    return false;
}

bool CPortNet::SetKeepAlive(platform::TcpStream& socket, int intervalMs) {
    if (socket.setKeepAlive(intervalMs, intervalMs))
        return true;
    NET_WRITE("SetKeepAlive", "WSAIotcl(SIO_KEEPALIVE_VALS) failed with error code %d",
              platform::socketLastError());
    return false;
}

bool CPortNet::AddFDCloseEventSelect(platform::TcpStream&) {
    // The close check polls the socket itself; there is no event to arm.
    return true;
}

bool CPortNet::CheckWriteFD(platform::TcpStream& socket, bool interruptible) {
    int timeout = connectTimeout_;
    SteadyClock::time_point start = SteadyClock::now();
    platform::WaitResult result = platform::WaitResult::TimedOut;
    for (;;) {
        int left = std::max(0, timeout - elapsedMs(start));
        int slice = interruptible ? std::min(left, kStopCheckSliceMs) : left;
        result = socket.waitWritable(slice);
        if (result != platform::WaitResult::TimedOut || left <= slice ||
            (interruptible && StopRequested()))
            break;
    }
    if (result == platform::WaitResult::Failed) {
        NET_WRITE("CheckWriteFD", "select error:GLE[%d]", platform::socketLastError());
        return false;
    }
    // A refused connect also wakes the writable wait; only a clean one counts.
    if (result != platform::WaitResult::Ready || socket.pendingError() != 0) {
        NET_WRITE("CheckWriteFD", "FD_ISSET return fail");
        return false;
    }
    return true;
}

bool CPortNet::ReceiveFINPacket() {
    std::shared_ptr<platform::TcpStream> current = socket();
    if (!current)
        return true;
    platform::PeerState state = current->peerState();
    if (state == platform::PeerState::Failed) {
        NET_WRITE("ReceiveFINPacket", "WSAEnumNetworkEvents error=%d", platform::socketLastError());
        return true;
    }
    if (state == platform::PeerState::Open)
        return false;
    // The error the connection ended with: 0 for a close, the reset's code otherwise.
    int error = current->pendingError();
    NET_ERROR("ReceiveFINPacket", "Check to receive FIN packet=%d", error);
    return true;
}

bool CPortNet::CheckIcmpEcho() {
    std::shared_ptr<platform::IcmpEcho> echo = echo_;
    int timeout = pingTimeout_;
    platform::EchoReply reply = echo->echo(address_, timeout);
    switch (reply.outcome) {
        case platform::EchoReply::Outcome::NoHandle:
            NET_WRITE("CheckIcmpEcho", "IcmpCreateFile failed with error (%d)", reply.error);
            // No right to send echoes (the common case for a service run as an ordinary
            // user) says nothing of the printer; its connection tells instead.
            if (!echoUnavailable_.exchange(true))
                NET_WRITE("CheckIcmpEcho",
                          "echo check unavailable: the connection alone watches the printer");
            return false;
        case platform::EchoReply::Outcome::NoBuffer:
            NET_WRITE("CheckIcmpEcho", "Unable to allocate memory");
            return false;
        case platform::EchoReply::Outcome::Failed:
            NET_WRITE("CheckIcmpEcho", "failed with error (%d)", reply.error);
            return false;
        case platform::EchoReply::Outcome::Reply:
            break;
    }
    if (reply.roundTripMs > timeout)
        NET_WRITE("CheckIcmpEcho", "Status = %d, RoundTrip = %d", reply.status, reply.roundTripMs);
    return true;
}

bool CPortNet::WriteNullByte() {
    if (!useWriteNullByte)
        return true;
    std::shared_ptr<platform::TcpStream> current = socket();
    static const char kNull = 0;
    // Never between two pieces of a Write: the byte would land inside the host's data,
    // and the write itself tells whether the link holds.
    if (!BeginProbe())
        return true;
    int sent = current ? current->send(&kNull, 1) : -1;
    int error = current ? platform::socketLastError() : platform::kSocketNotSocket;
    EndProbe();
    if (sent < 0 && error != platform::kSocketWouldBlock) {
        NET_ERROR("WriteNullByte", "NULL Write Fail. power status off-line. GLE=%d", error);
        m_bOpen = false;
        Pause(timings_.probeFailSleepMs, false);
        MarkOffLine();
        ReportPowerStatus();
        return false;
    }
    // A full send buffer means a busy printer, not a lost one.
    if (sent != 1) {
        NET_WRITE("WriteNullByte", "NULL byte writing is fail");
        return false;
    }
    return true;
}

int CPortNet::ReadPort(char* buffer, int length) {
    return ReadPortWithin(buffer, length, connectTimeout_);
}

int CPortNet::ReadPortWithin(char* buffer, int length, int maxWaitMs) {
    if (StopRequested())
        return 0;
    // A failed send only marks the state; its receivers hear of it here.
    ReportPowerStatus();
    if (StopRequested())
        return 0;
    if (!EchoCheck()) {
        if (powerStatus == kPowerOnLine) {
            NET_WRITE("ReadPort", "power status off-line");
            if (std::shared_ptr<platform::TcpStream> current = socket())
                SetKeepAlive(*current, kKeepAliveOffLineMs);
        }
        MarkOffLine();
        ReportPowerStatus();
        return 0;
    }
    if (reconnectPending_ && !Reconnect())
        return 0;
    if (ReceiveFINPacket()) {
        MarkOffLine();
        ReportPowerStatus();
        return 0;
    }
    if (!m_bOpen || !reachable_ || StopRequested())
        return 0;

    std::shared_ptr<platform::TcpStream> current = socket();
    if (!current)
        return 0;
    std::this_thread::yield();
    platform::WaitResult result = WaitReadable(
        *current, std::min<int>(connectTimeout_, std::max(0, maxWaitMs)), kStopCheckSliceMs);
    if (result == platform::WaitResult::Failed) {
        // Nothing more can be read from this socket; let the reconnect replace it.
        m_bOpen = false;
        MarkOffLine();
        ReportPowerStatus();
        return 0;
    }
    if (result == platform::WaitResult::Ready)
        return Receive(*current, buffer, length);

    if (StopRequested() || writing)
        return 0;
    uint32_t now = ticks();
    if (!probed_ || now - lastProbe_ >= static_cast<uint32_t>(timings_.probeIntervalMs)) {
        probed_ = true;
        lastProbe_ = now;
        WriteNullByte();
    }
    return 0;
}

bool CPortNet::EchoCheck() {
    int attempts = 0;
    while (checkIcmpEcho_ && !echoUnavailable_ && !StopRequested()) {
        uint32_t now = ticks();
        if (pinged_ && now - lastPing_ < static_cast<uint32_t>(timings_.pingIntervalMs))
            break;
        bool answered = CheckIcmpEcho();
        // An echo that cannot be sent leaves the judgement to the connection.
        if (echoUnavailable_)
            break;
        reachable_ = answered;
        ++attempts;
        // After an answer the next pass would stop at the interval anyway.
        if (answered) {
            pinged_ = true;
            lastPing_ = ticks();
            break;
        }
        if (attempts >= pingCount_)
            break;
    }
    return reachable_;
}

bool CPortNet::Reconnect() {
    if (m_bOpen) {
        m_bOpen = false;
        takeSocket();
        NET_WRITE("ReadPort", "Socket is close and sleep");
        if (Pause(timings_.reopenCloseWaitMs, true))
            return false;
    }
    // Whatever a failed probe left behind goes before the new connection.
    takeSocket();
    if (!ConnectSocket(true)) {
        Pause(timings_.reconnectRetryMs, true);
        return false;
    }
    if (Pause(timings_.reopenSettleMs, true) || ReceiveFINPacket())
        return false;
    powerStatus = kPowerOnLine;
    reconnectPending_ = false;
    if (!checkIcmpEcho_ || echoUnavailable_)
        reachable_ = true;
    NET_WRITE("ReadPort", "Socket reopen success. power status on-line");
    ReportPowerStatus();
    return !StopRequested();
}

platform::WaitResult CPortNet::WaitReadable(platform::TcpStream& socket, int timeoutMs,
                                            int sliceMs) {
    SteadyClock::time_point start = SteadyClock::now();
    for (;;) {
        int left = std::max(0, timeoutMs - elapsedMs(start));
        int slice = std::min(left, sliceMs);
        platform::WaitResult result = socket.waitReadable(slice);
        if (result != platform::WaitResult::TimedOut || left <= slice || StopRequested())
            return result;
    }
}

int CPortNet::Receive(platform::TcpStream& socket, char* buffer, int length) {
    int got = socket.receive(buffer, std::min(length, kReceiveBlockSize));
    // 0: the peer closed; the close check of the next pass takes it from here.
    if (got >= 0)
        return got;
    int error = platform::socketLastError();
    // Another reader on the caller's side took the bytes first: nothing yet, as for a probe.
    if (error == platform::kSocketWouldBlock)
        return 0;
    NET_WRITE("ReadPort", "WSAGLE[%d]", error);
    if (error == platform::kSocketNotSocket) {
        NET_ERROR("ReadPort", "fail");
    } else {
        NET_ERROR("ReadPort", "power status off-line. recv SOCKET_ERROR");
        MarkOffLine();
        ReportPowerStatus();
    }
    return 0;
}

void CPortNet::PauseBetweenReads(int ms) {
    std::shared_ptr<platform::TcpStream> current = socket();
    // Only a connection that is being read ends the pause with its data: one that is
    // off-line or about to be replaced would end it again and again.
    if (!current || !m_bOpen || !reachable_ || reconnectPending_) {
        InterruptibleWait(ms);
        return;
    }
    // One wait, not slices: a close shuts the socket for reading, which ends it at once,
    // and any other stop is seen within one interval, as with the plain pause. An idle port wakes
    // once an interval, no more.
    current->waitReadable(ms);
}

int CPortNet::WritePort(const void* data, int length, int afterSleep) {
    std::shared_ptr<platform::TcpStream> current = writeStream();
    if (!m_bOpen || data == nullptr || length <= 0 || !current) {
        NET_ERROR("WritePort", "-fail to invalid parameters");
        return 0;
    }
    if (current != socket()) {
        NET_ERROR("WritePort", "-fail: the connection was replaced during the write");
        return 0;
    }
    int result = SendAll(*current, static_cast<const char*>(data), length);
    if (result > 0) {
        TraceDump(portId, data, static_cast<size_t>(result));
        if (afterSleep > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(afterSleep));
        else if (afterSleep == 0 && sleepAfterWriting > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepAfterWriting.load()));
    }
    if (result == length)
        NET_DETAIL("WritePort", "-Success write %d bytes", result);
    else
        NET_ERROR("WritePort", "- Fail (%d/%d)", result, length);
    return result;
}

// Sends everything, waiting for room while the socket would block, up to the send wait.
// A socket that takes only part of the data gets the rest on the next passes rather than
// handing a short count back to the caller. The result is what went out.
int CPortNet::SendAll(platform::TcpStream& socket, const char* data, int length) {
    int sent = socket.send(data, length);
    if (sent < 0 && platform::socketLastError() != platform::kSocketWouldBlock) {
        NET_ERROR("WritePort", "-Fail(%d/%d), WSAGLE=%d and connect status off-line", -1, length,
                  platform::socketLastError());
        MarkOffLine();
        return 0;
    }
    int total = sent > 0 ? sent : 0;
    if (total == length)
        return total;

    SteadyClock::time_point start = SteadyClock::now();
    while (elapsedMs(start) < timings_.sendWaitMs) {
        if (!m_bOpen) {
            NET_WRITE("WritePort", "m_bOpen is false");
            return total;
        }
        int step =
            std::min(timings_.sendWaitStepMs, std::max(1, timings_.sendWaitMs - elapsedMs(start)));
        platform::WaitResult wait = socket.waitWritable(step);
        if (wait == platform::WaitResult::TimedOut)
            continue;
        if (wait == platform::WaitResult::Failed) {
            NET_WRITE("WritePort", "raise %d in WaitForSingleObject", platform::socketLastError());
            return total;
        }
        int more = socket.send(data + total, length - total);
        if (more < 0) {
            if (platform::socketLastError() == platform::kSocketWouldBlock)
                continue;
            NET_WRITE("WritePort", "second send error : %d", platform::socketLastError());
            return total;
        }
        total += more;
        if (total == length)
            return total;
    }
    NET_WRITE("WritePort", "waitfor timeout");
    return total;
}

bool CPortNet::ConfirmDelivery() {
    std::shared_ptr<platform::TcpStream> stream = writeStream();
    if (!stream)
        return false;
    // The system tells of no acknowledgement: it is looked for, soon at first (a printer
    // nearby acknowledges within a fraction of a millisecond), then less often.
    constexpr std::chrono::microseconds kFirstLook{20};
    constexpr std::chrono::microseconds kLongestLook{10000};
    std::chrono::microseconds look = kFirstLook;
    SteadyClock::time_point start = SteadyClock::now();
    int unacknowledged = awaitAcknowledgement(
        *stream, timings_.acknowledgeStallMs, timings_.acknowledgeTotalMs, [&] {
            if (!m_bOpen || !stream->isConnected() || socket() != stream)
                return false;
            std::this_thread::sleep_for(look);
            look = std::min(look * 2, kLongestLook);
            return true;
        });
    // The read thread made a new connection: the printer may have lost what this one
    // carried (and the new one is no reason to mark the port off-line).
    if (socket() != stream) {
        NET_ERROR("ConfirmDelivery",
                  "the connection was replaced before the printer acknowledged the write");
        return false;
    }
    if (unacknowledged <= 0)
        return true;  // all acknowledged, or a system that cannot tell
    if (!stream->isConnected()) {
        NET_ERROR("ConfirmDelivery", "the connection ended before the printer took %d bytes",
                  unacknowledged);
        MarkOffLine();
        return false;
    }
    NET_ERROR("ConfirmDelivery", "the printer did not acknowledge %d bytes within %d ms",
              unacknowledged, elapsedMs(start));
    return false;
}

void CPortNet::ClosePort() {
    NET_WRITE("ClosePort", "%s", "");
    // Keeps the read thread from taking the shut socket for a lost printer.
    m_bTerminateThread = true;
    m_bOpen = false;
    reachable_ = false;
    reconnectPending_ = false;
    NET_WRITE("ClosePort", "call shutdown.");
    std::shared_ptr<platform::TcpStream> closing = takeSocket();
    bool shut = closing && closing->shutdownSending();
    int error = closing ? platform::socketLastError() : platform::kSocketNotSocket;
    if (shut) {
        if (powerStatus == kPowerOnLine)
            DrainBeforeClose(*closing);
        // Shut for reading too: a read thread waiting on the socket wakes at once.
        closing->shutdownBoth();
    }
    NET_WRITE("ClosePort", "call closesocket.");
    closing.reset();
    if (!shut)
        NET_ERROR("ClosePort", "error closesocket WSAGetLastError=%d", error);
    NET_WRITE("ClosePort", "-Success");
    CPortInterface::ClosePort();
    // A reconnect under way when the close came refuses its connection (see setSocket);
    // this catches one that got in before the stop flag was up.
    takeSocket();
    m_bOpen = false;
}

void CPortNet::DrainBeforeClose(platform::TcpStream& stream) {
    // Closing over bytes the printer sent that nobody read (a late status answer) makes
    // the system reset the connection, which throws away what the printer has not
    // received yet: the end of the last job. So the close waits until the printer has
    // acknowledged everything or closed its side, reading away what it still sends. A
    // printer that takes nothing for a while (stalled, gone) is not waited for further.
    constexpr int kAcknowledgementLookMs = 10;
    char discard[kReceiveBlockSize];
    bool ended = false;
    int unacknowledged =
        awaitAcknowledgement(stream, timings_.closeStallMs, timings_.closeDrainMs, [&] {
            int got = stream.receive(discard, sizeof discard);
            if (got > 0)
                return true;
            if (got < 0 && platform::socketLastError() == platform::kSocketWouldBlock) {
                stream.waitReadable(kAcknowledgementLookMs);
                return true;
            }
            // The printer closed its side (it has read all it will), or the connection failed.
            ended = true;
            return false;
        });
    if (unacknowledged > 0 && !ended)
        NET_WRITE("ClosePort", "the printer did not take the last %d bytes", unacknowledged);
}

void CPortNet::MarkOffLine() {
    powerStatus = kPowerOffLine;
    reconnectPending_ = true;
}

void CPortNet::ReportPowerStatus() {
    int status = powerStatus;
    if (status != kPowerOnLine && status != kPowerOffLine)
        return;
    if (reportedStatus_.exchange(status) != status)
        FirePowerStatus(status == kPowerOnLine);
}

bool CPortNet::Pause(int ms, bool interruptible) {
    if (ms <= 0)
        return interruptible && StopRequested();
    if (interruptible)
        return InterruptibleWait(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return false;
}

std::shared_ptr<platform::TcpStream> CPortNet::socket() const {
    std::lock_guard<std::mutex> guard(socketMutex_);
    return socket_;
}

bool CPortNet::setSocket(std::shared_ptr<platform::TcpStream> socket, bool fromReadThread) {
    std::shared_ptr<platform::TcpStream> old;
    {
        std::lock_guard<std::mutex> guard(socketMutex_);
        // ClosePort raises the stop flag before it takes the socket under this lock: a
        // reconnect either lands before and is taken, or sees the flag here.
        if (fromReadThread && StopRequested())
            return false;
        old = std::move(socket_);
        socket_ = std::move(socket);
        if (fromReadThread)
            m_bOpen = true;
    }
    return true;
}

std::shared_ptr<platform::TcpStream> CPortNet::takeSocket() {
    std::lock_guard<std::mutex> guard(socketMutex_);
    return std::move(socket_);
}

std::shared_ptr<platform::TcpStream> CPortNet::writeStream() const {
    std::lock_guard<std::mutex> guard(socketMutex_);
    return writeSpan_ ? writeStream_ : socket_;
}

void CPortNet::WriteSpanBegins() {
    std::lock_guard<std::mutex> guard(socketMutex_);
    writeSpan_ = true;
    writeStream_ = socket_;
}

void CPortNet::WriteSpanEnds() {
    std::shared_ptr<platform::TcpStream> released;
    {
        std::lock_guard<std::mutex> guard(socketMutex_);
        writeSpan_ = false;
        released = std::move(writeStream_);
    }
    // A connection replaced under the Writes closes here, outside the lock.
}
