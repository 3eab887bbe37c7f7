// The device controller: turns accepted JSON jobs into web requests, queues them, runs
// them one at a time on a worker thread through the printer bridges, and answers the
// status polls that collect their results.
#pragma once

#include <json/value.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "PrinterBridge.h"

class CDevicesList;
class CZuzData;

class CZuzDeviceController {
public:
    using Milliseconds = std::chrono::milliseconds;

    // The bridges jobs run through; their owner keeps them alive until shutdown has
    // released them. `release` runs at the end of shutdown, once the worker has ended:
    // the place to close the bridges' pop-ups and watched printers and free them.
    struct Bridges {
        CPrinterBridge* label = nullptr;  // printer type 1
        CPrinterBridge* pos = nullptr;    // printer types 2, 3 and 4
        std::function<void()> release;
    };

    // Finished requests nobody collects are kept for each printer up to this count and
    // for this long, the oldest dropped first: a page that never polls can neither make
    // the service grow nor push out the results of another printer's pages. Requests
    // for printers that are not configured share one such allowance.
    static constexpr size_t kMaxUncollectedPerPrinter = 16384;
    static constexpr Milliseconds kUncollectedLifetime = std::chrono::hours(1);
    // A status query waits at most this long, whatever "Timeout" it asks for.
    static constexpr int kMaxQueryTimeoutSeconds = 300;

    struct Options {
        // The printers; null for the process-wide list.
        const CDevicesList* devices = nullptr;
        // Duplicate check; unset to copy the CheckDupReq setting at creation.
        std::optional<int> checkDupReq;
        Milliseconds busyPeriod{5};    // worker, while requests wait
        Milliseconds idlePeriod{100};  // worker, with an empty queue
        Milliseconds pollPeriod{5};    // status polls
        Milliseconds stopLimit{3000};  // shutdown's wait for the worker
        size_t maxUncollectedPerPrinter = kMaxUncollectedPerPrinter;
        Milliseconds uncollectedLifetime = kUncollectedLifetime;
    };

    // A status poll that waits without holding up its caller: made by startPoll or
    // startStatusQuery, then asked with continuePoll, at once and again whenever
    // results change (addResultListener), until it has its answer.
    struct StatusPoll {
        std::string logicalName;
        std::string responseId;
        std::chrono::steady_clock::time_point deadline;
        bool fromQuery = false;  // a status query document, which traces less
    };

    // Seeds the ResponseID generator and starts the worker.
    explicit CZuzDeviceController(Bridges bridges);
    CZuzDeviceController(Bridges bridges, Options options);
    // Shuts down if that has not been done.
    virtual ~CZuzDeviceController();
    CZuzDeviceController(const CZuzDeviceController&) = delete;
    CZuzDeviceController& operator=(const CZuzDeviceController&) = delete;

    // The process-wide controller: createInstance makes it on first use (later calls
    // return it as it is), instance() is null before that and after destroyInstance,
    // which shuts it down and frees it.
    static CZuzDeviceController& createInstance(Bridges bridges);
    static CZuzDeviceController& createInstance(Bridges bridges, Options options);
    static CZuzDeviceController* instance();
    static bool destroyInstance(size_t* notRun = nullptr);

    // A job (or, with `statusQuery`, a status query) as UTF-8 JSON text; the text ends
    // at its first zero byte. Returns the state (0 queued, 4 duplicate) or 7 for a
    // refused document; `result` gets the message to answer with. A status query waits
    // here for its answer (startStatusQuery does not), ended early by shutdown.
    int AddRequest(std::string_view text, const std::string& logicalName, bool statusQuery,
                   std::string& result);
    // Waits (blocking) up to `timeout` for the request to reach a final state and hands
    // its message over; a final request is then forgotten. Returns its state, or 5 with
    // "not found match device" when there is no such request for this printer.
    int CheckZuzStatus(const std::string& logicalName, const std::string& responseId,
                       std::string& result, Milliseconds timeout);
    // The same for a status query document ("ResponseID", "RequestID", "Timeout");
    // 7 when it lacks a RequestID or ResponseID.
    int CheckZuzStatus(const std::string& logicalName, const Json::Value& query,
                       std::string& result);

    // The poll of a GET of a ResponseID, to be answered within `timeout`.
    static StatusPoll startPoll(const std::string& logicalName, const std::string& responseId,
                                Milliseconds timeout);
    // The poll of a status query document (UTF-8 JSON text); 7 with the message in
    // `result` for a document that is no valid status query, else 0.
    int startStatusQuery(std::string_view text, const std::string& logicalName, std::string& result,
                         StatusPoll& poll);
    // The poll's state once it has its answer (the request is final or belongs to
    // another printer, or the deadline has passed), with the message in `result`; none
    // while it has to wait on. A final request is handed over once.
    std::optional<int> continuePoll(const StatusPoll& poll, std::string& result);

    // `listener` runs, on the worker's thread, whenever a request is taken up or
    // finished; it must only wake whoever waits. Returns the key that removes it.
    int addResultListener(std::function<void()> listener);
    // Once this returns, the listener runs no more.
    void removeResultListener(int key);

    // Stops the worker (waiting up to the stop limit), deletes queued and finished
    // requests and releases the bridges. False when the worker did not end in time: it
    // is then left to end on its own (it touches nothing shutdown frees) and the
    // bridges are not released, since it may still be inside one. `notRun` gets the
    // count of queued jobs that were deleted unrun.
    bool shutdown(size_t* notRun = nullptr);

    // The calls of a mode-0 job in execution order: 2, or 6 when they cannot be built.
    static int getAPIData(const Json::Value& functions, ApiCallList& calls);
    // The "data" text of a mode-1 or mode-2 job; false when there is none.
    static bool getStringData(const Json::Value& functions, std::string& text);
    // Hexadecimal text to its bytes, two characters a byte; blanks are dropped first
    // and an unpaired last character is ignored.
    static std::string decodeHexData(std::string_view text);

private:
    struct Shared;

    static void ReadThread(std::shared_ptr<Shared> shared);
    static int processZuzData(Shared& shared, CZuzData& request);
    int AddZuzData(std::unique_ptr<CZuzData> request, std::string& result);
    int waitForFinalState(const StatusPoll& poll, std::string& result);
    std::optional<int> answerPoll(const StatusPoll& poll, bool expired, std::string& result);
    // 0 with the document and its text in the ANSI code page, or 7 for text that is no
    // JSON object.
    static int parseDocument(std::string_view text, Json::Value& document, std::string& ansi,
                             std::string& result);
    static int readStatusQuery(const Json::Value& query, const std::string& logicalName,
                               std::string& result, StatusPoll& poll);

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    bool shutDown_ = false;
};
