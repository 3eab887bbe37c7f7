#include "platform/PrintQueues.h"

#include <cups/cups.h>

#include <memory>
#include <mutex>

#include "platform/ModuleHold.h"

namespace platform {
namespace {

constexpr int kConnectTimeoutMs = 3000;

struct HttpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpCloser>;

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

// A spooler asked for a password would ask whoever sits at the terminal.
const char* noPassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

bool onThisComputer(const std::string& server) {
    return !server.empty() && (server[0] == '/' || server.rfind("localhost", 0) == 0 ||
                               server.rfind("127.0.0.1", 0) == 0 || server.rfind("[::1]", 0) == 0);
}

Connection connectSpooler(std::string& why) {
    // Once used, the spooler library stays to the end of the process: the state it sets
    // up for its connections (its TLS library's) is never given back by an unload.
    static std::once_flag kept;
    std::call_once(kept, [] {
        ModuleHold::of(reinterpret_cast<const void*>(&cupsServer)).keepToProcessEnd();
    });
    // The spooler named now (CUPS_SERVER, the client configuration), not one read earlier.
    cupsSetServer(nullptr);
    std::string server = cupsServer();
    if (!onThisComputer(server)) {
        why = "the print spooler " + server + " is not on this computer";
        return nullptr;
    }
    cupsSetPasswordCB2(noPassword, nullptr);
    Connection http(httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC,
                                 HTTP_ENCRYPTION_IF_REQUESTED, 1, kConnectTimeoutMs, nullptr));
    if (!http)
        why = "no print spooler answers at " + server;
    return http;
}

bool succeeded(const Ipp& response, std::string& why) {
    if (response && ippGetStatusCode(response.get()) <= IPP_STATUS_OK_EVENTS_COMPLETE)
        return true;
    why = cupsLastErrorString();
    return false;
}

bool queueRequest(ipp_op_t operation, const std::string& name, std::string& why) {
    Connection http = connectSpooler(why);
    if (!http)
        return false;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.c_str());
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    Ipp response(cupsDoRequest(http.get(), request, "/admin/"));
    return succeeded(response, why);
}

}  // namespace

bool listPrintQueues(std::vector<PrintQueue>& out, std::string& why) {
    out.clear();
    Connection http = connectSpooler(why);
    if (!http)
        return false;
    static const char* const kWanted[] = {"printer-name", "device-uri", "printer-state"};
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  sizeof kWanted / sizeof kWanted[0], nullptr, kWanted);
    Ipp response(cupsDoRequest(http.get(), request, "/"));
    // A spooler without queues says it found none.
    if (response && ippGetStatusCode(response.get()) == IPP_STATUS_ERROR_NOT_FOUND)
        return true;
    if (!succeeded(response, why))
        return false;
    PrintQueue queue;
    auto finish = [&] {
        if (!queue.name.empty())
            out.push_back(queue);
        queue = PrintQueue();
    };
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.get()); attribute;
         attribute = ippNextAttribute(response.get())) {
        const char* name = ippGetName(attribute);
        if (!name) {  // between two printers' groups
            finish();
            continue;
        }
        std::string key = name;
        if (key == "printer-name")
            queue.name = ippGetString(attribute, 0, nullptr);
        else if (key == "device-uri")
            queue.deviceUri = ippGetString(attribute, 0, nullptr);
        else if (key == "printer-state")
            queue.stopped = ippGetInteger(attribute, 0) == IPP_PSTATE_STOPPED;
    }
    finish();
    return true;
}

bool pausePrintQueue(const std::string& name, std::string& why) {
    return queueRequest(IPP_OP_PAUSE_PRINTER, name, why);
}

bool resumePrintQueue(const std::string& name, std::string& why) {
    return queueRequest(IPP_OP_RESUME_PRINTER, name, why);
}

}  // namespace platform
