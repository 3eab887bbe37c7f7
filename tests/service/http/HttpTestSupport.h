// Printer bridges that record what the device controller hands them, a private home
// with printers configured, and a loopback HTTP client.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DevicesList.h"
#include "PrinterBridge.h"
#include "ServiceSettings.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"
#include "ZuzDeviceController.h"
#include "platform/TcpStream.h"

using namespace std::chrono_literals;

// Every job a bridge received: the printer, then the calls (one line each, the texts
// joined by "|") or the raw bytes.
struct BridgeJob {
    std::string printer;
    std::vector<std::string> calls;
    std::optional<std::string> raw;
};

class RecordingBridge : public CPrinterBridge {
public:
    int runJob(const std::string& logicalName, ApiCallList& calls, int, const std::string&,
               std::string& readStatus) override {
        BridgeJob job{logicalName, {}, std::nullopt};
        for (const ApiCall& call : calls) {
            std::string line;
            for (const std::string& text : call)
                line += (line.empty() ? "" : "|") + text;
            job.calls.push_back(line);
        }
        readStatus = statusToRead;
        return record(std::move(job));
    }
    int printRaw(const std::string& logicalName, const std::string& data,
                 const std::string&) override {
        return record(BridgeJob{logicalName, {}, data});
    }

    std::vector<BridgeJob> jobs() {
        std::lock_guard<std::mutex> guard(lock_);
        return jobs_;
    }
    // While held, a job waits inside the bridge until release().
    void hold() {
        std::lock_guard<std::mutex> guard(lock_);
        held_ = true;
    }
    void release() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            held_ = false;
        }
        changed_.notify_all();
    }
    bool waitForJobs(size_t count) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, 20s, [&] { return entered_ >= count; });
    }

    int result = 2;
    std::string statusToRead;
    // The next job fails as a library out of memory would.
    bool throwOnce = false;

private:
    int record(BridgeJob job) {
        if (std::exchange(throwOnce, false))
            throw std::bad_alloc();
        std::unique_lock<std::mutex> lock(lock_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !held_; });
        jobs_.push_back(std::move(job));
        return result;
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<BridgeJob> jobs_;
    size_t entered_ = 0;
    bool held_ = false;
};

// Label printer "Labels", POS printer "Till", a printer of type 0 and one of type 7.
inline constexpr const char* kPrintersIni =
    "[Vembrix]\r\nListenPort=8080\r\n"
    "[Labels]\r\nPrinterType=1\r\nPhysical=LX-400\r\nPortType=2\r\nPortName=127.0.0.1\r\n"
    "[Till]\r\nPrinterType=2\r\nPhysical=TR-80\r\nPortType=32\r\nPortName=COM3\r\n"
    "[Nameless]\r\nPrinterType=0\r\nPortType=16\r\n"
    "[Odd]\r\nPrinterType=7\r\nPortType=16\r\n";

// A private home with the printers above and the trace log open, and a controller over
// recording bridges.
class ControllerFixture : public ::testing::Test {
protected:
    explicit ControllerFixture(const std::string& settings = "") {
        home.writeFile("vembrix.ini", kPrintersIni + settings);
        TraceOpen(kTraceDefaultKey, 1, "vembrix");
        devices.loadDevices();
        settingsRecord.loadSettings();
    }
    ~ControllerFixture() override { TraceClose(kTraceDefaultKey); }

    CZuzDeviceController::Options options() {
        CZuzDeviceController::Options options;
        options.devices = &devices;
        options.checkDupReq = 0;
        return options;
    }
    CZuzDeviceController::Bridges bridges() { return {&label, &pos, nullptr}; }
    bool traced(const std::string& text) const { return tracefiles::contains(home.path(), text); }

    TempHome home;
    CDevicesList devices;
    CServiceSettings settingsRecord;
    RecordingBridge label;
    RecordingBridge pos;
};

// One connection to the listener on 127.0.0.1.
class HttpClient {
public:
    // `from` is the client's own address (host byte order).
    explicit HttpClient(int port, uint32_t from = 0x7F000001, int receiveBuffer = 0) {
        stream_ = platform::TcpStream::create();
        if (stream_ && receiveBuffer > 0)
            stream_->setReceiveBufferSize(receiveBuffer);
        connected_ = stream_ && stream_->bind(from, 0) && stream_->connect(0x7F000001, port);
    }
    bool connected() const { return connected_; }
    bool send(const std::string& bytes) {
        return stream_->send(bytes.data(), static_cast<int>(bytes.size())) ==
               static_cast<int>(bytes.size());
    }
    void closeSending() { stream_->shutdownSending(); }
    // What one read brings, empty at the server's close; none when nothing comes for
    // `idle`.
    std::optional<std::string> readSome(std::chrono::milliseconds idle = 20s) {
        if (stream_->waitReadable(static_cast<int>(idle.count())) != platform::WaitResult::Ready)
            return std::nullopt;
        char buffer[65536];
        const int got = stream_->receive(buffer, sizeof buffer);
        return std::string(buffer, static_cast<size_t>(std::max(got, 0)));
    }
    // Everything up to the server's close; none when nothing comes for `idle`.
    std::optional<std::string> readAll(std::chrono::milliseconds idle = 20s) {
        std::string bytes;
        for (;;) {
            const std::optional<std::string> piece = readSome(idle);
            if (!piece)
                return std::nullopt;
            if (piece->empty())
                return bytes;
            bytes += *piece;
        }
    }

private:
    std::shared_ptr<platform::TcpStream> stream_;
    bool connected_ = false;
};

// One request on a connection of its own; the whole answer, or none.
inline std::optional<std::string> roundTrip(int port, const std::string& request) {
    HttpClient client(port);
    if (!client.connected() || !client.send(request))
        return std::nullopt;
    return client.readAll();
}

inline std::string post(const std::string& path, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}
