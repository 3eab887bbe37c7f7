// One accepted web print request, its state codes and the result messages built from it.
#pragma once

#include <json/value.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// How a job gives its content (the job document's "mode").
inline constexpr int WEBDATAMODE_API = 0;        // "functions": numbered function calls
inline constexpr int WEBDATAMODE_STRING = 1;     // "functions"."data": text sent unchanged
inline constexpr int WEBDATAMODE_HEXSTRING = 2;  // "functions"."data": hexadecimal text
inline constexpr int WEBDATAMODE_JSON = 3;       // not supported
// Name of a data mode for log lines; empty for any other value.
const char* dataModeName(int mode);

// State codes of a request; the bridges' entry points return the same numbers.
inline constexpr int kStateReady = 0;
inline constexpr int kStateProgress = 1;
inline constexpr int kStateSuccess = 2;
inline constexpr int kStateError = 3;
inline constexpr int kStateDuplicated = 4;
inline constexpr int kStateNotFound = 5;
inline constexpr int kStateJsonError = 6;
inline constexpr int kStateBadRequest = 7;  // final, but without a result word

// The word a result message carries for a state; empty for codes without one.
const char* resultWord(int code);
// The state's name in log lines; empty for codes without one.
const char* stateLogName(int code);
// A poll that sees a final state hands the request over.
bool isFinalState(int code);

class CZuzData {
public:
    CZuzData() = default;
    virtual ~CZuzData();
    CZuzData(const CZuzData&) = delete;
    CZuzData& operator=(const CZuzData&) = delete;

    std::string logicalName;
    int dataMode = 0;
    int requestId = 0;
    std::string responseId;
    Json::Value functions;
    std::string readStatus;  // status codes the label bridge read, ", "-separated
    uint32_t startTick = 0;

    // The worker writes the state and message while the server thread polls them: a
    // poller that sees a state (acquire) finds the message stored before it (release).
    int state() const { return state_.load(std::memory_order_acquire); }
    void setState(int code) { state_.store(code, std::memory_order_release); }
    std::string result() const;
    void setResult(std::string message);

private:
    std::atomic<int> state_{0};
    mutable std::mutex resultLock_;
    std::string result_;
};

// Sets the request's result message for `code`, then its state, and logs the message.
void createResult(CZuzData& request, int code);
// The answer when no request stands behind it: "not found match device" for code 5,
// the empty word for any other code.
void makeErrorResult(int code, std::string& out);
// Eight letters from A-Z and a-z, drawn from the system's random source: knowing any
// number of earlier ResponseIDs tells nothing of the next one.
void makeResponseID(std::string& out);
// seedResponseIDs(seed) makes the ResponseIDs a sequence that the same seed repeats, for
// tests that need two requests with one ResponseID; seedResponseIDs() goes back to the
// random source. The device controller calls the latter when it is made.
void seedResponseIDs();
void seedResponseIDs(uint32_t seed);
