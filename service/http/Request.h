// One parsed HTTP request, made and freed with its connection.
#pragma once

#include <map>
#include <string>

class CRequest {
public:
    virtual ~CRequest() = default;

    std::string clientAddress;  // the peer's dotted-decimal address
    std::string method;         // as received
    std::string url;            // percent-decoded, without the query
    std::string version;
    std::map<std::string, std::string> headers;  // names in lower case; the last one wins
    std::string body;
    int contentLength = 0;  // 0 when the header is absent or empty
    std::string query;      // after the first "?"; no handler reads it
};
