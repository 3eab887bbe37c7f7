// What the device controller needs of a printer bridge: carry out a job's function
// calls, or send a job's raw data. Both return the request's final state code (2
// success, 3 error, 6 bad job data).
#pragma once

#include <deque>
#include <string>
#include <vector>

// One function call of a job: [call number, function name, parameters...], all text.
using ApiCall = std::vector<std::string>;
// A job's calls in execution order. A bridge removes the calls it has carried out; the
// caller frees whatever is left.
using ApiCallList = std::deque<ApiCall>;

class CPrinterBridge {
public:
    virtual ~CPrinterBridge() = default;

    // readStatus receives the status codes a "ReadStatus" call read, ", "-separated.
    virtual int runJob(const std::string& logicalName, ApiCallList& calls, int requestId,
                       const std::string& responseId, std::string& readStatus) = 0;
    virtual int printRaw(const std::string& logicalName, const std::string& data,
                         const std::string& responseId) = 0;
};
