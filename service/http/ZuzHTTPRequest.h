// The HTTP side of one connection: reads the request in one pass, decides what its URL
// asks for under "/vembrix" and writes the whole response for the listener to send.
#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "Request.h"

namespace platform {
class ServerSocket;
}
class CDevicesList;
class CZuzDeviceController;

// What requests need beyond their connection; the listener keeps it while it runs.
struct ZuzRequestContext {
    // How long a body may take to arrive: this many waits of this length, each ended
    // early by the next bytes.
    static constexpr int kBodyWaits = 5;
    static constexpr std::chrono::milliseconds kBodyWait{30};
    // How long a GET of a ResponseID waits for the request to finish.
    static constexpr std::chrono::seconds kStatusTimeout{30};

    CZuzDeviceController* controller = nullptr;
    const CDevicesList* devices = nullptr;
    int bodyWaits = kBodyWaits;
    std::chrono::milliseconds bodyWait = kBodyWait;
    std::chrono::milliseconds statusTimeout = kStatusTimeout;
    // Requested when the listener stops: a status poll in progress then gives up.
    std::stop_token stop;
};

class CZuzHTTPRequest {
public:
    static constexpr size_t kReadSize = 1024;
    // A larger declared body is refused unread (400): a job is text, and the one server
    // thread must not spend its time and the service's memory on one client.
    static constexpr int kMaxBodySize = 16 * 1024 * 1024;
    static constexpr const char* kUrlPrefix = "/vembrix";

    CZuzHTTPRequest(platform::ServerSocket& socket, const ZuzRequestContext& context);
    CZuzHTTPRequest(const CZuzHTTPRequest&) = delete;
    CZuzHTTPRequest& operator=(const CZuzHTTPRequest&) = delete;

    // One read pass: -1 when the read failed, otherwise 0 once the request is complete
    // and its response written, or the count of bytes read.
    int ReceiveData();

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

    bool GetLine(size_t readLength, size_t& position);
    void ProcessLine();
    bool GetContentLength();
    void AddToBody(size_t readLength, size_t offset);
    void waitForBody();
    int StartResponse();
    void respondToGet();
    void respondToPost();

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
};
