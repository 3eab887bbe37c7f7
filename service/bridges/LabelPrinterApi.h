// Carries out jobs for label printers through the label printer library (cvnlblapi),
// which works on one open printer at a time and takes no printer handle. The bridge
// keeps that connection open from one job to the next, until a job disconnects, an
// operation that disconnects runs, or another printer is asked for: a Connect for the
// printer that is open succeeds at once, one for another printer closes it first.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CallArguments.h"
#include "DevicesList.h"
#include "MessagePopup.h"
#include "PrinterBridge.h"

struct LabelPrinterOptions {
    // The pause between status polls while the printer has no status yet; empty: sleep.
    std::function<void(std::chrono::milliseconds)> pollWait;
    // The pop-up's views; empty: the process's.
    MessageViewFactory messageViews;
};

class CLabelPrinterApi final : public CPrinterBridge {
public:
    static constexpr std::chrono::milliseconds kStatusPollInterval{100};
    static constexpr int kDefaultStatusTimeoutMs = 5000;  // for a "ReadStatus" time-out of 0
    static constexpr int kMaxStatusCount = 10000;

    explicit CLabelPrinterApi(const CDevicesList& devices = CDevicesList::instance(),
                              LabelPrinterOptions options = {});
    // Closes the pop-up. The library connection stays as it is.
    ~CLabelPrinterApi() override;

    // processAPIData and directPrint.
    int runJob(const std::string& logicalName, ApiCallList& calls, int requestId,
               const std::string& responseId, std::string& readStatus) override;
    int printRaw(const std::string& logicalName, const std::string& data,
                 const std::string& responseId) override;

    // withName: a USB printer is opened by its physical name.
    bool Connect(const std::string& logicalName, bool withName);
    // The forced disconnect: closes the library connection whatever it is.
    void Disconnect();
    // Runs the calls in order until one fails; the list is empty afterwards. 2, 3 or 6.
    int processAPIData(const std::string& logicalName, ApiCallList& calls, int requestId,
                       const std::string& responseId, std::string& readStatus);
    int parseAPI(const ApiCall& call, const std::string& logicalName, int requestId,
                 const std::string& responseId, std::string& readStatus);
    bool getParams(const ApiCall& call, const std::string& function, int count,
                   const std::vector<int>& textPositions, CallArguments& args) const;
    // data is sent as text, up to its first zero byte. 2 or 3; always disconnects.
    int directPrint(const std::string& logicalName, const std::string& data,
                    const std::string& responseId);
    // 2 with the name the printer reports, 3 otherwise.
    int getPrinterName(const std::string& logicalName, std::string& printerName);
    // 1 printed, 0 the printer cannot be opened.
    int printTestPage(const std::string& logicalName);
    static const char* getErrorText(int code);

    // The pop-up: any thread, returns at once; nothing after close.
    void showMessage(const std::string& title, const std::string& message);
    // At shutdown.
    void close();

private:
    struct JobCall;

    int runLibraryFunction(const JobCall& job);
    int checkStatusRule(const JobCall& job);
    int connectRule(const JobCall& job);
    int disconnectRule(const JobCall& job);
    int rfidPasswordRule(const JobCall& job);
    int readStatusRule(const JobCall& job, std::string& readStatus);
    int pollStatuses(const JobCall& job, int timeoutMs, int count, std::string& readStatus);
    // The "functions result fail" line; 3.
    static int callFailed(const JobCall& job);

    const CDevicesList& m_devices;
    std::function<void(std::chrono::milliseconds)> m_pollWait;
    CMessagePopup m_popup;
    // Whole operations run one after the other: the library has a single connection, and
    // a test print from the window must not land in the middle of a job's label.
    std::recursive_mutex m_operationLock;
    bool m_connected = false;
    CDeviceInfo m_connectedDevice;  // while connected: the printer that is open
};
