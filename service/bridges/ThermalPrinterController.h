// Carries out jobs for POS, mobile and gateway printers through the POS printer library.
// Every operation opens its own connection and closes it at its end, except on printers
// whose CheckStatus is on: those are opened at start-up and watched until shutdown, their
// status reports shown to the user, and operations borrow their open service.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CallArguments.h"
#include "DevicesList.h"
#include "MessagePopup.h"
#include "PrinterBridge.h"
#include "PrinterConnection.h"

struct ThermalPrinterOptions {
    // Open and watch the printers whose CheckStatus is on. Off for a one-off command
    // beside a running service, which owns those connections.
    bool watchPrinters = true;
    // Where the library is and its bare name; an empty directory: the program's library
    // folder (beside it, or the private folder of an installed program).
    std::string libraryDirectory;
    std::string libraryName = CDravixLibrary::kLibraryName;
    // The pop-up's views; empty: the process's.
    MessageViewFactory messageViews;
};

class CThermalPrinterController final : public CPrinterBridge {
public:
    explicit CThermalPrinterController(const CDevicesList& devices = CDevicesList::instance(),
                                       ThermalPrinterOptions options = {});
    ~CThermalPrinterController() override;  // close()

    // processAPIData, and directPrint with all bytes of data.
    int runJob(const std::string& logicalName, ApiCallList& calls, int requestId,
               const std::string& responseId, std::string& readStatus) override;
    int printRaw(const std::string& logicalName, const std::string& data,
                 const std::string& responseId) override;

    // A fresh connection for one operation, with its own library reference.
    std::unique_ptr<CPrinterConnection> newConnection(const std::string& logicalName) const;
    bool Connect(CPrinterConnection& connection, const std::string& logicalName);
    // True when the service was closed; false for a watched printer, which stays open.
    // Either way the caller frees its connection record.
    bool Disconnect(const std::string& logicalName, CPrinterConnection& connection);
    // Runs the calls in order until one fails; the failed call and those after it stay in
    // the list. 2, 3 or 6.
    int processAPIData(ApiCallList& calls, const std::string& logicalName);
    int parseAPI(const ApiCall& call, CPrinterConnection& connection);
    bool getParams(const ApiCall& call, const std::string& function, int count,
                   const std::vector<int>& textPositions, CallArguments& args) const;
    // 1 with the model name the printer reports, 0 otherwise.
    int getPrinterName(const std::string& logicalName, std::string& modelName);
    // 2 when the printer took the bytes, 3 otherwise.
    int directPrint(const std::string& logicalName, const unsigned char* data, int length);
    // 1 printed, 0 the printer cannot be opened.
    int printTestPage(const std::string& logicalName);

    // The pop-up: any thread, returns at once; nothing after close.
    void showMessage(const std::string& title, const std::string& message);
    // At shutdown: the pop-up, then the watched printers' services.
    void close();

private:
    void watchPrinters();
    bool openService(CPrinterConnection& connection, const std::string& logicalName);
    std::shared_ptr<CPrinterConnection> watchedConnection(const std::string& logicalName) const;
    static void statusChanged(int status);

    const CDevicesList& m_devices;
    const std::string m_libraryDirectory;
    const std::string m_libraryName;
    // Shared with the library's status callback, which may still hold it after close.
    const std::shared_ptr<CMessagePopup> m_popup;
    mutable std::mutex m_watchLock;
    std::vector<std::shared_ptr<CPrinterConnection>> m_watched;
};
