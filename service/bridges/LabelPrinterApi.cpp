#include "LabelPrinterApi.h"

#include <cstring>
#include <thread>

#include "JobFiles.h"
#include "JobFunction.h"
#include "ProgramFiles.h"
#include "TraceLog.h"
#include "cvnlblapi.h"
#include "platform/Clock.h"

namespace {

constexpr int kLibraryOk = 1;
constexpr int kNoStatusYet = 100;
constexpr int kPortOpenError = 71;
constexpr int kUsbInterface = 2;

using Args = CallArguments;
using LabelFunction = JobFunction<int (*)(const Args& a)>;

// The job functions that go straight to the library function of the same name.
const std::vector<LabelFunction>& labelFunctions() {
    static const std::vector<LabelFunction> table = {
        {"PrintTrueFontLib",
         10,
         {2, 8},
         [](const Args& a) {
             if (a.texts[1].empty())  // nothing to print is no failure
                 return kLibraryOk;
             return PrintTrueFontLib(a.i(0), a.i(1), a.t(0), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6),
                                     a.t(1), a.i(7));
         },
         {},
         {0}},
        {"PrintTrueFontLibW",
         9,
         {2, 8},
         [](const Args& a) {
             return PrintTrueFontLibW(a.i(0), a.i(1), a.w(0).c_str(), a.i(2), a.i(3), a.i(4),
                                      a.i(5), a.i(6), a.w(1).c_str(), 0);
         },
         {},
         {0}},
        {"Prints", 2, {}, [](const Args& a) { return Prints(a.i(0), a.i(1)); }},
        {"ClearBuffer", 0, {}, [](const Args&) { return ClearBuffer(); }},
        {"SetConfigOfPrinter",
         6,
         {},
         [](const Args& a) {
             return SetConfigOfPrinter(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5));
         }},
        {"SetConfigOfPrinterII",
         5,
         {},
         [](const Args& a) {
             return SetConfigOfPrinterII(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4));
         }},
        {"SetPaper",
         7,
         {},
         [](const Args& a) {
             return SetPaper(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6));
         }},
        {"SetPaperII",
         5,
         {},
         [](const Args& a) { return SetPaperII(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4)); }},
        {"PrintDirect", 2, {0}, [](const Args& a) { return PrintDirect(a.t(0), a.i(0)); }},
        {"PrintDeviceFont",
         8,
         {7},
         [](const Args& a) {
             return PrintDeviceFont(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6), a.t(0));
         }},
        {"PrintDeviceFontW",
         9,
         {8},
         [](const Args& a) {
             return PrintDeviceFontW(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6), a.i(7),
                                     a.w(0).c_str());
         }},
        {"PrintVectorFont",
         13,
         {2, 5, 10, 12},
         [](const Args& a) {
             return PrintVectorFont(a.i(0), a.i(1), a.t(0), a.i(2), a.i(3), a.t(1), a.i(4), a.i(5),
                                    a.i(6), a.i(7), a.t(2), a.i(8), a.t(3));
         },
         {},
         {0}},
        {"PrintVectorFontW",
         14,
         {3, 6, 11, 13},  // only the printed text is UTF-16
         [](const Args& a) {
             return PrintVectorFontW(a.i(0), a.i(1), a.i(2), a.t(0), a.i(3), a.i(4), a.t(1), a.i(5),
                                     a.i(6), a.i(7), a.i(8), a.t(2), a.i(9), a.w(3).c_str());
         },
         {},
         {0}},
        {"PrintTrueFont",
         10,
         {2, 8},
         [](const Args& a) {
             return PrintTrueFont(a.i(0), a.i(1), a.t(0), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6),
                                  a.t(1), a.i(7));
         },
         {},
         {0}},
        {"PrintTrueFontW",
         10,
         {2, 8},
         [](const Args& a) {
             return PrintTrueFontW(a.i(0), a.i(1), a.w(0).c_str(), a.i(2), a.i(3), a.i(4), a.i(5),
                                   a.i(6), a.w(1).c_str(), a.i(7));
         },
         {},
         {0}},
        {"Print1DBarcode",
         9,
         {8},
         [](const Args& a) {
             return Print1DBarcode(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6), a.i(7),
                                   a.t(0));
         }},
        {"PrintPDF417",
         12,
         {11},
         [](const Args& a) {
             return PrintPDF417(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.i(6), a.i(7),
                                a.i(8), a.i(9), a.i(10), a.t(0));
         }},
        {"PrintQRCode",
         7,
         {6},
         [](const Args& a) {
             return PrintQRCode(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5), a.t(0));
         }},
        {"PrintDataMatrix",
         6,
         {5},
         [](const Args& a) {
             return PrintDataMatrix(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.t(0));
         }},
        {"PrintMaxiCode",
         4,
         {3},
         [](const Args& a) { return PrintMaxiCode(a.i(0), a.i(1), a.i(2), a.t(0)); }},
        {"PrintImageLib",
         5,
         {2},
         [](const Args& a) { return PrintImageLib(a.i(0), a.i(1), a.t(0), a.i(2), a.i(3)); },
         {0}},
        {"PrintImageLibW",
         6,
         {3},
         [](const Args& a) {
             return PrintImageLibW(a.i(0), a.i(1), a.i(2), a.w(0).c_str(), a.i(3), a.i(4));
         },
         {0}},
        {"PrintImageLibWithSize",
         7,
         {4},
         [](const Args& a) {
             return PrintImageLibWithSize(a.i(0), a.i(1), a.i(2), a.i(3), a.t(0), a.i(4), a.i(5));
         },
         {0}},
        {"PrintImageLibWWithSize",
         8,
         {5},
         [](const Args& a) {
             return PrintImageLibWWithSize(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.w(0).c_str(),
                                           a.i(5), a.i(6));
         },
         {0}},
        {"PrintBinaryFile", 1, {0}, [](const Args& a) { return PrintBinaryFile(a.t(0)); }, {0}},
        {"PrintBlock",
         6,
         {},
         [](const Args& a) { return PrintBlock(a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5)); }},
        {"PrintCircle",
         4,
         {},
         [](const Args& a) { return PrintCircle(a.i(0), a.i(1), a.i(2), a.i(3)); }},
        {"RFIDSetup",
         4,
         {},
         [](const Args& a) { return RFIDSetup(a.i(0), a.i(1), a.i(2), a.i(3)); }},
        {"RFIDCalibration", 0, {}, [](const Args&) { return RFIDCalibration(); }},
        {"RFIDWrite",
         4,
         {3},
         [](const Args& a) { return RFIDWrite(a.i(0), a.i(1), a.i(2), a.t(0)); }},
        {"RFIDLock", 0, {}, [](const Args&) { return RFIDLock(); }},
    };
    return table;
}

// The library's interface number for a port type; USB for anything unknown.
int interfaceNumber(int portType) {
    switch (portType) {
        case kPortSerial:
            return 0;
        case kPortParallel:
            return 1;
        case kPortWiredNetwork:
            return 3;
        case kPortWirelessNetwork:
            return 4;
        case kPortBluetooth:
            return 5;
        default:
            return kUsbInterface;
    }
}

// Two records open the same printer when they name the same port with the same settings.
bool samePrinter(const CDeviceInfo& a, const CDeviceInfo& b) {
    return a.portType == b.portType && a.portText() == b.portText() &&
           a.physicalName == b.physicalName;
}

// "0, 0, 100"
std::string statusText(const std::vector<int>& statuses) {
    std::string text;
    for (int status : statuses)
        text += std::to_string(status) + ", ";
    text.resize(text.size() - 2);
    return text;
}

void sleepFor(std::chrono::milliseconds period) {
    std::this_thread::sleep_for(period);
}

}  // namespace

// One call of a job, with what its trace lines name.
struct CLabelPrinterApi::JobCall {
    const ApiCall& call;
    const std::string& function;
    const std::string& logicalName;
    int requestId;
    const std::string& responseId;
};

CLabelPrinterApi::CLabelPrinterApi(const CDevicesList& devices, LabelPrinterOptions options)
    : m_devices(devices),
      m_pollWait(options.pollWait ? std::move(options.pollWait) : sleepFor),
      m_popup(std::move(options.messageViews)) {}

CLabelPrinterApi::~CLabelPrinterApi() {
    close();
}

int CLabelPrinterApi::runJob(const std::string& logicalName, ApiCallList& calls, int requestId,
                             const std::string& responseId, std::string& readStatus) {
    return processAPIData(logicalName, calls, requestId, responseId, readStatus);
}

int CLabelPrinterApi::printRaw(const std::string& logicalName, const std::string& data,
                               const std::string& responseId) {
    return directPrint(logicalName, data, responseId);
}

bool CLabelPrinterApi::Connect(const std::string& logicalName, bool withName) {
    std::lock_guard lock(m_operationLock);
    CDeviceInfo device;
    const bool registered = m_devices.getDeviceInfo(logicalName, device) != 0;
    if (m_connected) {
        if (registered && samePrinter(device, m_connectedDevice)) {
            TraceWrite("CLabelPrinterApi::Connect", __LINE__,
                       "already Connect in CLabelPrinterApi");
            return true;
        }
        // The library holds one connection: the printer asked for gets it, never the one
        // that happens to be open.
        Disconnect();
    }
    if (!registered)
        return false;
    const int interfaceNo = interfaceNumber(device.portType);
    const int result = withName && interfaceNo == kUsbInterface
                           ? ConnectPrinterWithName(interfaceNo, device.physicalName.c_str(),
                                                    device.portName.c_str(), device.baudRate,
                                                    device.dataBits, device.parity, device.stopBits)
                           : ConnectPrinter(interfaceNo, device.portName.c_str(), device.baudRate,
                                            device.dataBits, device.parity, device.stopBits);
    if (result != kLibraryOk) {
        TraceError("CLabelPrinterApi::Connect", __LINE__, "Fail to Connect(%s) in CLabelPrinterApi",
                   getErrorText(kPortOpenError));
        return false;
    }
    m_connected = true;
    m_connectedDevice = device;
    return true;
}

void CLabelPrinterApi::Disconnect() {
    std::lock_guard lock(m_operationLock);
    TraceWrite("CLabelPrinterApi::Disconnect", __LINE__, "forced Disconnect in CLabelPrinterApi");
    DisconnectPrinter();
    m_connected = false;
}

int CLabelPrinterApi::processAPIData(const std::string& logicalName, ApiCallList& calls,
                                     int requestId, const std::string& responseId,
                                     std::string& readStatus) {
    std::lock_guard lock(m_operationLock);
    TraceWrite("CLabelPrinterApi::processAPIData", __LINE__,
               "+processAPIData(nRequestId=%d,strResponseId=%s)", requestId, responseId.c_str());
    if (!Connect(logicalName, true)) {
        Disconnect();
        showMessage(logicalName, kCannotConnectMessage);
        return kJobError;
    }
    int result = kJobSuccess;
    while (!calls.empty()) {
        result = parseAPI(calls.front(), logicalName, requestId, responseId, readStatus);
        if (result != kJobSuccess)
            break;
        calls.pop_front();
    }
    calls.clear();
    TraceWrite("CLabelPrinterApi::processAPIData", __LINE__,
               "-processAPIData(nRequestId=%d,strResponseId=%s)", requestId, responseId.c_str());
    return result;
}

int CLabelPrinterApi::parseAPI(const ApiCall& call, const std::string& logicalName, int requestId,
                               const std::string& responseId, std::string& readStatus) {
    std::lock_guard lock(m_operationLock);
    const std::string& function = functionName(call);
    const JobCall job{call, function, logicalName, requestId, responseId};
    if (function == "checkStatus")
        return checkStatusRule(job);
    if (function == "Connect")
        return connectRule(job);
    if (function == "Disconnect")
        return disconnectRule(job);
    if (function == "RFIDPassword")
        return rfidPasswordRule(job);
    if (function == "ReadStatus")
        return readStatusRule(job, readStatus);
    return runLibraryFunction(job);
}

int CLabelPrinterApi::runLibraryFunction(const JobCall& job) {
    const LabelFunction* function = findJobFunction(labelFunctions(), job.function);
    if (!function) {
        TraceError("CLabelPrinterApi::parseAPI", __LINE__,
                   "invalid function name in %s of (RequestId=%d, ResponseId=%s)",
                   job.function.c_str(), job.requestId, job.responseId.c_str());
        return kJobBadData;
    }
    CallArguments args;
    if (!getParams(job.call, job.function, function->count, function->textPositions, args))
        return kJobBadData;
    // A job's file names reach the library only where the user allows files.
    if (function->namesFiles() &&
        !CJobFiles::fromSettings().confine(args, function->fileTexts, function->fontTexts,
                                           "CLabelPrinterApi::parseAPI"))
        return callFailed(job);
    return function->call(args) == kLibraryOk ? kJobSuccess : callFailed(job);
}

int CLabelPrinterApi::checkStatusRule(const JobCall& job) {
    const int code = checkStatus();
    if (code == 0)
        return kJobSuccess;
    showMessage(job.logicalName, getErrorText(code));
    return callFailed(job);
}

int CLabelPrinterApi::connectRule(const JobCall& job) {
    if (job.logicalName.empty())
        return kJobError;
    if (Connect(job.logicalName, true))
        return kJobSuccess;
    showMessage(job.logicalName, "Cannot connect to printer.");
    return callFailed(job);
}

int CLabelPrinterApi::disconnectRule(const JobCall& job) {
    if (job.logicalName.empty())
        return kJobError;
    Disconnect();
    return kJobSuccess;
}

// The four parameters go to the library as they came, digits or not.
int CLabelPrinterApi::rfidPasswordRule(const JobCall& job) {
    constexpr int kParameters = 4;
    const int present = static_cast<int>(job.call.size()) - 2;
    if (present < kParameters) {
        TraceError("CLabelPrinterApi::parseAPI", __LINE__,
                   "mismatch parameters count(%d/%d) at %s of (RequestId=%d, ResponseId=%s)",
                   present, kParameters, job.function.c_str(), job.requestId,
                   job.responseId.c_str());
        return kJobBadData;
    }
    const ApiCall& c = job.call;
    return RFIDPassword(c[2].c_str(), c[3].c_str(), c[4].c_str(), c[5].c_str()) == kLibraryOk
               ? kJobSuccess
               : callFailed(job);
}

// "ReadStatus"(time-out in ms, count): reads `count` statuses from the printer.
int CLabelPrinterApi::readStatusRule(const JobCall& job, std::string& readStatus) {
    CallArguments args;
    if (!getParams(job.call, job.function, 2, {}, args))
        return kJobBadData;
    int timeoutMs = args.i(0);
    const int count = args.i(1);
    // No status to read is a job fault; a huge count would only exhaust memory.
    if (count < 1 || count > kMaxStatusCount) {
        TraceError("CLabelPrinterApi::parseAPI", __LINE__,
                   "invalid status count(%d) in %s of (RequestId=%d, ResponseId=%s)", count,
                   job.function.c_str(), job.requestId, job.responseId.c_str());
        return kJobBadData;
    }
    if (timeoutMs == 0) {
        TraceWrite("CLabelPrinterApi::parseAPI", __LINE__,
                   "timeout change(%d => %d) in %s of (RequestId=%d, ResponseId=%s)", timeoutMs,
                   kDefaultStatusTimeoutMs, job.function.c_str(), job.requestId,
                   job.responseId.c_str());
        timeoutMs = kDefaultStatusTimeoutMs;
    }
    return pollStatuses(job, timeoutMs, count, readStatus);
}

// Polls until `count` statuses came, one reports a fault, or the time-out passes; waits
// only while the printer has no status yet.
int CLabelPrinterApi::pollStatuses(const JobCall& job, int timeoutMs, int count,
                                   std::string& readStatus) {
    std::vector<int> statuses(count, kNoStatusYet);
    const uint32_t start = platform::clock().tickCount();
    int read = 0;
    int status = kNoStatusYet;
    for (;;) {
        status = ReadStatus();
        if (status != kNoStatusYet) {
            statuses[read++] = status;
            if (status != 0)
                break;
        }
        if (read == count)
            break;
        if (platform::clock().tickCount() - start > static_cast<uint32_t>(timeoutMs)) {
            TraceError("CLabelPrinterApi::parseAPI", __LINE__,
                       "timeout(%d) in %s of (RequestId=%d, ResponseId=%s)", timeoutMs,
                       job.function.c_str(), job.requestId, job.responseId.c_str());
            break;
        }
        if (status == kNoStatusYet)
            m_pollWait(kStatusPollInterval);
    }
    readStatus = statusText(statuses);
    TraceWrite("CLabelPrinterApi::parseAPI", __LINE__,
               "nReadStatus=%s of (RequestId=%d, ResponseId=%s)", readStatus.c_str(), job.requestId,
               job.responseId.c_str());
    if (status == 0)
        return kJobSuccess;
    TraceError("CLabelPrinterApi::parseAPI", __LINE__, "%s in %s of (RequestId=%d, ResponseId=%s)",
               getErrorText(status), job.function.c_str(), job.requestId, job.responseId.c_str());
    return callFailed(job);
}

int CLabelPrinterApi::callFailed(const JobCall& job) {
    TraceError("CLabelPrinterApi::parseAPI", __LINE__,
               "%s functions result fail (RequestId=%d, ResponseId=%s)", job.function.c_str(),
               job.requestId, job.responseId.c_str());
    return kJobError;
}

bool CLabelPrinterApi::getParams(const ApiCall& call, const std::string& function, int count,
                                 const std::vector<int>& textPositions, CallArguments& args) const {
    return args.read(call, function, count, textPositions, IntegerSyntax::DigitsOnly,
                     "CLabelPrinterApi::getParams");
}

int CLabelPrinterApi::directPrint(const std::string& logicalName, const std::string& data,
                                  const std::string& /*responseId*/) {
    std::lock_guard lock(m_operationLock);
    if (!Connect(logicalName, true)) {
        showMessage(logicalName, kCannotConnectMessage);
        Disconnect();
        return kJobError;
    }
    const int result = PrintDirect(data.c_str(), 1);
    Disconnect();
    return result == kLibraryOk ? kJobSuccess : kJobError;
}

int CLabelPrinterApi::getPrinterName(const std::string& logicalName, std::string& printerName) {
    std::lock_guard lock(m_operationLock);
    if (!Connect(logicalName, false))
        return kJobError;
    ClearBuffer();
    char buffer[256] = {};
    const int result = GetPrinterName(buffer, sizeof buffer);
    if (result != 0)
        printerName.assign(buffer, strnlen(buffer, sizeof buffer));
    Disconnect();
    return result != 0 ? kJobSuccess : kJobError;
}

int CLabelPrinterApi::printTestPage(const std::string& logicalName) {
    static const char* const kFaceName = "돋움체";
    static const char* const kKoreanSample = "샘플";
    std::lock_guard lock(m_operationLock);
    if (!Connect(logicalName, true)) {
        Disconnect();
        return 0;
    }
    ClearBuffer();
    PrintBlock(50, 50, 500, 250, 0, 0);
    PrintBlock(50, 300, 500, 305, 0, 0);
    PrintBlock(50, 350, 500, 500, 4, 5);
    PrintTrueFontLib(100, 380, kFaceName, 50, 0, 0, 1, 0, kKoreanSample, 0);
    PrintDeviceFont(100, 100, 6, 1, 1, 0, 0, "CORVANE");
    PrintDeviceFont(100, 520, 4, 1, 1, 0, 0, "CORVANE");
    PrintDeviceFont(100, 560, 4, 1, 1, 0, 1, "CORVANE");
    PrintDeviceFont(100, 620, 100, 2, 2, 0, 1, kKoreanSample);
    PrintDirect("B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'", 0);
    PrintQRCode(100, 780, 2, 2, 4, 0, "QRCode sample test 123");
    PrintImageLib(100, 900, programfiles::shippedFile("CORVANE.bmp").c_str(), 1, 1);
    Prints(1, 1);
    Disconnect();
    return 1;
}

const char* CLabelPrinterApi::getErrorText(int code) {
    switch (code) {
        case 0:
            return "No Error";
        case 1:
            return "Paper Empty";
        case 2:
            return "Cover Open";
        case 3:
            return "Cutter jammed";
        case 4:
            return "Thermal Head(TPH) overheat";
        case 5:
            return "Gap detection Error (Auto-sensing failure)";
        case 6:
            return "Ribbon End";
        case kPortOpenError:
            return "Port open error";
        case 72:
            return "Unknown (or Not supported) printer name";
        default:
            return "Unknown error";
    }
}

void CLabelPrinterApi::showMessage(const std::string& title, const std::string& message) {
    m_popup.showMessage(title, message);
}

void CLabelPrinterApi::close() {
    m_popup.close();
}
