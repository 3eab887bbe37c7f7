#include "PrinterParser.h"

CPrinterParser::CPrinterParser(int deviceCount, std::mutex& queueMutex)
    : CCVNParser(false, deviceCount, queueMutex) {}

void CPrinterParser::Parse(const char* data, int length) {
    if (!data || length <= 0)
        return;
    for (int device = 0; device < deviceCount(); ++device) {
        if (!IsDeviceInUse(device))
            continue;
        if (GetASB(device)) {
            EnqueueStatus(data, length, device);
        } else {
            EnqueueData(data, length, device);
        }
    }
}
