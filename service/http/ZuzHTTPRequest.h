// The HTTP side of one connection: gathers the request as its bytes arrive, decides what
// its URL asks for under "/vembrix" and writes the whole response for the listener to
// send. A status poll's response waits, without holding anyone up, for the job's result.
#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Request.h"
#include "ZuzDeviceController.h"

namespace platform {
class ServerSocket;
}
class CDevicesList;

// What requests need beyond their connection; the listener keeps it while it runs.
struct ZuzRequestContext {
    // How long a body may take to arrive: this many waits of this length, counting
    // only the time no bytes came, and a pause that bytes end as one wait at most.
    static constexpr int kBodyWaits = 5;
    static constexpr std::chrono::milliseconds kBodyWait{30};
    // How long the request line and headers may take from the connection's start; a
    // connection that sends nothing is closed after the same time.
    static constexpr std::chrono::seconds kHeadTimeout{10};
    // How long a GET of a ResponseID waits for the request to finish.
    static constexpr std::chrono::seconds kStatusTimeout{30};

    CZuzDeviceController* controller = nullptr;
    const CDevicesList* devices = nullptr;
    int bodyWaits = kBodyWaits;
    std::chrono::milliseconds bodyWait = kBodyWait;
    std::chrono::milliseconds headTimeout = kHeadTimeout;
    std::chrono::milliseconds statusTimeout = kStatusTimeout;
};

class CZuzHTTPRequest {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr size_t kReadSize = 16 * 1024;
    // Reads of one connection in one turn of the listener, so that a large body does not
    // keep the others waiting.
    static constexpr size_t kReadsPerTurn = 16;
    // A longer request line and headers are answered 431: far beyond what browsers send,
    // cookies of every site on 127.0.0.1 included.
    static constexpr size_t kMaxHeadSize = 16 * 1024;
    // A larger declared body is refused unread (400): a job is text, and the service's
    // memory is not for one client.
    static constexpr int kMaxBodySize = 16 * 1024 * 1024;
    static constexpr const char* kUrlPrefix = "/vembrix";

    CZuzHTTPRequest(platform::ServerSocket& socket, const ZuzRequestContext& context);
    CZuzHTTPRequest(const CZuzHTTPRequest&) = delete;
    CZuzHTTPRequest& operator=(const CZuzHTTPRequest&) = delete;

    // Reads what has arrived: -1 when a read failed, otherwise 0 once the request is
    // complete (its response written, or waiting for a result), or the count of bytes
    // read.
    int ReceiveData();

    // Not a byte of the request has come yet.
    bool idle() const { return m_parseState == kRequestLine && m_headSize == 0; }
    // The request has arrived whole (or as much of it as will be taken).
    bool isComplete() const { return m_parseState == kComplete; }
    // The request is complete and its response waits for a job's result.
    bool waitingForResult() const { return m_poll.has_value(); }
    // Asks for the result again; true once the response is written.
    bool resumePoll();
    // Makes a waiting poll answer now, as at its time-out.
    void endPollNow();
    // When the request has to be looked at though no byte arrives: a head or body that
    // stopped coming, or a poll's time-out. None when nothing is due.
    std::optional<Clock::time_point> deadline() const;
    // At or after the deadline: a body is taken as it came, a poll answered; a head that
    // never completed leaves the connection to be closed unanswered.
    void deadlinePassed();
    // The client never completed its request in time.
    bool abandoned() const { return m_abandoned; }
    // The client closed its side, and everything it sent before has been read.
    bool clientClosed() const { return m_clientClosed; }

    // The response bytes that wait to be sent; the listener drops what it has sent.
    const char* pendingData() const { return m_buffer.data() + m_sent; }
    size_t sendCount() const { return m_buffer.size() - m_sent; }
    void dropSent(size_t count) { m_sent += std::min(count, sendCount()); }

    void setClientAddress(const std::string& address) { m_request->clientAddress = address; }
    const CRequest& request() const { return *m_request; }

    // "%41" -> "A", "%%" -> "%"; an escape cut short or not hexadecimal stays as it is.
    static std::string DecodeURL(std::string_view url);

private:
    enum ParseState { kRequestLine = 0, kHeaders = 1, kBody = 2, kComplete = 4 };

    // A read found nothing waiting: a body's pause starts.
    void noteBodyPause();
    void takeBytes(size_t length);
    bool GetLine(size_t readLength, size_t& position);
    void ProcessLine();
    bool GetContentLength();
    void AddToBody(size_t readLength, size_t offset);
    void startBody(size_t readLength, size_t offset);
    // A client that waits to be told before it sends its body (curl does for large ones)
    // is told to go on.
    void continueIfAsked();
    void finishRequest();
    int StartResponse();
    void respondToGet();
    void respondToPost();
    void respondToPreflight();
    void answerPoll(const CZuzDeviceController::StatusPoll& poll);

    void WriteStatusHead(int code);
    void AddHeader(const std::string& name, const std::string& value);
    void ErrorResponse(int code);
    void WriteResponse(std::string_view text);
    void writePage(const std::string& page);
    std::string deviceTable(const std::string* statusFilter) const;

    std::unique_ptr<CRequest> m_request;
    platform::ServerSocket& m_socket;
    const ZuzRequestContext& m_context;
    char m_read[kReadSize];
    std::string m_buffer;  // the response
    size_t m_sent = 0;     // bytes of it the listener has sent
    std::string m_line;
    int m_parseState = kRequestLine;
    size_t m_headSize = 0;
    int m_refusal = 0;  // the error status a request too large for the service gets
    Clock::time_point m_headDeadline;
    // While a body comes: since when a read found nothing, and how long it has waited
    // so far.
    std::optional<Clock::time_point> m_bodyPauseSince;
    Clock::duration m_bodyWaited{0};
    std::optional<CZuzDeviceController::StatusPoll> m_poll;
    bool m_abandoned = false;
    bool m_clientClosed = false;
};
