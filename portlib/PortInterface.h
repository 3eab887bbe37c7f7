// Base of the four port classes: identity, options, the open flag and power status,
// the read thread with its orderly stop, the parser and the mutex of its queues.
//
// The derived classes supply the device operations (OpenPort, ClosePort,
// CreateDeviceOption, ReadPort, WritePort).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "CVNParser.h"

namespace platform {
class ThreadModuleHold;
}

inline constexpr int kPowerNeverOpened = 2000;
inline constexpr int kPowerOnLine = 2001;
inline constexpr int kPowerOffLine = 2003;

inline constexpr int kConnectModePrinter = 0;
inline constexpr int kConnectModeGateway = 1;
inline constexpr int kConnectModeDetectGateway = 2;

// Ports live in shared pointers: the read thread holds one while it runs, so that a
// receiver removing its own port does not pull the object out from under the thread.
class CPortInterface : public std::enable_shared_from_this<CPortInterface> {
public:
    static constexpr int kDefaultOutputBufferSize = 4096;
    static constexpr int kReadBlockSize = 1024;
    // The stop sequence: 10 waits of 50 ms for the thread to notice the flag, then one
    // last wait of up to 1000 ms.
    static constexpr int kStopWaitCount = 10;
    static constexpr int kStopWaitMs = 50;
    static constexpr int kStopLastWaitMs = 1000;

    explicit CPortInterface(int readThreadIntervalMs);
    virtual ~CPortInterface();
    CPortInterface(const CPortInterface&) = delete;
    CPortInterface& operator=(const CPortInterface&) = delete;

    // Option slots; the base ignores them.
    virtual void SetCheckIcmpEcho(bool) {}
    virtual void SetNetworkTimeout(int /*connectTimeout*/, int /*pingTimeout*/, int /*pingCount*/) {
    }
    virtual void SetComPortDevCtrl(bool) {}
    virtual void SetCheckModemStatus(bool /*bCheckCTS*/, bool /*bCheckDSR*/) {}

    // Base part: makes the parser for the connect mode. Derived classes call it first.
    virtual bool OpenPort();
    // Base part: StopReadThread, drop the parser, trace "-End". Derived classes call it last.
    virtual void ClosePort();
    virtual bool CreateDeviceOption(int portType, const std::string& portName);
    // CreateDeviceOption, remembering its verdict: a port whose name was refused never opens.
    bool ApplyPortName(int portType, const std::string& portName);
    virtual int ReadPort(char* buffer, int length);
    virtual int WritePort(const void* data, int length, int afterSleep);
    // After the last piece of a write: waits, where the port can tell, until the printer
    // has the bytes; false when they did not reach it. The base cannot tell.
    virtual bool ConfirmDelivery() { return true; }

    int Write(const void* data, int length, int afterSleep);
    int Read(void* buffer, int length, int timeout, int deviceId);
    int ReadQueue(void* buffer, int length, int timeout, int deviceId);
    void StopReadThread();
    void SetWrite(bool isWrite);
    bool IsConnected();

    // The parser of the open port (none while closed). Callers keep the returned
    // reference for the whole operation, so a parser swapped by the gateway detection
    // stays alive until they are done with it.
    std::shared_ptr<CCVNParser> parser() const;

    // Identity and counts, managed by the port list manager.
    int portType = 0;
    int portId = 0;
    int deviceRefCount = 0;
    int openCount = 0;
    std::string deviceName;  // the device part of the port name
    std::string portName;

    // Options.
    std::atomic<int> outputBufferSize{kDefaultOutputBufferSize};
    std::atomic<int> readThreadInterval;
    std::atomic<bool> useReadThread{true};
    std::atomic<bool> useOverlappedIO{true};
    std::atomic<bool> useWriteNullByte{true};
    std::atomic<int> sleepAfterWriting{0};
    std::atomic<int> connectMode{kConnectModePrinter};
    int printerDeviceCount = 1;

    // State shared with the read thread.
    std::atomic<bool> m_bOpen{false};
    std::atomic<int> powerStatus{kPowerNeverOpened};
    std::atomic<bool> writing{false};
    std::atomic<bool> m_bTerminateThread{false};
    std::atomic<bool> threadEnded{true};

protected:
    // Sleeps up to `ms`, waking at once when a stop is requested; true when it was.
    bool InterruptibleWait(int ms);
    // True when the calling thread should leave the device operation it is in: a stop was
    // asked for, or the caller is a read thread the port has let go of (see StopReadThread).
    bool StopRequested() const;
    // ReadPort waiting at most `maxWaitMs` for the device; ports whose reads wait longer
    // than that on their own override it, so that a caller's time-out holds.
    virtual int ReadPortWithin(char* buffer, int length, int maxWaitMs);
    // The read thread's pause between two reads: up to `ms`, ending early on a stop. A port
    // with an event source for its device's data overrides it to end early on data too.
    virtual void PauseBetweenReads(int ms);
    // After a piece written: `afterSleep` when above 0, else the sleep-after-writing time.
    void SleepAfterWrite(int afterSleep) const;
    // The idle link probe of a port may go out only between two Writes: true when it may
    // go now, and then no Write starts until EndProbe.
    bool BeginProbe();
    void EndProbe();
    // The first of the Writes under way begins, and the last ends (under the write gate):
    // a port whose link may be replaced meanwhile keeps the one their pieces go out on.
    virtual void WriteSpanBegins() {}
    virtual void WriteSpanEnds() {}
    // What every derived OpenPort does after its device opened: clear the stop flag,
    // start the read thread when enabled, and run the gateway detection.
    void StartAfterOpen();
    void StartReadThread(uint64_t run);
    bool HasReadThread() const { return readThread_.joinable(); }
    // True when the read thread has ended within `ms`.
    bool WaitForThreadEnd(int ms);
    void DetectGateway();
    void ReplaceParser(std::shared_ptr<CCVNParser> parser);
    // Hands received bytes to the current parser.
    void Deliver(const char* data, int length);
    // Fires the power status receivers of the current parser, if any.
    void FirePowerStatus(bool onLine);

    std::mutex queueMutex_;

private:
    void ReadThread(uint64_t run, std::shared_ptr<CPortInterface> self,
                    std::shared_ptr<platform::ThreadModuleHold> hold);
    // Ends the thread (sets threadEnded) when a stop was asked for; true then. A run the
    // port has let go of ends at once and leaves the flag to the current one.
    bool EndIfStopRequested(uint64_t run);
    void RequestStop();
    // Lets go of a read thread that did not stop in time; it finishes on its own.
    void AbandonReadThread();
    // The two ways a read thread is finished with: joined, or detached to end by itself
    // (joined after all when it was ending already). Each settles its library reference.
    void JoinReadThread();
    void LetGoOfReadThread();
    // The parser the calling thread may hand bytes or events to: none for a read thread
    // the port has let go of.
    std::shared_ptr<CCVNParser> ParserForCaller() const;
    // Waits up to `ms`, ending early when new bytes reach the parser.
    void WaitForData(int ms);
    // Reads on the caller's thread until the device's queue holds `length` bytes or the
    // time-out has passed.
    void FillQueue(const CCVNParser& parser, int length, int timeout, int deviceId);
    int TakeQueued(CCVNParser& parser, void* buffer, int length, int deviceId);
    void BeginWriteSpan();
    void EndWriteSpan();

    bool nameAccepted_ = true;
    mutable std::mutex parserMutex_;
    std::shared_ptr<CCVNParser> parser_;
    std::thread readThread_;
    std::shared_ptr<platform::ThreadModuleHold> threadHold_;
    // stopMutex_ guards the waits on the stop flag, the thread end and new data, and the
    // run number: every open and every thread let go of starts a new run, and a read
    // thread acts on the port only while its run is the current one.
    mutable std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    std::condition_variable dataSignal_;
    uint64_t deliveries_ = 0;
    std::atomic<uint64_t> run_{0};
    // writeGateMutex_ guards the Writes under way and the probe in flight.
    std::mutex writeGateMutex_;
    std::condition_variable probeDone_;
    int writesUnderWay_ = 0;
    bool probeUnderWay_ = false;
};
