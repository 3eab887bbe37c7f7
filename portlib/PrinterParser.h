// The parser of a port that talks to one printer (or to a fixed number of devices that
// all see the same bytes): no framing, only automatic status blocks to separate.
#pragma once

#include <mutex>

#include "CVNParser.h"

class CPrinterParser : public CCVNParser {
public:
    CPrinterParser(int deviceCount, std::mutex& queueMutex);

    // Gives the bytes to every device in use: as status and data when its automatic
    // status switch is on, as data otherwise.
    void Parse(const char* data, int length) override;
};
