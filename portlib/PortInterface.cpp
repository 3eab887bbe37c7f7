#include "PortInterface.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "PrinterParser.h"
#include "RelvoParser.h"
#include "SecureZero.h"
#include "TraceLog.h"

namespace {

constexpr int kDetail = 2;
constexpr int kQueueSettleMs = 30;
constexpr int kLongPollMs = 100;
constexpr int kLongTimeoutMs = 1000;
constexpr int kGatewayReplyLength = 6;
constexpr int kGatewayReplyTimeoutMs = 300;
constexpr unsigned char kGatewayProbe[] = {0x1D, 0x49, 0x04};
constexpr unsigned char kGatewayReplyMark = 0x5F;
constexpr unsigned char kGatewayReplyFlag = 0x10;

using SteadyClock = std::chrono::steady_clock;

int elapsedMs(SteadyClock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

// The pause between two polls of a receive queue: a tenth of the time-out, at most 100 ms.
int pollPeriodMs(int timeout) {
    if (timeout > kLongTimeoutMs)
        return kLongPollMs;
    return std::max(timeout / 10, 0);
}

}  // namespace

CPortInterface::CPortInterface(int readThreadIntervalMs)
    : readThreadInterval(readThreadIntervalMs) {}

CPortInterface::~CPortInterface() {
    // Callers close a port before they delete it; this only keeps a forgotten thread from
    // outliving the object it reads from.
    if (readThread_.joinable()) {
        RequestStop();
        // The read thread itself lets go of the port last when a receiver removed it;
        // it touches nothing of the object after that.
        if (readThread_.get_id() == std::this_thread::get_id())
            readThread_.detach();
        else
            readThread_.join();
    }
    ReplaceParser(nullptr);
}

bool CPortInterface::OpenPort() {
    TraceWrite(portId, 1, "CPortInterface::OpenPort", __LINE__, "+");
    std::shared_ptr<CCVNParser> made;
    if (connectMode == kConnectModeGateway)
        made = std::make_shared<CRelvoParser>(queueMutex_);
    else if (connectMode == kConnectModeDetectGateway)
        made = std::make_shared<CPrinterParser>(1, queueMutex_);
    else
        made = std::make_shared<CPrinterParser>(printerDeviceCount, queueMutex_);
    made->SetPortId(portId);
    ReplaceParser(std::move(made));
    return true;
}

void CPortInterface::ClosePort() {
    StopReadThread();
    ReplaceParser(nullptr);
    TraceWrite(portId, 1, "CPortInterface::ClosePort", __LINE__, "-End");
}

bool CPortInterface::CreateDeviceOption(int, const std::string&) {
    return true;
}

int CPortInterface::ReadPort(char*, int) {
    return 0;
}

int CPortInterface::WritePort(const void*, int, int) {
    return 0;
}

int CPortInterface::Write(const void* data, int length, int afterSleep) {
    if (!m_bOpen || data == nullptr || length <= 0) {
        TraceError(portId, "CPortInterface::Write", __LINE__, "-fail to invalid parameters");
        return 0;
    }
    // A size below one would never move the position on.
    int pieceLimit = outputBufferSize;
    if (pieceLimit < 1)
        pieceLimit = kDefaultOutputBufferSize;

    const char* position = static_cast<const char*>(data);
    int written = 0;
    while (written < length) {
        int piece = std::min(length - written, pieceLimit);
        int n = WritePort(position, piece, afterSleep);
        if (n > piece)
            n = piece;
        if (n > 0) {
            written += n;
            position += n;
        }
        if (n != piece) {
            TraceError(portId, "CPortInterface::Write", __LINE__, "Fail(%d/%d)", written, length);
            break;
        }
    }
    return written;
}

int CPortInterface::Read(void* buffer, int length, int timeout, int deviceId) {
    TraceWrite(portId, kDetail, "CPortInterface::Read", __LINE__, "+(dwRead : %d, timeout: %d)",
               length, timeout);
    // A length below one is refused with or without the read thread: it would reach
    // ReadPort as a negative size.
    if (!m_bOpen || buffer == nullptr || length < 1) {
        TraceError(portId, "CPortInterface::Read", __LINE__, "-fail to invalid parameters");
        return 0;
    }
    if (useReadThread)
        return ReadQueue(buffer, length, timeout, deviceId);

    std::shared_ptr<CCVNParser> current = parser();
    if (!current)
        return 0;
    SteadyClock::time_point start = SteadyClock::now();
    if (timeout <= 0)
        return 0;

    char local[kReadBlockSize];
    int n = 0;
    do {
        std::memset(local, 0, sizeof local);
        n = ReadPort(local, std::min(length, kReadBlockSize));
        if (n > 0) {
            Deliver(local, n);
            if (current->Available(deviceId) >= length)
                break;
        } else if (InterruptibleWait(pollPeriodMs(timeout))) {
            break;
        }
    } while (elapsedMs(start) < timeout);
    secureZero(local, sizeof local);

    // Bytes queued by earlier passes stay for the next call when the last one brought none.
    if (n <= 0 || current->Available(deviceId) == 0)
        return 0;
    return ReadQueue(buffer, length, timeout, deviceId);
}

int CPortInterface::ReadQueue(void* buffer, int length, int timeout, int deviceId) {
    std::shared_ptr<CCVNParser> current = parser();
    if (!current || buffer == nullptr || length < 1)
        return 0;
    char* out = static_cast<char*>(buffer);

    if (current->Available(deviceId) < length)
        WaitForData(kQueueSettleMs);
    SteadyClock::time_point start = SteadyClock::now();
    int delivered = 0;
    int remaining = length;
    while (remaining > 0) {
        if (current->Available(deviceId) == 0) {
            WaitForData(pollPeriodMs(timeout));
        } else {
            int taken = current->TakeData(deviceId, out + delivered, remaining);
            delivered += taken;
            remaining -= taken;
        }
        if (elapsedMs(start) >= timeout)
            break;
    }
    if (remaining != 0)
        TraceError(portId, "CPortInterface::ReadQueue", __LINE__, "-fail (%d/%d)", delivered,
                   length);
    return delivered;
}

void CPortInterface::StopReadThread() {
    if (!useReadThread && !readThread_.joinable())
        return;
    const char* kMethod = "CPortInterface::StopReadThread";
    TraceWrite(portId, kDetail, kMethod, __LINE__,
               "stopReadThread : set to m_bTerminateThread flag");
    RequestStop();
    // A close from inside the read thread (a receiver closing its port) cannot wait for
    // itself; the flag ends the loop once the call returns to it.
    if (readThread_.joinable() && readThread_.get_id() == std::this_thread::get_id())
        return;

    if (!threadEnded) {
        for (int attempt = 1; attempt <= kStopWaitCount; ++attempt) {
            TraceWrite(portId, 1, kMethod, __LINE__, "wait Terminate Port ReadThread.");
            if (WaitForThreadEnd(kStopWaitMs))
                break;
            if (attempt == kStopWaitCount)
                TraceWrite(portId, 1, kMethod, __LINE__, "wait Terminate count over.");
        }
    }
    if (!threadEnded && readThread_.joinable()) {
        if (!WaitForThreadEnd(kStopLastWaitMs)) {
            // No thread can be killed here. Every wait inside ReadPort is bounded, so the
            // join below ends; the lines keep the log of a stuck thread the same.
            TraceWrite(portId, 1, kMethod, __LINE__, "TerminateThread Port ReadThread.");
            readThread_.join();
            TraceWrite(portId, 1, kMethod, __LINE__, "complete TerminateThread Port ReadThread.");
            threadEnded = true;
        }
    }
    if (readThread_.joinable())
        readThread_.join();
}

void CPortInterface::SetWrite(bool isWrite) {
    TraceWrite(portId, kDetail, "CPortInterface::SetWrite", __LINE__, "+(bWriting : %d)",
               isWrite ? 1 : 0);
    if (!m_bOpen) {
        TraceError(portId, "CPortInterface::SetWrite", __LINE__, "-m_bOpen is FALSE");
        return;
    }
    writing = isWrite;
}

bool CPortInterface::IsConnected() {
    int status = powerStatus;
    TraceWrite(portId, kDetail, "CPortInterface::IsConnected", __LINE__, " %d", status);
    return status == kPowerOnLine;
}

std::shared_ptr<CCVNParser> CPortInterface::parser() const {
    std::lock_guard<std::mutex> guard(parserMutex_);
    return parser_;
}

bool CPortInterface::InterruptibleWait(int ms) {
    // Whole steps of 10 ms, as the pauses of the device reads are counted.
    int steps = ms / 10;
    std::unique_lock<std::mutex> lock(stopMutex_);
    return stopSignal_.wait_for(lock, std::chrono::milliseconds(steps * 10),
                                [this] { return m_bTerminateThread.load(); });
}

void CPortInterface::StartAfterOpen() {
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        m_bTerminateThread = false;
    }
    if (useReadThread)
        StartReadThread();
    DetectGateway();
}

void CPortInterface::StartReadThread() {
    if (readThread_.joinable()) {
        if (!threadEnded)
            return;
        readThread_.join();
    }
    threadEnded = false;
    // Raising the priority needs privileges a printer host does not have; the thread
    // runs at the normal priority.
    readThread_ = std::thread(&CPortInterface::ReadThread, this);
}

void CPortInterface::DetectGateway() {
    if (connectMode != kConnectModeDetectGateway)
        return;
    std::shared_ptr<CCVNParser> current = parser();
    // The reply is read from device 0, which nothing has marked in use yet.
    if (current)
        current->SetUseDevice(0, true);

    Write(kGatewayProbe, sizeof kGatewayProbe, 0);
    unsigned char reply[kGatewayReplyLength] = {};
    int n = Read(reply, kGatewayReplyLength, kGatewayReplyTimeoutMs, 0);
    bool gateway = n >= 5 && reply[0] == kGatewayReplyMark && (reply[4] & kGatewayReplyFlag) != 0;
    secureZero(reply, sizeof reply);
    if (!gateway)
        return;

    connectMode = kConnectModeGateway;
    auto relvo = std::make_shared<CRelvoParser>(queueMutex_);
    relvo->SetPortId(portId);
    ReplaceParser(std::move(relvo));
}

void CPortInterface::ReplaceParser(std::shared_ptr<CCVNParser> replacement) {
    std::shared_ptr<CCVNParser> old;
    {
        std::lock_guard<std::mutex> guard(parserMutex_);
        old = std::move(parser_);
        parser_ = std::move(replacement);
    }
    // `old` is released here, outside the lock; a caller still holding it keeps it alive.
}

void CPortInterface::Deliver(const char* data, int length) {
    if (length <= 0)
        return;
    std::shared_ptr<CCVNParser> current = parser();
    if (current)
        current->Parse(data, length);
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        ++deliveries_;
    }
    dataSignal_.notify_all();
}

void CPortInterface::FirePowerStatus(bool onLine) {
    std::shared_ptr<CCVNParser> current = parser();
    if (current)
        current->FirePowerStatusReceiver(onLine);
}

void CPortInterface::ReadThread() {
    // Empty for a port that no shared pointer owns (tests build some on the stack).
    std::shared_ptr<CPortInterface> self = weak_from_this().lock();
    const char* kMethod = "CPortInterface::ReadThread";
    TraceWrite(portId, 1, kMethod, __LINE__,
               "***************** Port Read Thread Start ***********");
    char buffer[kReadBlockSize];
    for (;;) {
        if (EndIfStopRequested())
            break;
        std::memset(buffer, 0, sizeof buffer);
        int n = ReadPort(buffer, kReadBlockSize);
        if (n > 0)
            Deliver(buffer, std::min(n, kReadBlockSize));
        if (EndIfStopRequested())
            break;
        InterruptibleWait(readThreadInterval);
    }
    secureZero(buffer, sizeof buffer);
    TraceWrite(portId, 1, kMethod, __LINE__, "***************** Port Read Thread End ***********");
    stopSignal_.notify_all();
    // May delete the port; nothing of it is touched after this.
    self.reset();
}

bool CPortInterface::EndIfStopRequested() {
    // One step with the flag's reset in StartAfterOpen: a reopen either finds this thread
    // ended and starts a new one, or clears the flag before this thread looks at it.
    std::lock_guard<std::mutex> guard(stopMutex_);
    if (m_bTerminateThread)
        threadEnded = true;
    return threadEnded;
}

void CPortInterface::RequestStop() {
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        m_bTerminateThread = true;
    }
    stopSignal_.notify_all();
}

bool CPortInterface::WaitForThreadEnd(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return stopSignal_.wait_for(lock, std::chrono::milliseconds(ms),
                                [this] { return threadEnded.load(); });
}

void CPortInterface::WaitForData(int ms) {
    if (ms <= 0)
        return;
    std::unique_lock<std::mutex> lock(stopMutex_);
    uint64_t seen = deliveries_;
    dataSignal_.wait_for(lock, std::chrono::milliseconds(ms),
                         [this, seen] { return deliveries_ != seen; });
}
