#include "ThermalPrinterController.h"

#include <algorithm>

#include "DeviceTypes.h"
#include "JobFunction.h"
#include "ProgramFiles.h"
#include "TraceLog.h"
#include "platform/Files.h"

namespace {

constexpr int kDravixOk = 0;

using Args = CallArguments;
using PosFunction = JobFunction<int (*)(const DravixFunctions& f, int h, const Args& a)>;

const std::vector<int> kTextFirst = {0};

// The job functions, each calling the library function of its name with the service
// handle first.
const std::vector<PosFunction>& posFunctions() {
    static const std::vector<PosFunction> table = {
        {"printText", 8, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printText(h, a.w(0).c_str(), a.integers.data());  // seven attributes
         }},
        {"setTextEncoding",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setTextEncoding(h, a.i(0));
         }},
        {"setCharacterset",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setCharacterset(h, a.i(0));
         }},
        {"setInternationalCharacterset",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setInternationalCharacterset(h, a.i(0));
         }},
        {"cutPaper",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) { return f.cutPaper(h, a.i(0)); }},
        {"setPagemode",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) { return f.setPagemode(h, a.i(0)); }},
        {"setPagemodePrintArea",
         4,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setPagemodePrintArea(h, a.i(0), a.i(1), a.i(2), a.i(3));
         }},
        {"setPagemodeDirection",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setPagemodeDirection(h, a.i(0));
         }},
        {"setPagemodePosition",
         2,
         {},
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.setPagemodePosition(h, a.i(0), a.i(1));
         }},
        {"printBitmapFile", 6, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printBitmapFile(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2), a.i(3), a.i(4));
         }},
        {"print1DBarcode", 6, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.print1DBarcode(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2), a.i(3), a.i(4));
         }},
        {"printQRCode", 5, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printQRCode(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2), a.i(3));
         }},
        {"printPDF417", 8, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printPDF417(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2), a.i(3), a.i(4), a.i(5),
                                  a.i(6));
         }},
        {"printGS1Databar", 4, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printGS1Databar(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2));
         }},
        {"printCompositeBarcode", 4, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printCompositeBarcode(h, a.w(0).c_str(), a.i(0), a.i(1), a.i(2));
         }},
        {"printDataMatrix", 3, kTextFirst,
         [](const DravixFunctions& f, int h, const Args& a) {
             return f.printDataMatrix(h, a.w(0).c_str(), a.i(0), a.i(1));
         }},
        {"checkPrinterStatus",
         0,
         {},
         [](const DravixFunctions& f, int h, const Args&) {
             f.checkPrinterStatus(h);  // the printer answers by status callback, if at all
             return kDravixOk;
         }},
        {"asbEnable",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) { return f.asbEnable(h, a.i(0)); }},
        {"openDrawer",
         1,
         {},
         [](const DravixFunctions& f, int h, const Args& a) { return f.openDrawer(h, a.i(0)); }},
    };
    return table;
}

const char* statusText(int status) {
    switch (status) {
        case 1:
            return "Cover open!!";
        case 2:
            return "Paper empty!!";
        case 8:
            return "Printer error!!";
        default:
            return nullptr;
    }
}

// The library's status callback carries no context: it reaches the pop-up of the one
// controller that watches printers through here.
std::mutex statusSinkLock;
const CThermalPrinterController* statusSinkOwner = nullptr;
std::shared_ptr<CMessagePopup> statusSink;

// The test receipt, 42 characters a line.
const char* const kReceiptHeader =
    "Halvard Print Works\n"
    "7 Quay Lane, Harbourtown\n"
    "HT1 2AB Northshire\n"
    "Tel. +00 000 555 0100\n"
    "\n"
    "\n";
const char* const kReceiptRule = "                          ----------------\n";
const char* const kReceiptFooter =
    "\n"
    "\n"
    "\n"
    "www.halvard.example\n"
    "support.halvard.example\n"
    "shop.halvard.example\n"
    "\n"
    "\n"
    "\n"
    "\n"
    "\n";

std::string receiptBody() {
    const std::string hyphens = std::string(42, '-') + "\n";
    std::string body = hyphens;
    for (int i = 0; i < 10; ++i)
        body += "Items 1                             100.00\n";
    body += hyphens;
    body += "                          Sub-Total 895.00\n";
    body += "                          Discount    5.00\n";
    body += kReceiptRule;
    body += "                          Tax Total 100.00\n";
    body += kReceiptRule;
    body += "                          Total   1,000.00\n";
    body += kReceiptRule;
    return body;
}

}  // namespace

CThermalPrinterController::CThermalPrinterController(const CDevicesList& devices,
                                                     ThermalPrinterOptions options)
    : m_devices(devices),
      m_libraryDirectory(options.libraryDirectory.empty() ? platform::libraryDirectory()
                                                          : options.libraryDirectory),
      m_libraryName(options.libraryName),
      m_popup(std::make_shared<CMessagePopup>(std::move(options.messageViews))) {
    if (options.watchPrinters)
        watchPrinters();
}

CThermalPrinterController::~CThermalPrinterController() {
    close();
}

int CThermalPrinterController::runJob(const std::string& logicalName, ApiCallList& calls,
                                      int /*requestId*/, const std::string& /*responseId*/,
                                      std::string& /*readStatus*/) {
    return processAPIData(calls, logicalName);
}

int CThermalPrinterController::printRaw(const std::string& logicalName, const std::string& data,
                                        const std::string& /*responseId*/) {
    return directPrint(logicalName, reinterpret_cast<const unsigned char*>(data.data()),
                       static_cast<int>(data.size()));
}

// Opens and watches every printer whose CheckStatus is on; one that cannot be opened now
// is not watched until the next start.
void CThermalPrinterController::watchPrinters() {
    {
        std::lock_guard lock(statusSinkLock);
        statusSinkOwner = this;
        statusSink = m_popup;
    }
    std::vector<CDeviceInfo> devices;
    m_devices.copyDeviceList(devices);
    for (const CDeviceInfo& device : devices) {
        if (device.checkStatus == 0)
            continue;
        std::shared_ptr<CPrinterConnection> connection = newConnection(device.logicalName);
        if (!Connect(*connection, device.logicalName))
            continue;
        {
            std::lock_guard lock(m_watchLock);
            m_watched.push_back(connection);
        }
        connection->dravix().asbEnable(connection->handle, device.checkStatus);
        connection->dravix().setStatusUpdateEvent(connection->handle, statusChanged);
    }
}

void CThermalPrinterController::statusChanged(int status) {
    const char* text = statusText(status);
    if (!text)
        return;
    std::shared_ptr<CMessagePopup> popup;
    {
        std::lock_guard lock(statusSinkLock);
        popup = statusSink;
    }
    if (popup)
        popup->showMessage("", text);  // the library does not say which printer
}

std::shared_ptr<CPrinterConnection> CThermalPrinterController::watchedConnection(
    const std::string& logicalName) const {
    std::lock_guard lock(m_watchLock);
    for (const std::shared_ptr<CPrinterConnection>& connection : m_watched)
        if (connection->logicalName() == logicalName)
            return connection;
    return nullptr;
}

std::unique_ptr<CPrinterConnection> CThermalPrinterController::newConnection(
    const std::string& logicalName) const {
    return std::make_unique<CPrinterConnection>(
        logicalName, CDravixLibrary::load(m_libraryDirectory, m_libraryName));
}

bool CThermalPrinterController::Connect(CPrinterConnection& connection,
                                        const std::string& logicalName) {
    if (!connection.isLoaded()) {
        TraceError("CThermalPrinterController::Connect", __LINE__,
                   "Cannot connect to %s in Connect", logicalName.c_str());
        return false;
    }
    std::shared_ptr<CPrinterConnection> watched = watchedConnection(logicalName);
    if (!watched)
        return openService(connection, logicalName);
    connection.borrow(watched);
    if (connection.dravix().isOpen(connection.handle) != 0) {
        TraceError("CThermalPrinterController::Connect", __LINE__,
                   "Cannot connect to %s in Connect", logicalName.c_str());
        return false;
    }
    TraceWrite("CThermalPrinterController::Connect", __LINE__, "%s already connected in Connect",
               logicalName.c_str());
    return true;
}

bool CThermalPrinterController::openService(CPrinterConnection& connection,
                                            const std::string& logicalName) {
    CDeviceInfo device;
    if (!m_devices.getDeviceInfo(logicalName, device)) {
        TraceError("CThermalPrinterController::Connect", __LINE__,
                   "Fail to get %s information in Connect", logicalName.c_str());
        return false;
    }
    std::string portText = device.portText();
    if (portText == "USB")
        portText = device.physicalName;
    const DravixFunctions& dravix = connection.dravix();
    connection.handle =
        dravix.selectInterface(device.portType, platform::ansiToWide(portText).c_str());
    if (device.printerType != devicetypes::kRelvo)
        dravix.selectCommandMode(connection.handle, 1);
    connection.openResult = dravix.openService(connection.handle);
    if (dravix.getResult(connection.handle) != kDravixOk) {
        TraceError("CThermalPrinterController::Connect", __LINE__,
                   "Cannot connect to %s in Connect", logicalName.c_str());
        dravix.closeService(connection.handle, 0);
        return false;
    }
    TraceWrite("CThermalPrinterController::Connect", __LINE__, "%s is connect in Connect",
               logicalName.c_str());
    return true;
}

bool CThermalPrinterController::Disconnect(const std::string& logicalName,
                                           CPrinterConnection& connection) {
    // Asked of the record rather than the list, which shutdown may have emptied since.
    if (connection.isBorrowed())
        return false;
    connection.dravix().closeService(connection.handle, 0);
    TraceWrite("CThermalPrinterController::Disconnect", __LINE__,
               "%s is disconnect in CThermalPrinterController", logicalName.c_str());
    return true;
}

int CThermalPrinterController::processAPIData(ApiCallList& calls, const std::string& logicalName) {
    std::unique_ptr<CPrinterConnection> connection = newConnection(logicalName);
    if (!Connect(*connection, logicalName)) {
        showMessage(logicalName, kCannotConnectMessage);
        return kJobError;
    }
    int result = kJobSuccess;
    while (!calls.empty()) {
        result = parseAPI(calls.front(), *connection);
        if (result != kJobSuccess)
            break;
        calls.pop_front();
    }
    Disconnect(logicalName, *connection);
    return result;
}

int CThermalPrinterController::parseAPI(const ApiCall& call, CPrinterConnection& connection) {
    const std::string& name = functionName(call);
    const PosFunction* function = findJobFunction(posFunctions(), name);
    if (!function) {
        TraceError("CThermalPrinterController::parseAPI", __LINE__, "invalid function name=%s",
                   name.c_str());
        return kJobBadData;
    }
    CallArguments args;
    if (!getParams(call, name, function->count, function->textPositions, args))
        return kJobBadData;
    const int result = function->call(connection.dravix(), connection.handle, args);
    if (result == kDravixOk)
        return kJobSuccess;
    TraceError("CThermalPrinterController::parseAPI", __LINE__, "error result(%d) in %s", result,
               name.c_str());
    return kJobError;
}

bool CThermalPrinterController::getParams(const ApiCall& call, const std::string& function,
                                          int count, const std::vector<int>& textPositions,
                                          CallArguments& args) const {
    return args.read(call, function, count, textPositions, IntegerSyntax::OneMinusSign,
                     "CThermalPrinterController::getParams");
}

int CThermalPrinterController::getPrinterName(const std::string& logicalName,
                                              std::string& modelName) {
    std::unique_ptr<CPrinterConnection> connection = newConnection(logicalName);
    if (!Connect(*connection, logicalName)) {
        TraceError("CThermalPrinterController::getPrinterName", __LINE__,
                   "Can't not connect to %s in getPrinterName", logicalName.c_str());
        return 0;
    }
    cvn_wchar buffer[128] = {};  // 256 bytes
    connection->dravix().getModelName(connection->handle, buffer, sizeof buffer);
    const cvn_wchar* end = std::find(std::begin(buffer), std::end(buffer), cvn_wchar{0});
    modelName = platform::wideToAnsi(platform::WideStringView(buffer, end - buffer));
    Disconnect(logicalName, *connection);
    if (modelName.empty())
        return 0;
    TraceWrite("CThermalPrinterController::getPrinterName", __LINE__, "%s is %s in getPrinterName",
               logicalName.c_str(), modelName.c_str());
    return 1;
}

int CThermalPrinterController::directPrint(const std::string& logicalName,
                                           const unsigned char* data, int length) {
    std::unique_ptr<CPrinterConnection> connection = newConnection(logicalName);
    if (!Connect(*connection, logicalName)) {
        TraceError("CThermalPrinterController::directPrint", __LINE__,
                   "Cannot connect to %s in DirectPrint", logicalName.c_str());
        showMessage(logicalName, kCannotConnectMessage);
        return kJobError;
    }
    const int result = connection->dravix().directIO(connection->handle, data, length);
    Disconnect(logicalName, *connection);
    return result == kDravixOk ? kJobSuccess : kJobError;
}

int CThermalPrinterController::printTestPage(const std::string& logicalName) {
    static const int kAttributes[7] = {0, 0, 0, 0, 0, 1, 0};
    std::unique_ptr<CPrinterConnection> connection = newConnection(logicalName);
    if (!Connect(*connection, logicalName))
        return 0;
    const DravixFunctions& dravix = connection->dravix();
    const int h = connection->handle;
    auto wide = [](const std::string& text) { return platform::ansiToWide(text); };
    dravix.setTransaction(h, 1);
    dravix.printBitmapFile(h, wide(programfiles::shippedFile("logo.bmp")).c_str(), -2, 1, 0, 0, 1);
    dravix.printText(h, wide(kReceiptHeader).c_str(), kAttributes);
    dravix.printText(h, wide(receiptBody()).c_str(), nullptr);
    dravix.printText(h, wide(kReceiptFooter).c_str(), kAttributes);
    dravix.print1DBarcode(h, wide("1234567890123456").c_str(), 110, 100, 3, 1, 2);
    dravix.cutPaper(h, 65);
    dravix.openDrawer(h, 0);
    dravix.setTransaction(h, 0);
    Disconnect(logicalName, *connection);
    return 1;
}

void CThermalPrinterController::showMessage(const std::string& title, const std::string& message) {
    m_popup->showMessage(title, message);
}

void CThermalPrinterController::close() {
    {
        std::lock_guard lock(statusSinkLock);
        if (statusSinkOwner == this) {
            statusSinkOwner = nullptr;
            statusSink.reset();
        }
    }
    m_popup->close();
    std::vector<std::shared_ptr<CPrinterConnection>> watched;
    {
        std::lock_guard lock(m_watchLock);
        watched.swap(m_watched);
    }
    for (const std::shared_ptr<CPrinterConnection>& connection : watched) {
        std::unique_lock use = connection->lockUse();  // after the operation that has it
        connection->dravix().closeService(connection->handle, 0);
    }
}
