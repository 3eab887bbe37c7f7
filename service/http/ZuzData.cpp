#include "ZuzData.h"

#include <optional>
#include <random>
#include <utility>

#include "TraceLog.h"
#include "platform/Random.h"

namespace {

constexpr const char* kResultWords[] = {"ready",          "progress",   "success",
                                        "error",          "duplicated", "not found match device",
                                        "error json data"};
constexpr const char* kStateLogNames[] = {"ready",     "progress",  "success",   "error",
                                          "duplicate", "not exist", "error json"};
constexpr const char* kDataModeNames[] = {"WEBDATAMODE_API", "WEBDATAMODE_STRING",
                                          "WEBDATAMODE_HEXSTRING", "WEBDATAMODE_JSON"};

template <size_t N>
const char* entry(const char* const (&table)[N], int index) {
    if (index < 0 || static_cast<size_t>(index) >= N)
        return "";
    return table[index];
}

std::string resultMessage(int requestId, const std::string& responseId, const char* word,
                          const std::string* readStatus) {
    std::string message = "{\"RequestID\":";
    message += std::to_string(requestId);
    message += ",\"ResponseID\":\"";
    message += responseId;
    message += "\",\"Result\":\"";
    message += word;
    message += '"';
    if (readStatus) {
        message += ",\"ReadStatus\":[";
        message += *readStatus;
        message += ']';
    }
    message += '}';
    return message;
}

constexpr int kResponseIdLength = 8;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr unsigned kLetterCount = sizeof kLetters - 1;

// The system's random source unless a test asked for a sequence it can repeat.
struct ResponseIdGenerator {
    std::mutex lock;
    std::optional<std::minstd_rand> repeatable;
};

ResponseIdGenerator& generator() {
    static ResponseIdGenerator instance;
    return instance;
}

// One letter, every letter equally likely: bytes beyond the last whole round of 52
// letters are drawn again.
char unpredictableLetter() {
    constexpr unsigned kUsable = 256 / kLetterCount * kLetterCount;
    unsigned char byte;
    do {
        platform::randomBytes(&byte, 1);
    } while (byte >= kUsable);
    return kLetters[byte % kLetterCount];
}

}  // namespace

const char* dataModeName(int mode) {
    return entry(kDataModeNames, mode);
}
const char* resultWord(int code) {
    return entry(kResultWords, code);
}
const char* stateLogName(int code) {
    return entry(kStateLogNames, code);
}

bool isFinalState(int code) {
    return code == kStateSuccess || code == kStateError || code == kStateNotFound ||
           code == kStateJsonError || code == kStateBadRequest;
}

CZuzData::~CZuzData() = default;

std::string CZuzData::result() const {
    std::lock_guard<std::mutex> guard(resultLock_);
    return result_;
}

void CZuzData::setResult(std::string message) {
    std::lock_guard<std::mutex> guard(resultLock_);
    result_ = std::move(message);
}

void createResult(CZuzData& request, int code) {
    const char* word = resultWord(code);
    const bool withStatus = !request.readStatus.empty();
    std::string message = resultMessage(request.requestId, request.responseId, word,
                                        withStatus ? &request.readStatus : nullptr);
    request.setResult(message);
    // Only now the state: a poller that sees it must find this message in place.
    request.setState(code);

    const std::string_view w = word;
    if (withStatus || w == "success" || w == "ready" || w == "progress") {
        TraceWrite("CZuzDeviceController::createResult", __LINE__, "%s", message.c_str());
    } else {
        TraceError("CZuzDeviceController::createResult", __LINE__, "%s", message.c_str());
    }
}

void makeErrorResult(int code, std::string& out) {
    out = resultMessage(0, "", code == kStateNotFound ? resultWord(kStateNotFound) : "", nullptr);
}

void seedResponseIDs() {
    ResponseIdGenerator& g = generator();
    std::lock_guard<std::mutex> guard(g.lock);
    g.repeatable.reset();
}

void seedResponseIDs(uint32_t seed) {
    ResponseIdGenerator& g = generator();
    std::lock_guard<std::mutex> guard(g.lock);
    g.repeatable.emplace(seed);
}

void makeResponseID(std::string& out) {
    ResponseIdGenerator& g = generator();
    std::lock_guard<std::mutex> guard(g.lock);
    out.clear();
    while (out.size() < kResponseIdLength) {
        out += g.repeatable ? kLetters[(*g.repeatable)() % kLetterCount] : unpredictableLetter();
    }
}
