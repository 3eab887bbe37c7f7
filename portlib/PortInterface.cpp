#include "PortInterface.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "PrinterParser.h"
#include "RelvoParser.h"
#include "SecureZero.h"
#include "TraceLog.h"
#include "platform/ModuleHold.h"

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

// Which port and which of its runs the calling thread reads for (none on a host's thread).
thread_local const CPortInterface* tlsReadPort = nullptr;
thread_local uint64_t tlsReadRun = 0;

// An address inside this library, to find the library a read thread must keep loaded.
void moduleAnchor() {}

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
            LetGoOfReadThread();
        else
            JoinReadThread();
    }
    ReplaceParser(nullptr);
}

bool CPortInterface::OpenPort() {
    TraceWrite(portId, 1, "CPortInterface::OpenPort", __LINE__, "+");
    if (!nameAccepted_) {
        // An unparsed name has no device behind it; a network port would reach this computer.
        TraceError(portId, "CPortInterface::OpenPort", __LINE__, "Invalid port name : %s",
                   portName.c_str());
        return false;
    }
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

bool CPortInterface::ApplyPortName(int type, const std::string& name) {
    nameAccepted_ = CreateDeviceOption(type, name);
    return nameAccepted_;
}

int CPortInterface::ReadPort(char*, int) {
    return 0;
}

int CPortInterface::ReadPortWithin(char* buffer, int length, int) {
    return ReadPort(buffer, length);
}

void CPortInterface::PauseBetweenReads(int ms) {
    InterruptibleWait(ms);
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
    BeginWriteSpan();
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
    // Done is when the printer has the bytes, not when a buffer on the way took them.
    if (written == length && !ConfirmDelivery()) {
        TraceError(portId, "CPortInterface::Write", __LINE__, "Fail(%d/%d): not delivered", written,
                   length);
        written = 0;
    }
    EndWriteSpan();
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
    if (!current || timeout <= 0)
        return 0;
    FillQueue(*current, length, timeout, deviceId);
    return TakeQueued(*current, buffer, length, deviceId);
}

void CPortInterface::FillQueue(const CCVNParser& current, int length, int timeout, int deviceId) {
    SteadyClock::time_point start = SteadyClock::now();
    char local[kReadBlockSize];
    // Bytes queued by earlier calls count: a caller asking for bytes that are there has them.
    while (current.Available(deviceId) < length) {
        int left = timeout - elapsedMs(start);
        if (left <= 0)
            break;
        std::memset(local, 0, sizeof local);
        int n = ReadPortWithin(local, std::min(length, kReadBlockSize), left);
        if (n > 0) {
            Deliver(local, n);
            continue;
        }
        left = timeout - elapsedMs(start);
        if (left <= 0 || InterruptibleWait(std::min(pollPeriodMs(timeout), left)))
            break;
    }
    secureZero(local, sizeof local);
}

int CPortInterface::TakeQueued(CCVNParser& current, void* buffer, int length, int deviceId) {
    int taken = current.TakeData(deviceId, buffer, length);
    if (taken > 0 && taken < length)
        TraceError(portId, "CPortInterface::ReadQueue", __LINE__, "-fail (%d/%d)", taken, length);
    return taken;
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
            TraceWrite(portId, 1, kMethod, __LINE__, "TerminateThread Port ReadThread.");
            AbandonReadThread();
            TraceWrite(portId, 1, kMethod, __LINE__, "complete TerminateThread Port ReadThread.");
        }
    }
    if (readThread_.joinable())
        JoinReadThread();
}

void CPortInterface::JoinReadThread() {
    readThread_.join();
    threadHold_->releaseAfterJoin();
    threadHold_.reset();
}

void CPortInterface::LetGoOfReadThread() {
    if (!threadHold_->letGo()) {
        JoinReadThread();  // it was ending already
        return;
    }
    threadHold_.reset();
    readThread_.detach();
}

void CPortInterface::AbandonReadThread() {
    // Nothing can end a thread from outside (a receiver may wait on a lock its host holds
    // while it closes the port). The thread is let go of: its run ends here, so it hands
    // nothing more to the parser nor to a later open of the port, and it keeps the port
    // object and this library until it returns. A port nobody shares cannot be kept.
    if (weak_from_this().expired()) {
        JoinReadThread();
        threadEnded = true;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        ++run_;
        threadEnded = true;
    }
    LetGoOfReadThread();
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
                                [this] { return StopRequested(); });
}

bool CPortInterface::StopRequested() const {
    if (m_bTerminateThread)
        return true;
    return tlsReadPort == this && tlsReadRun != run_;
}

void CPortInterface::StartAfterOpen() {
    bool keepThread = false;
    uint64_t run = 0;
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        m_bTerminateThread = false;
        // A thread that has not seen the last stop yet (a receiver closed its port and the
        // host opened it again at once) reads on for this open.
        keepThread = useReadThread && readThread_.joinable() && !threadEnded;
        if (!keepThread)
            ++run_;
        run = run_;
    }
    if (!keepThread && readThread_.joinable()) {
        if (threadEnded)
            JoinReadThread();
        else
            LetGoOfReadThread();  // it has seen its run end and leaves by itself
    }
    if (useReadThread && !keepThread)
        StartReadThread(run);
    DetectGateway();
}

void CPortInterface::StartReadThread(uint64_t run) {
    threadEnded = false;
    // The library stays loaded while the thread runs, also when its host unloads it with
    // the port still open. The reference is taken here, before the host's call returns.
    threadHold_ = std::make_shared<platform::ThreadModuleHold>(
        platform::ModuleHold::of(reinterpret_cast<const void*>(&moduleAnchor)));
    // The thread owns its port from the start: one let go of before it was first
    // scheduled must still find the object. Empty for a port no shared pointer owns
    // (tests build some on the stack).
    // Raising the priority needs privileges a printer host does not have; the thread
    // runs at the normal priority.
    readThread_ =
        std::thread([this, run, self = weak_from_this().lock(), hold = threadHold_]() mutable {
            ReadThread(run, std::move(self), std::move(hold));
        });
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

std::shared_ptr<CCVNParser> CPortInterface::ParserForCaller() const {
    if (tlsReadPort != this)
        return parser();
    // One step with the end of the run, so a let-go thread never reaches a later parser.
    std::lock_guard<std::mutex> guard(stopMutex_);
    return tlsReadRun == run_ ? parser() : nullptr;
}

void CPortInterface::Deliver(const char* data, int length) {
    if (length <= 0)
        return;
    std::shared_ptr<CCVNParser> current = ParserForCaller();
    if (current)
        current->Parse(data, length);
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        ++deliveries_;
    }
    dataSignal_.notify_all();
}

void CPortInterface::FirePowerStatus(bool onLine) {
    std::shared_ptr<CCVNParser> current = ParserForCaller();
    if (current)
        current->FirePowerStatusReceiver(onLine);
}

void CPortInterface::ReadThread(uint64_t run, std::shared_ptr<CPortInterface> self,
                                std::shared_ptr<platform::ThreadModuleHold> hold) {
    tlsReadPort = this;
    tlsReadRun = run;
    const char* kMethod = "CPortInterface::ReadThread";
    TraceWrite(portId, 1, kMethod, __LINE__,
               "***************** Port Read Thread Start ***********");
    char buffer[kReadBlockSize];
    for (;;) {
        if (EndIfStopRequested(run))
            break;
        std::memset(buffer, 0, sizeof buffer);
        int n = ReadPort(buffer, kReadBlockSize);
        if (n > 0)
            Deliver(buffer, std::min(n, kReadBlockSize));
        if (EndIfStopRequested(run))
            break;
        PauseBetweenReads(readThreadInterval);
    }
    secureZero(buffer, sizeof buffer);
    TraceWrite(portId, 1, kMethod, __LINE__, "***************** Port Read Thread End ***********");
    stopSignal_.notify_all();
    tlsReadPort = nullptr;
    // May delete the port; nothing of it is touched after this.
    self.reset();
    hold->atThreadEnd();
}

bool CPortInterface::EndIfStopRequested(uint64_t run) {
    // One step with the flag's reset in StartAfterOpen: a reopen either finds this thread
    // ended and starts a new one, or clears the flag before this thread looks at it.
    std::lock_guard<std::mutex> guard(stopMutex_);
    if (run != run_)
        return true;
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

void CPortInterface::SleepAfterWrite(int afterSleep) const {
    int pause = afterSleep > 0 ? afterSleep : afterSleep == 0 ? sleepAfterWriting.load() : 0;
    if (pause > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
}

bool CPortInterface::BeginProbe() {
    std::lock_guard<std::mutex> guard(writeGateMutex_);
    if (writesUnderWay_ > 0)
        return false;
    probeUnderWay_ = true;
    return true;
}

void CPortInterface::EndProbe() {
    {
        std::lock_guard<std::mutex> guard(writeGateMutex_);
        probeUnderWay_ = false;
    }
    probeDone_.notify_all();
}

void CPortInterface::BeginWriteSpan() {
    // A probe in flight is one non-blocking send of a byte; the write starts behind it.
    std::unique_lock<std::mutex> lock(writeGateMutex_);
    probeDone_.wait(lock, [this] { return !probeUnderWay_; });
    if (++writesUnderWay_ == 1)
        WriteSpanBegins();
}

void CPortInterface::EndWriteSpan() {
    std::lock_guard<std::mutex> guard(writeGateMutex_);
    if (--writesUnderWay_ == 0)
        WriteSpanEnds();
}
