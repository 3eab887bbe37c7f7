#include "ZuzDeviceController.h"

#include <json/reader.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "DevicesList.h"
#include "ServiceSettings.h"
#include "TraceLog.h"
#include "ZuzData.h"
#include "ZuzDataList.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

constexpr size_t kResultMapBuckets = 512;
// The entry of the finished requests of printers that are not configured.
const std::string kUnknownPrinters;
constexpr int kDefaultQueryTimeoutSeconds = 30;

using Clock = std::chrono::steady_clock;

// Documents are parsed on the listener's thread: one far beyond any job would hold up
// every other client for seconds, and its values take many times its size in memory.
constexpr size_t kMaxDocumentValues = 100000;

// The values of a JSON text, near enough: its commas, brackets and braces outside strings.
size_t valueCount(std::string_view text) {
    size_t count = 1;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == ',' || c == '[' || c == '{') {
            ++count;
        }
    }
    return count;
}

// A member of an object; null for any other value, which has no members.
const Json::Value* memberOf(const Json::Value& value, std::string_view name) {
    return value.isObject() ? value.find(name.data(), name.data() + name.size()) : nullptr;
}

// A number with an integral value in the 32-bit signed range, or `fallback`.
int intMember(const Json::Value& document, std::string_view name, int fallback) {
    const Json::Value* value = memberOf(document, name);
    return value && value->isInt() ? value->asInt() : fallback;
}

std::string parameterText(const Json::Value& value) {
    if (value.isString())
        return value.asString();
    if (value.isBool())
        return value.asBool() ? "1" : "0";
    if (value.isInt())
        return std::to_string(value.asInt());
    if (value.isNumeric()) {
        char text[512];
        std::snprintf(text, sizeof text, "%f", value.asDouble());
        return text;
    }
    return "";  // null, arrays and objects
}

// The call number of a member "func<n>": characters before the first digit are skipped;
// anything after the digits, or a number beyond int, makes it unusable.
std::optional<int> callNumber(std::string_view suffix) {
    size_t i = 0;
    while (i < suffix.size() && !(suffix[i] >= '0' && suffix[i] <= '9'))
        ++i;
    long long number = 0;
    for (; i < suffix.size(); ++i) {
        if (suffix[i] < '0' || suffix[i] > '9')
            return std::nullopt;
        number = number * 10 + (suffix[i] - '0');
        if (number > INT_MAX)
            return std::nullopt;
    }
    return static_cast<int>(number);
}

int hexValue(char c) {
    return (c < 58 ? c - 48 : c - 55) & 0x0F;
}

uint32_t elapsedSince(uint32_t tick) {
    return platform::clock().tickCount() - tick;
}

}  // namespace

// Everything the worker touches, kept alive by the worker itself so that a worker that
// outlives its controller's shutdown finds nothing freed.
struct CZuzDeviceController::Shared {
    // A finished request that waits for its poll.
    struct Finished {
        std::string responseId;
        Clock::time_point at;
    };
    using FinishedList = std::list<Finished>;  // one printer's, oldest first
    struct Filed {
        std::shared_ptr<CZuzData> request;
        // Its place among its printer's finished requests, once the worker is done.
        FinishedList* finishedList = nullptr;
        FinishedList::iterator finished;
    };

    Bridges bridges;
    const CDevicesList* devices;
    int checkDupReq;
    Options options;

    std::mutex lock;
    std::condition_variable queueChanged;  // the worker waits on it
    std::condition_variable stateChanged;  // status polls wait on it
    std::condition_variable workerEnded;
    bool stop = false;
    bool ended = false;
    CZuzDataList queue;
    std::unordered_map<std::string, Filed> results{kResultMapBuckets};
    // By printer; printers that are not configured share the entry kUnknownPrinters.
    std::unordered_map<std::string, FinishedList> uncollected;

    std::mutex listenerLock;
    std::map<int, std::function<void()>> listeners;
    int nextListenerKey = 0;

    // Under `lock`.
    void forget(std::unordered_map<std::string, Filed>::iterator entry) {
        if (entry->second.finishedList)
            entry->second.finishedList->erase(entry->second.finished);
        results.erase(entry);
    }
    void file(std::shared_ptr<CZuzData> request) {
        auto existing = results.find(request->responseId);
        if (existing != results.end())
            forget(existing);
        std::string id = request->responseId;
        Filed filed;
        filed.request = std::move(request);
        results.emplace(std::move(id), std::move(filed));
    }
    void markFinished(const std::string& responseId, const std::string& printer) {
        auto entry = results.find(responseId);
        if (entry == results.end() || entry->second.finishedList)
            return;
        FinishedList& list = uncollected[printer];
        entry->second.finishedList = &list;
        entry->second.finished = list.insert(list.end(), Finished{responseId, Clock::now()});
        while (list.size() > options.maxUncollectedPerPrinter) {
            drop(list.front(), std::to_string(options.maxUncollectedPerPrinter) +
                                   " finished requests of its printer wait uncollected");
        }
    }
    void dropExpired() {
        const Clock::time_point oldest = Clock::now() - options.uncollectedLifetime;
        for (auto& [printer, list] : uncollected) {
            while (!list.empty() && list.front().at <= oldest) {
                drop(list.front(), "uncollected for " +
                                       std::to_string(options.uncollectedLifetime.count()) + " ms");
            }
        }
    }
    void drop(const Finished& finished, const std::string& because) {
        auto entry = results.find(finished.responseId);
        const CZuzData& request = *entry->second.request;
        TraceError("CZuzDeviceController::ReadThread", __LINE__,
                   "RequestID:%d, ResponseID:%s, state=%s dropped: %s", request.requestId,
                   request.responseId.c_str(), stateLogName(request.state()), because.c_str());
        forget(entry);
    }

    // Not under `lock`.
    void notifyResultsChanged() {
        stateChanged.notify_all();
        std::lock_guard<std::mutex> guard(listenerLock);
        for (auto& [key, listener] : listeners)
            listener();
    }
};

CZuzDeviceController::CZuzDeviceController(Bridges bridges)
    : CZuzDeviceController(std::move(bridges), Options{}) {}

CZuzDeviceController::CZuzDeviceController(Bridges bridges, Options options)
    : shared_(std::make_shared<Shared>()) {
    shared_->bridges = std::move(bridges);
    shared_->devices = options.devices ? options.devices : &CDevicesList::instance();
    shared_->checkDupReq =
        options.checkDupReq ? *options.checkDupReq : CServiceSettings::instance().checkDupReq();
    shared_->options = options;
    seedResponseIDs();
    worker_ = std::thread(&CZuzDeviceController::ReadThread, shared_);
}

CZuzDeviceController::~CZuzDeviceController() {
    if (!shutDown_)
        shutdown();
}

namespace {
std::mutex g_instanceLock;
std::unique_ptr<CZuzDeviceController> g_instance;
}  // namespace

CZuzDeviceController& CZuzDeviceController::createInstance(Bridges bridges) {
    return createInstance(std::move(bridges), Options{});
}

CZuzDeviceController& CZuzDeviceController::createInstance(Bridges bridges, Options options) {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    if (!g_instance)
        g_instance = std::make_unique<CZuzDeviceController>(std::move(bridges), options);
    return *g_instance;
}

CZuzDeviceController* CZuzDeviceController::instance() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    return g_instance.get();
}

bool CZuzDeviceController::destroyInstance(size_t* notRun) {
    std::unique_ptr<CZuzDeviceController> controller;
    {
        std::lock_guard<std::mutex> guard(g_instanceLock);
        controller = std::move(g_instance);
    }
    if (notRun)
        *notRun = 0;
    return !controller || controller->shutdown(notRun);
}

int CZuzDeviceController::parseDocument(std::string_view text, Json::Value& document,
                                        std::string& ansi, std::string& result) {
    text = text.substr(0, text.find('\0'));
    if (text.empty())
        return kStateBadRequest;
    if (valueCount(text) > kMaxDocumentValues) {
        TraceError("CZuzDeviceController::AddRequest", __LINE__,
                   "JSON of more than %zu values refused", kMaxDocumentValues);
        makeErrorResult(kStateBadRequest, result);
        return kStateBadRequest;
    }
    ansi = platform::utf8ToAnsi(text);
    bool parsed = false;
    try {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        parsed = reader->parse(ansi.data(), ansi.data() + ansi.size(), &document, nullptr);
    } catch (const Json::Exception&) {
        parsed = false;  // nested beyond the reader's depth limit
    }
    // A document that is no object has none of the members a job or query needs.
    if (!parsed || !document.isObject()) {
        TraceError("CZuzDeviceController::AddRequest", __LINE__, "Invalid JSON Data\n%s",
                   ansi.c_str());
        makeErrorResult(kStateBadRequest, result);
        return kStateBadRequest;
    }
    return kStateReady;
}

int CZuzDeviceController::AddRequest(std::string_view text, const std::string& logicalName,
                                     bool statusQuery, std::string& result) {
    Json::Value document;
    std::string ansi;
    if (parseDocument(text, document, ansi, result) != kStateReady)
        return kStateBadRequest;
    if (statusQuery)
        return CheckZuzStatus(logicalName, document, result);

    auto request = std::make_unique<CZuzData>();
    request->logicalName = logicalName;
    request->dataMode = intMember(document, "mode", WEBDATAMODE_JSON);
    request->requestId = intMember(document, "id", 0);
    request->startTick = platform::clock().tickCount();
    const Json::Value* functions = memberOf(document, "functions");
    if (!functions) {
        TraceError("CZuzDeviceController::AddRequest", __LINE__, "Invalid Functions in JSON\n%s",
                   ansi.c_str());
        makeErrorResult(kStateBadRequest, result);
        return kStateBadRequest;
    }
    request->functions = std::move(document["functions"]);
    makeResponseID(request->responseId);
    return AddZuzData(std::move(request), result);
}

int CZuzDeviceController::AddZuzData(std::unique_ptr<CZuzData> request, std::string& result) {
    Shared& shared = *shared_;
    bool duplicate;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        duplicate = shared.checkDupReq && shared.queue.find([&](const CZuzData& queued) {
            return queued.requestId == request->requestId &&
                   queued.responseId == request->responseId;
        });
        if (!duplicate) {
            createResult(*request, kStateReady);
            result = request->result();
            TraceWrite("CZuzDeviceController::AddZuzData", __LINE__,
                       " RequestID:%d, ResponseID:%s, state:%s", request->requestId,
                       request->responseId.c_str(), result.c_str());
            shared.queue.push(std::move(request));
        }
    }
    if (!duplicate) {
        shared.queueChanged.notify_one();
        return kStateReady;
    }
    createResult(*request, kStateDuplicated);
    result = request->result();
    TraceError("CZuzDeviceController::AddZuzData", __LINE__,
               "RequestID:%d, ResponseID:%s, result:%s", request->requestId,
               request->responseId.c_str(), result.c_str());
    return kStateDuplicated;
}

void CZuzDeviceController::ReadThread(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->lock);
    for (;;) {
        const auto period =
            shared->queue.empty() ? shared->options.idlePeriod : shared->options.busyPeriod;
        shared->queueChanged.wait_for(lock, period,
                                      [&] { return shared->stop || !shared->queue.empty(); });
        if (shared->stop)
            break;
        if (shared->queue.empty()) {
            shared->dropExpired();
            continue;
        }
        std::shared_ptr<CZuzData> request = shared->queue.takeFront();
        shared->file(request);
        request->setState(kStateProgress);  // the message still says "ready"
        lock.unlock();
        shared->notifyResultsChanged();

        int code = kStateError;
        try {
            code = processZuzData(*shared, *request);
        } catch (const std::exception& error) {
            // A job that failed in a way nobody foresaw (no memory left in a printer
            // library) ends as an error of its own; the worker goes on with the next.
            TraceError("CZuzDeviceController::ReadThread", __LINE__,
                       "RequestID:%d, ResponseID:%s, job failed: %s", request->requestId,
                       request->responseId.c_str(), error.what());
        }
        request->functions = Json::Value();  // a finished job keeps only its answer
        createResult(*request, code);
        const std::string& printer = shared->devices->isRegistered(request->logicalName)
                                         ? request->logicalName
                                         : kUnknownPrinters;

        lock.lock();
        shared->markFinished(request->responseId, printer);
        shared->dropExpired();
        lock.unlock();
        shared->notifyResultsChanged();
        lock.lock();
    }
    shared->ended = true;
    lock.unlock();
    TraceWrite("CZuzDeviceController::ReadThread", __LINE__,
               "***************** ReadThread End ***********");
    shared->workerEnded.notify_all();
}

int CZuzDeviceController::processZuzData(Shared& shared, CZuzData& request) {
    const std::string& name = request.logicalName;
    if (!shared.devices->isRegistered(name)) {
        TraceError("CZuzDeviceController::processZuzData", __LINE__,
                   "cannot find %s device in device's list", name.c_str());
        return kStateNotFound;
    }
    const int type = shared.devices->printerTypeOf(name);
    if (type == 0) {
        TraceError("CZuzDeviceController::processZuzData", __LINE__,
                   "Unknown device type in processZuzData");
        return kStateError;
    }
    if (request.dataMode == WEBDATAMODE_JSON) {
        TraceError("CZuzDeviceController::processZuzData", __LINE__,
                   "WEBDATAMODE_JSON is not supported in processZuzData");
        return kStateJsonError;
    }
    if (request.dataMode != WEBDATAMODE_API && request.dataMode != WEBDATAMODE_STRING &&
        request.dataMode != WEBDATAMODE_HEXSTRING) {
        TraceError("CZuzDeviceController::processZuzData", __LINE__,
                   "Invalid datamode(%d) in processZuzData", request.dataMode);
        return kStateError;
    }

    ApiCallList calls;
    std::string data;
    if (request.dataMode == WEBDATAMODE_API) {
        if (getAPIData(request.functions, calls) != kStateSuccess)
            return kStateJsonError;
    } else {
        getStringData(request.functions, data);
        if (request.dataMode == WEBDATAMODE_HEXSTRING)
            data = decodeHexData(data);
    }

    CPrinterBridge* bridge = type == 1                ? shared.bridges.label
                             : type >= 2 && type <= 4 ? shared.bridges.pos
                                                      : nullptr;
    if (!bridge) {
        TraceError("CZuzDeviceController::processZuzData", __LINE__,
                   "Invalid device type(%d) in processZuzData", type);
        return kStateNotFound;
    }
    if (request.dataMode == WEBDATAMODE_API)
        return bridge->runJob(name, calls, request.requestId, request.responseId,
                              request.readStatus);
    return bridge->printRaw(name, data, request.responseId);
}

int CZuzDeviceController::getAPIData(const Json::Value& functions, ApiCallList& calls) {
    if (!functions.isObject()) {
        TraceError("CZuzDeviceController::getAPIData", __LINE__, "JSON Exception in getAPIData");
        return kStateJsonError;
    }
    std::vector<std::string> members = functions.getMemberNames();
    std::sort(members.begin(), members.end());
    std::vector<std::pair<int, ApiCall>> numbered;
    for (const std::string& member : members) {
        if (member.rfind("func", 0) != 0) {
            TraceError("CZuzDeviceController::getAPIData", __LINE__,
                       "Invalid Function name<%s> in getAPIData", member.c_str());
            return kStateJsonError;
        }
        const std::optional<int> number = callNumber(std::string_view(member).substr(4));
        if (!number) {
            TraceError("CZuzDeviceController::getAPIData", __LINE__,
                       "Invalid Function count<%s> in getAPIData", member.c_str());
            return kStateJsonError;
        }
        const Json::Value& call = functions[member];
        if (!call.isObject())
            continue;
        std::vector<std::string> names = call.getMemberNames();
        std::sort(names.begin(), names.end());
        for (const std::string& function : names) {
            ApiCall entry{std::to_string(*number), function};
            const Json::Value& parameters = call[function];
            if (parameters.isArray()) {
                for (const Json::Value& parameter : parameters)
                    entry.push_back(parameterText(parameter));
            }
            numbered.emplace_back(*number, std::move(entry));
        }
    }
    // Calls with the same number keep the order of their names.
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [number, entry] : numbered)
        calls.push_back(std::move(entry));
    return kStateSuccess;
}

bool CZuzDeviceController::getStringData(const Json::Value& functions, std::string& text) {
    if (!functions.isObject() && !functions.isNull()) {
        TraceError("CZuzDeviceController::getStringData", __LINE__,
                   "JSON Exception in getStringData");
        return false;
    }
    const Json::Value* data = memberOf(functions, "data");
    if (!data || !data->isString())
        return false;
    text = data->asString();
    return true;
}

std::string CZuzDeviceController::decodeHexData(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c != ' ')
            digits += c;
    }
    std::string bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes += static_cast<char>(hexValue(digits[i]) << 4 | hexValue(digits[i + 1]));
    return bytes;
}

int CZuzDeviceController::CheckZuzStatus(const std::string& logicalName,
                                         const std::string& responseId, std::string& result,
                                         Milliseconds timeout) {
    return waitForFinalState(startPoll(logicalName, responseId, timeout), result);
}

int CZuzDeviceController::CheckZuzStatus(const std::string& logicalName, const Json::Value& query,
                                         std::string& result) {
    StatusPoll poll;
    if (readStatusQuery(query, logicalName, result, poll) != kStateReady)
        return kStateBadRequest;
    return waitForFinalState(poll, result);
}

CZuzDeviceController::StatusPoll CZuzDeviceController::startPoll(const std::string& logicalName,
                                                                 const std::string& responseId,
                                                                 Milliseconds timeout) {
    return StatusPoll{logicalName, responseId, Clock::now() + std::max(timeout, Milliseconds(0)),
                      false};
}

int CZuzDeviceController::startStatusQuery(std::string_view text, const std::string& logicalName,
                                           std::string& result, StatusPoll& poll) {
    Json::Value document;
    std::string ansi;
    if (parseDocument(text, document, ansi, result) != kStateReady)
        return kStateBadRequest;
    return readStatusQuery(document, logicalName, result, poll);
}

int CZuzDeviceController::readStatusQuery(const Json::Value& query, const std::string& logicalName,
                                          std::string& result, StatusPoll& poll) {
    // A ResponseID that is no string is as good as none.
    const Json::Value* id = memberOf(query, "ResponseID");
    const std::string responseId = id && id->isString() ? id->asString() : "";
    int requestId = intMember(query, "RequestID", 0);
    const Json::Value* idText = memberOf(query, "RequestID");
    if (idText && idText->isString())
        requestId = std::atoi(idText->asCString());
    const int timeoutSeconds =
        std::min(intMember(query, "Timeout", kDefaultQueryTimeoutSeconds), kMaxQueryTimeoutSeconds);

    if (requestId == 0 || responseId.empty()) {
        makeErrorResult(kStateBadRequest, result);
        TraceError("CZuzDeviceController::CheckZuzStatus", __LINE__, "%s", result.c_str());
        return kStateBadRequest;
    }
    poll = startPoll(logicalName, responseId, std::chrono::seconds(timeoutSeconds));
    poll.fromQuery = true;
    return kStateReady;
}

std::optional<int> CZuzDeviceController::continuePoll(const StatusPoll& poll, std::string& result) {
    return answerPoll(poll, Clock::now() >= poll.deadline, result);
}

int CZuzDeviceController::waitForFinalState(const StatusPoll& poll, std::string& result) {
    Shared& shared = *shared_;
    bool expired = false;
    for (;;) {
        if (std::optional<int> state = answerPoll(poll, expired, result))
            return *state;
        std::unique_lock<std::mutex> lock(shared.lock);
        shared.stateChanged.wait_until(
            lock, std::min(poll.deadline, Clock::now() + shared.options.pollPeriod));
        expired = Clock::now() >= poll.deadline || shared.stop;
    }
}

std::optional<int> CZuzDeviceController::answerPoll(const StatusPoll& poll, bool expired,
                                                    std::string& result) {
    Shared& shared = *shared_;
    std::shared_ptr<CZuzData> request;
    int state = 0;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        auto entry = shared.results.find(poll.responseId);
        if (entry != shared.results.end() &&
            entry->second.request->logicalName == poll.logicalName) {
            request = entry->second.request;
            state = request->state();
            if (state != kStateReady && state != kStateProgress) {
                if (isFinalState(state))
                    shared.forget(entry);
            } else if (!expired) {
                return std::nullopt;
            }
        } else if (entry == shared.results.end() && !expired) {
            // Not taken up yet, or never made: it may still come.
            return std::nullopt;
        }
    }

    if (!request) {
        makeErrorResult(kStateNotFound, result);
        if (poll.fromQuery)
            TraceError("CZuzDeviceController::CheckZuzStatus", __LINE__, "%s", result.c_str());
        else
            TraceError("CZuzDeviceController::CheckZuzStatus", __LINE__, "strLogicalName:%s, %s",
                       poll.logicalName.c_str(), result.c_str());
        return kStateNotFound;
    }
    result = request->result();
    if (isFinalState(state)) {
        TraceWrite("CZuzDeviceController::CheckZuzStatus", __LINE__,
                   "RequestID:%d, ResponseID:%s, state=%s, process time=%ums", request->requestId,
                   request->responseId.c_str(), stateLogName(state),
                   elapsedSince(request->startTick));
    } else if (!poll.fromQuery) {
        TraceWrite("CZuzDeviceController::CheckZuzStatus", __LINE__,
                   "RequestID:%d, ResponseID:%s, result:%s", request->requestId,
                   request->responseId.c_str(), stateLogName(state));
    }
    return state;
}

int CZuzDeviceController::addResultListener(std::function<void()> listener) {
    Shared& shared = *shared_;
    std::lock_guard<std::mutex> guard(shared.listenerLock);
    const int key = shared.nextListenerKey++;
    shared.listeners.emplace(key, std::move(listener));
    return key;
}

void CZuzDeviceController::removeResultListener(int key) {
    Shared& shared = *shared_;
    std::lock_guard<std::mutex> guard(shared.listenerLock);
    shared.listeners.erase(key);
}

bool CZuzDeviceController::shutdown(size_t* notRun) {
    Shared& shared = *shared_;
    shutDown_ = true;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(shared.lock);
        shared.stop = true;
        shared.queueChanged.notify_all();
        shared.stateChanged.notify_all();
        ended = shared.workerEnded.wait_for(lock, shared.options.stopLimit,
                                            [&] { return shared.ended; });
    }
    if (worker_.joinable()) {
        if (ended) {
            worker_.join();
        } else {
            TraceError("CZuzDeviceController::shutdown", __LINE__,
                       "ReadThread did not end within %lldms; left to end with the process",
                       static_cast<long long>(shared.options.stopLimit.count()));
            worker_.detach();
        }
    }
    size_t unrun;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        unrun = shared.queue.size();
        shared.queue.clear();
        shared.results.clear();
        shared.uncollected.clear();
    }
    if (unrun > 0)
        TraceError("CZuzDeviceController::shutdown", __LINE__, "%zu queued jobs were not run",
                   unrun);
    if (notRun)
        *notRun = unrun;
    if (ended && shared.bridges.release)
        std::exchange(shared.bridges.release, nullptr)();
    return ended;
}
