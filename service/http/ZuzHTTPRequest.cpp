#include "ZuzHTTPRequest.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <vector>

#include "DevicesList.h"
#include "TraceLog.h"
#include "ZuzData.h"
#include "ZuzDeviceController.h"
#include "platform/Clock.h"
#include "platform/ServerSocket.h"
#include "platform/Text.h"

namespace {

constexpr const char* kMaker = "CORVANE";
constexpr const char* kProduct = "Vembrix";
constexpr const char* kMakerHomePage = "http://www.corvane.example/";
constexpr const char* kServerName = "Vembrix-HttpSvr/1.0";

struct StatusText {
    int code;
    const char* text;
};
constexpr StatusText kStatusTexts[] = {{200, "200 OK"},
                                       {204, "204 No Content"},
                                       {400, "400 Bad Request"},
                                       {404, "404 Not Found"},
                                       {431, "431 Request Header Fields Too Large"},
                                       {501, "501 Not Implemented"}};

const char* statusText(int code) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return "";
}

// "Mon, 07 Dec 2026 01:10:00 GMT", always in English.
std::string httpDate() {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    using namespace std::chrono;
    const sys_time<milliseconds> now{milliseconds(platform::clock().epochMillis())};
    const sys_days day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{floor<seconds>(now - day)};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d %02ld:%02ld:%02ld GMT",
                  kDays[weekday(day).c_encoding()], static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                  static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Leading blanks, a sign and the digits that follow, like atoi; beyond int it stops at
// the nearest limit.
int decimalValue(const std::string& text) {
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL + INT_MAX);
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string trimLeft(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

std::string trimRight(const std::string& text) {
    size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? "" : text.substr(0, last + 1);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// A browser's question whether a page may send a request: it names the page's origin
// and the method it would use.
bool isPreflight(const CRequest& request) {
    return request.headers.count("origin") &&
           request.headers.count("access-control-request-method");
}

// The URL after its prefix: "/vembrix/Printer1/AbCdEfGh" names Printer1 with the rest
// AbCdEfGh; "/vembrix/" names nothing; "/vembrix" names "vembrix".
struct PathParts {
    std::string name;
    std::string rest;
};
PathParts splitPath(const std::string& url) {
    const size_t second = url.find('/', 1);
    const std::string path = second == std::string::npos ? url : url.substr(second);
    const size_t slash = path.find('/', 1);
    if (slash != std::string::npos)
        return {path.substr(1, slash - 1), path.substr(slash + 1)};
    return {path.size() > 1 ? path.substr(1) : "", ""};
}

// Names as text on a page: a printer name is the user's, never markup of the page.
std::string htmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string pageOf(const std::string& content) {
    return std::string("<html><h1>") + kMaker + " " + kProduct + "</h1>\n<p>\n" + content +
           "\n</html>\n";
}

}  // namespace

CZuzHTTPRequest::CZuzHTTPRequest(platform::ServerSocket& socket, const ZuzRequestContext& context)
    : m_request(std::make_unique<CRequest>()),
      m_socket(socket),
      m_context(context),
      m_headDeadline(Clock::now() + context.headTimeout) {}

int CZuzHTTPRequest::ReceiveData() {
    int total = 0;
    for (size_t reads = 0; reads < kReadsPerTurn; ++reads) {
        const int got = m_socket.receive(m_read, kReadSize);
        if (got < 0) {
            if (platform::socketLastError() == platform::kSocketWouldBlock)
                noteBodyPause();
            return total > 0 ? total : -1;
        }
        if (got == 0) {
            m_clientClosed = true;
            // A body is taken as it came (a head that never completes leaves the
            // connection to be closed as the client's).
            if (m_parseState == kBody)
                finishRequest();
            return 0;
        }
        total += got;
        takeBytes(static_cast<size_t>(got));
        if (m_parseState == kComplete)
            return 0;
    }
    return total;
}

void CZuzHTTPRequest::noteBodyPause() {
    if (m_parseState == kBody && !m_bodyPauseSince)
        m_bodyPauseSince = Clock::now();
}

void CZuzHTTPRequest::takeBytes(size_t length) {
    if (m_bodyPauseSince) {
        // The bytes may have waited while the listener served others: a pause costs the
        // client one wait at most.
        m_bodyWaited +=
            std::min<Clock::duration>(Clock::now() - *m_bodyPauseSince, m_context.bodyWait);
        m_bodyPauseSince.reset();
    }
    size_t position = 0;
    if (m_parseState == kRequestLine || m_parseState == kHeaders) {
        bool headDone = false;
        while (!headDone && GetLine(length, position)) {
            if (m_line.empty())
                headDone = true;
            else
                ProcessLine();
        }
        m_headSize += position;
        if (m_headSize > kMaxHeadSize) {
            TraceError("CZuzHTTPRequest::ReceiveData", __LINE__,
                       "request head over %zu bytes refused", kMaxHeadSize);
            m_refusal = 431;
            finishRequest();
            return;
        }
        if (!headDone)
            return;
        m_parseState = kBody;
        startBody(length, position);
    } else {
        AddToBody(length, 0);
    }
    if (m_parseState == kComplete)
        finishRequest();
}

void CZuzHTTPRequest::startBody(size_t readLength, size_t offset) {
    if (!GetContentLength() || m_request->contentLength < 0) {
        m_parseState = kComplete;  // a negative length declares no body either
    } else if (m_request->contentLength > kMaxBodySize) {
        TraceError("CZuzHTTPRequest::ReceiveData", __LINE__,
                   "body of %d bytes refused (at most %d)", m_request->contentLength, kMaxBodySize);
        m_refusal = 400;
        m_parseState = kComplete;
    } else {
        AddToBody(readLength, offset);
        if (m_parseState == kBody)
            continueIfAsked();
    }
}

void CZuzHTTPRequest::continueIfAsked() {
    const auto expect = m_request->headers.find("expect");
    if (expect == m_request->headers.end() ||
        !platform::equalsIgnoringAsciiCase(trimRight(expect->second), "100-continue") ||
        m_request->version == "HTTP/1.0")  // such a client sends its body unasked
        return;
    // Sent at once rather than through the response buffer: nothing went out on this
    // connection before, so its empty send buffer takes the line whole. Should it not,
    // the client sends its body after a pause of its own.
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    m_socket.send(kContinue.data(), static_cast<int>(kContinue.size()));
}

std::optional<CZuzHTTPRequest::Clock::time_point> CZuzHTTPRequest::deadline() const {
    if (m_poll)
        return m_poll->deadline;
    if (m_parseState == kRequestLine || m_parseState == kHeaders)
        return m_headDeadline;
    if (m_parseState == kBody && m_bodyPauseSince) {
        const Clock::duration budget = m_context.bodyWaits * m_context.bodyWait;
        return *m_bodyPauseSince + (budget - m_bodyWaited);
    }
    return std::nullopt;
}

void CZuzHTTPRequest::deadlinePassed() {
    if (m_poll) {
        resumePoll();
    } else if (m_parseState == kBody) {
        // What came while the listener served others is taken before the body is cut.
        if (ReceiveData() <= 0 && m_parseState == kBody)
            finishRequest();  // waits used up: the body as it came
    } else if (m_parseState != kComplete) {
        m_abandoned = true;
    }
}

void CZuzHTTPRequest::finishRequest() {
    m_parseState = kComplete;
    auto header = m_request->headers.find("content-length");
    TraceWrite("CZuzHTTPRequest::ReceiveData", __LINE__,
               "ReceiveData completed : Content-Length:(%d/%s)",
               static_cast<int>(m_request->body.size()),
               header == m_request->headers.end() ? "" : header->second.c_str());
    m_buffer.clear();
    m_sent = 0;
    StartResponse();
}

bool CZuzHTTPRequest::resumePoll() {
    std::string result;
    const std::optional<int> state = m_context.controller->continuePoll(*m_poll, result);
    if (!state)
        return false;
    m_poll.reset();
    writePage(result);
    return true;
}

void CZuzHTTPRequest::endPollNow() {
    if (m_poll)
        m_poll->deadline = Clock::now();
}

bool CZuzHTTPRequest::GetLine(size_t readLength, size_t& position) {
    while (position < readLength) {
        const char c = m_read[position++];
        if (c == '\n')
            return true;
        if (c != '\r')
            m_line += c;
    }
    return false;
}

void CZuzHTTPRequest::ProcessLine() {
    CRequest& request = *m_request;
    if (m_parseState == kRequestLine) {
        const size_t blank = m_line.find(' ');
        if (blank != std::string::npos) {
            request.method = m_line.substr(0, blank);
            const std::string rest = trimLeft(m_line.substr(blank + 1));
            const size_t second = rest.find(' ');
            if (second != std::string::npos) {
                request.url = rest.substr(0, second);
                request.version = trimLeft(rest.substr(second + 1));
            } else {
                request.url = trimRight(rest);
            }
            const size_t question = request.url.find('?');
            if (question != std::string::npos) {
                request.query = request.url.substr(question + 1);
                request.url.resize(question);
            }
            request.url = DecodeURL(request.url);
            TraceWrite("CZuzHTTPRequest::ProcessLine", __LINE__, "%s", request.url.c_str());
        }
        m_parseState = kHeaders;
    } else {
        const size_t colon = m_line.find(':');
        if (colon != std::string::npos)
            request.headers[platform::asciiLower(m_line.substr(0, colon))] =
                trimLeft(m_line.substr(colon + 1));
    }
    m_line.clear();
}

bool CZuzHTTPRequest::GetContentLength() {
    auto header = m_request->headers.find("content-length");
    if (header == m_request->headers.end() || header->second.empty())
        return false;
    m_request->contentLength = decimalValue(header->second);
    return true;
}

void CZuzHTTPRequest::AddToBody(size_t readLength, size_t offset) {
    std::string& body = m_request->body;
    body.append(m_read + offset, readLength - offset);
    if (body.size() >= static_cast<size_t>(m_request->contentLength)) {
        body.resize(static_cast<size_t>(m_request->contentLength));
        m_parseState = kComplete;
    }
}

int CZuzHTTPRequest::StartResponse() {
    const CRequest& request = *m_request;
    if (m_refusal != 0)
        ErrorResponse(m_refusal);
    else if (platform::equalsIgnoringAsciiCase(request.method, "GET") && request.contentLength == 0)
        respondToGet();
    else if (platform::equalsIgnoringAsciiCase(request.method, "POST") && request.contentLength > 0)
        respondToPost();
    else if (platform::equalsIgnoringAsciiCase(request.method, "OPTIONS") && isPreflight(request))
        respondToPreflight();
    else
        ErrorResponse(501);
    return 0;
}

void CZuzHTTPRequest::respondToPreflight() {
    // A browser asks before it lets a page post JSON (or anything but plain text) to
    // another origin; every page may, as for the plain-text posts it never asks about.
    WriteStatusHead(204);
    AddHeader("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
    AddHeader("Access-Control-Allow-Headers", "Content-Type");
    AddHeader("Access-Control-Max-Age", "86400");
    // Browsers that guard the computer's own addresses from public pages ask this too.
    const auto privateNetwork = m_request->headers.find("access-control-request-private-network");
    if (privateNetwork != m_request->headers.end() &&
        platform::equalsIgnoringAsciiCase(trimRight(privateNetwork->second), "true"))
        AddHeader("Access-Control-Allow-Private-Network", "true");
    WriteResponse("\r\n");
}

void CZuzHTTPRequest::respondToGet() {
    const std::string& url = m_request->url;
    if (!startsWith(url, kUrlPrefix)) {
        TraceError("CZuzHTTPRequest::StartResponse", __LINE__, "not found request url:%s",
                   url.c_str());
        ErrorResponse(404);
        return;
    }
    const PathParts parts = splitPath(url);
    if (parts.name.empty()) {
        writePage(std::string("<html><h1>") + kMaker + " " + kProduct + "</h1>\n<p><a href=\"" +
                  kMakerHomePage + "\">Visit Corvane homepage</a></html>\n");
    } else if (parts.name == "device") {
        writePage(pageOf(deviceTable(nullptr)));
    } else if (!parts.rest.empty()) {
        if (!m_context.devices->isRegistered(parts.name)) {
            TraceError("CZuzHTTPRequest::StartResponse", __LINE__, "not found request url:%s",
                       url.c_str());
            ErrorResponse(404);
            return;
        }
        answerPoll(
            CZuzDeviceController::startPoll(parts.name, parts.rest, m_context.statusTimeout));
    } else {
        writePage(pageOf(deviceTable(&parts.name)));
    }
}

void CZuzHTTPRequest::respondToPost() {
    const std::string& url = m_request->url;
    PathParts parts = splitPath(url);
    const bool command = endsWith(url, ".cvn");
    if (!startsWith(url, kUrlPrefix) ||
        (!command && (parts.name.empty() || !m_context.devices->isRegistered(parts.name)))) {
        TraceError("CZuzHTTPRequest::StartResponse", __LINE__, "not found request url:%s",
                   url.c_str());
        ErrorResponse(404);
        return;
    }
    bool statusQuery = false;
    if (command) {
        statusQuery = url.find("/checkStatus.cvn") != std::string::npos;
        if (!statusQuery) {
            const size_t suffix = parts.name.find(".cvn");
            parts.name = suffix == std::string::npos ? "" : parts.name.substr(0, suffix);
        }
    } else if (parts.name == "list") {
        ErrorResponse(404);
        return;
    }
    std::string result;
    if (statusQuery) {
        CZuzDeviceController::StatusPoll poll;
        if (m_context.controller->startStatusQuery(m_request->body, parts.name, result, poll) ==
            kStateBadRequest)
            ErrorResponse(400);
        else
            answerPoll(poll);
        return;
    }
    if (m_context.controller->AddRequest(m_request->body, parts.name, false, result) ==
        kStateBadRequest)
        ErrorResponse(400);
    else
        writePage(result);
}

void CZuzHTTPRequest::answerPoll(const CZuzDeviceController::StatusPoll& poll) {
    // Answered now when it can be; otherwise the listener asks again as results change.
    m_poll = poll;
    resumePoll();
}

std::string CZuzHTTPRequest::deviceTable(const std::string* statusFilter) const {
    std::vector<CDeviceInfo> devices;
    m_context.devices->copyDeviceList(devices);
    if (devices.empty())
        return "";
    std::string table =
        "<table border=\"1\">\n  <thead>\n    <tr>\n      <th>LogicalName</th>\n"
        "      <th>Printer Name</th>\n      <th>Port</th>\n";
    if (statusFilter)
        table += "      <th>Status</th>\n";
    table += "    </tr>\n  </thead>\n\n  <tbody>\n";
    for (const CDeviceInfo& device : devices) {
        if (statusFilter && device.physicalName != *statusFilter &&
            device.logicalName != *statusFilter)
            continue;
        table += "    <tr>\n      <td>" + htmlText(device.logicalName) + "</td>\n      <td>" +
                 htmlText(device.physicalName) + "</td>\n      <td>" + htmlText(device.portText()) +
                 "</td>\n";
        if (statusFilter)
            table += "      <td></td>\n";  // no status is shown
        table += "    </tr>\n";
    }
    table += "  </tbody>\n</table>\n";
    return table;
}

std::string CZuzHTTPRequest::DecodeURL(std::string_view url) {
    std::string decoded;
    decoded.reserve(url.size());
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 1 < url.size() && url[i + 1] == '%') {
            decoded += '%';
            ++i;
            continue;
        }
        if (url[i] == '%' && i + 2 < url.size()) {
            const int high = hexDigit(url[i + 1]);
            const int low = hexDigit(url[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high << 4 | low);
                i += 2;
                continue;
            }
        }
        decoded += url[i];
    }
    return decoded;
}

void CZuzHTTPRequest::WriteStatusHead(int code) {
    WriteResponse("HTTP/1.1 ");
    WriteResponse(statusText(code));
    WriteResponse("\r\n");
    WriteResponse("Access-Control-Allow-Origin: *");
    WriteResponse("\r\n");
    AddHeader("Server", kServerName);
    AddHeader("Date", httpDate());
}

void CZuzHTTPRequest::AddHeader(const std::string& name, const std::string& value) {
    WriteResponse(name);
    WriteResponse(": ");
    WriteResponse(value);
    WriteResponse("\r\n");
}

void CZuzHTTPRequest::ErrorResponse(int code) {
    WriteStatusHead(code);
    WriteResponse("\r\n");
}

void CZuzHTTPRequest::writePage(const std::string& page) {
    WriteStatusHead(200);
    WriteResponse("\r\n");
    WriteResponse(page);
}

void CZuzHTTPRequest::WriteResponse(std::string_view text) {
    m_buffer += text;
}
