// The library's exported functions: the table of service handles, and each function
// handed to its handle's service. Unloading closes every handle still open, so no port,
// read thread or receiver outlives the library's code.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CvnPortLinks.h"
#include "PosService.h"
#include "ProgramFiles.h"
#include "TraceLog.h"
#include "cvnport.h"
#include "dravix.h"

namespace {

constexpr int kTraceLevel = 2;
constexpr const char* kTraceMarker = "trace.txt";
constexpr size_t kMaxHandles = 1024;
constexpr size_t kMaxPortText = 1024;
constexpr size_t kUsbPathUnits = 8192;

class Library {
public:
    Library() {
        // Made now, the trace log's state outlives this object and its last lines.
        TraceClose(kTraceDefaultKey);
        if (programfiles::fileTest(kTraceMarker, true))
            TraceOpen(kTraceDefaultKey, kTraceLevel, "Dravix");
    }
    ~Library() {
        std::map<int, std::shared_ptr<PosService>> left;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            left.swap(services_);
        }
        for (auto& [handle, service] : left)
            service->close();
        left.clear();
        TraceClose(kTraceDefaultKey);
    }

    int add(PortTarget target) {
        auto opener = [this](const PortTarget& at, std::weak_ptr<LinkListener> listener,
                             std::unique_ptr<PrinterLink>& link) {
            return links_.open(at, std::move(listener), link);
        };
        auto service = std::make_shared<PosService>(std::move(target), opener);
        std::lock_guard<std::mutex> guard(mutex_);
        if (services_.size() >= kMaxHandles || nextHandle_ <= 0)
            return 0;
        int handle = nextHandle_++;
        services_[handle] = std::move(service);
        return handle;
    }

    std::shared_ptr<PosService> find(int handle) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = services_.find(handle);
        return found == services_.end() ? nullptr : found->second;
    }

    std::shared_ptr<PosService> remove(int handle) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = services_.find(handle);
        if (found == services_.end())
            return nullptr;
        std::shared_ptr<PosService> service = std::move(found->second);
        services_.erase(found);
        return service;
    }

private:
    CvnPortLinks links_;  // outlives the services, whose links it owns
    std::mutex mutex_;
    std::map<int, std::shared_ptr<PosService>> services_;
    int nextHandle_ = 1;
};

Library theLibrary;

int unknownHandle(const char* function, int handle) {
    TraceError(function, __LINE__, "-unknown or closed handle %d", handle);
    return DRAVIX_E_BAD_HANDLE;
}

// Runs `call` on the handle's service, or reports the handle unknown.
template <typename Call>
int onService(const char* function, int handle, Call call) {
    std::shared_ptr<PosService> service = theLibrary.find(handle);
    if (!service)
        return unknownHandle(function, handle);
    return call(*service);
}

std::u16string boundedText(const cvn_wchar* text, size_t limit) {
    std::u16string out;
    for (size_t i = 0; text[i] != 0 && out.size() <= limit; ++i)
        out += static_cast<char16_t>(text[i]);
    return out;
}

}  // namespace

extern "C" {

int selectInterface(int portType, const cvn_wchar* portText) {
    const char* kFunction = "selectInterface";
    std::optional<PortTarget> target =
        portText ? parsePortTarget(portType, boundedText(portText, kMaxPortText)) : std::nullopt;
    if (!target) {
        TraceError(kFunction, __LINE__, "-port type %d: no usable port text", portType);
        return 0;
    }
    int handle = theLibrary.add(std::move(*target));
    if (handle == 0)
        TraceError(kFunction, __LINE__, "-too many handles");
    return handle;
}

int selectCommandMode(int handle, int mode) {
    return onService("selectCommandMode", handle,
                     [&](PosService& s) { return s.selectCommandMode(mode); });
}

int setTimeout(int handle, int milliseconds) {
    return onService("setTimeout", handle,
                     [&](PosService& s) { return s.setTimeout(milliseconds); });
}

int openService(int handle) {
    return onService("openService", handle, [&](PosService& s) { return s.open(); });
}

int openServiceById(int handle, int deviceId) {
    return onService("openServiceById", handle,
                     [&](PosService& s) { return s.openById(deviceId); });
}

int openUSBSerial(int handle, const cvn_wchar* serialNumber) {
    return onService("openUSBSerial", handle, [&](PosService& s) {
        const char* kMethod = "openUSBSerial";
        if (serialNumber == nullptr || serialNumber[0] == 0 ||
            s.target().portType != DRAVIX_PORT_USB)
            return s.record(kMethod, DRAVIX_E_BAD_ARGUMENT);
        std::vector<cvn_wchar> paths(kUsbPathUnits, 0);
        if (!GetUSBDevicePathWBySN(serialNumber, paths.data()))
            return s.record(kMethod, DRAVIX_E_OPEN_FAILED);
        std::u16string list = boundedText(paths.data(), kUsbPathUnits);
        PortTarget target{DRAVIX_PORT_USB, list.substr(0, list.find(u'|')), 0};
        return s.openAt(target);
    });
}

int closeService(int handle, int /*timeout*/) {
    std::shared_ptr<PosService> service = theLibrary.remove(handle);
    if (!service)
        return unknownHandle("closeService", handle);
    return service->close();
}

int restoreStandardState(int handle) {
    return onService("restoreStandardState", handle,
                     [](PosService& s) { return s.restoreStandardState(); });
}

int isOpen(int handle) {
    return onService("isOpen", handle,
                     [](PosService& s) { return s.isOpen() ? DRAVIX_SUCCESS : DRAVIX_E_NOT_OPEN; });
}

int getDeviceId(int handle, cvn_wchar* /*buffer*/, int /*bufferBytes*/) {
    return onService("getDeviceId", handle,
                     [](PosService& s) { return s.record("getDeviceId", DRAVIX_E_NOT_SUPPORTED); });
}

int directIO(int handle, const unsigned char* data, int length) {
    return onService("directIO", handle, [&](PosService& s) { return s.directIO(data, length); });
}

int setTransaction(int handle, int begin) {
    return onService("setTransaction", handle,
                     [&](PosService& s) { return s.setTransaction(begin); });
}

int convertHID(int handle, int /*enable*/) {
    return onService("convertHID", handle,
                     [](PosService& s) { return s.record("convertHID", DRAVIX_E_NOT_SUPPORTED); });
}

int getResult(int handle) {
    return onService("getResult", handle, [](PosService& s) { return s.lastResult(); });
}

int setStatusUpdateEvent(int handle, DRAVIX_STATUS_CALLBACK callback) {
    return onService("setStatusUpdateEvent", handle,
                     [&](PosService& s) { return s.setStatusCallback(callback); });
}

int setDataEvent(int handle, DRAVIX_DATA_CALLBACK callback) {
    return onService("setDataEvent", handle,
                     [&](PosService& s) { return s.setDataCallback(callback); });
}

int printText(int handle, const cvn_wchar* text, const int* attributes) {
    return onService("printText", handle,
                     [&](PosService& s) { return s.printText(text, attributes); });
}

int setTextEncoding(int handle, int codePage) {
    return onService("setTextEncoding", handle,
                     [&](PosService& s) { return s.setTextEncoding(codePage); });
}

int setCharacterset(int handle, int table) {
    return onService("setCharacterset", handle,
                     [&](PosService& s) { return s.setCharacterset(table); });
}

int setInternationalCharacterset(int handle, int country) {
    return onService("setInternationalCharacterset", handle,
                     [&](PosService& s) { return s.setInternationalCharacterset(country); });
}

int cutPaper(int handle, int mode) {
    return onService("cutPaper", handle, [&](PosService& s) { return s.cutPaper(mode); });
}

int setPagemode(int handle, int mode) {
    return onService("setPagemode", handle, [&](PosService& s) { return s.setPagemode(mode); });
}

int setPagemodePrintArea(int handle, int x, int y, int width, int height) {
    return onService("setPagemodePrintArea", handle,
                     [&](PosService& s) { return s.setPagemodePrintArea(x, y, width, height); });
}

int setPagemodeDirection(int handle, int direction) {
    return onService("setPagemodeDirection", handle,
                     [&](PosService& s) { return s.setPagemodeDirection(direction); });
}

int setPagemodePosition(int handle, int x, int y) {
    return onService("setPagemodePosition", handle,
                     [&](PosService& s) { return s.setPagemodePosition(x, y); });
}

int printBitmapFile(int handle, const cvn_wchar* path, int width, int alignment, int brightness,
                    int rasterMode, int dither) {
    return onService("printBitmapFile", handle, [&](PosService& s) {
        return s.printBitmapFile(path, width, alignment, brightness, rasterMode, dither);
    });
}

int print1DBarcode(int handle, const cvn_wchar* data, int symbology, int height, int moduleWidth,
                   int alignment, int textPosition) {
    return onService("print1DBarcode", handle, [&](PosService& s) {
        return s.print1DBarcode(data, symbology, height, moduleWidth, alignment, textPosition);
    });
}

int printQRCode(int handle, const cvn_wchar* data, int moduleSize, int errorLevel, int alignment,
                int model) {
    return onService("printQRCode", handle, [&](PosService& s) {
        return s.printQRCode(data, moduleSize, errorLevel, alignment, model);
    });
}

int printPDF417(int handle, const cvn_wchar* data, int columns, int rows, int moduleWidth,
                int rowHeight, int errorLevel, int truncated, int alignment) {
    return onService("printPDF417", handle, [&](PosService& s) {
        return s.printPDF417(data, columns, rows, moduleWidth, rowHeight, errorLevel, truncated,
                             alignment);
    });
}

int printGS1Databar(int handle, const cvn_wchar* data, int type, int moduleWidth, int alignment) {
    return onService("printGS1Databar", handle, [&](PosService& s) {
        return s.printGS1Databar(data, type, moduleWidth, alignment);
    });
}

int printCompositeBarcode(int handle, const cvn_wchar* data, int linearType, int moduleWidth,
                          int alignment) {
    return onService("printCompositeBarcode", handle, [&](PosService& s) {
        return s.printCompositeBarcode(data, linearType, moduleWidth, alignment);
    });
}

int printDataMatrix(int handle, const cvn_wchar* data, int moduleSize, int alignment) {
    return onService("printDataMatrix", handle,
                     [&](PosService& s) { return s.printDataMatrix(data, moduleSize, alignment); });
}

int checkPrinterStatus(int handle) {
    return onService("checkPrinterStatus", handle,
                     [](PosService& s) { return s.checkPrinterStatus(); });
}

int asbEnable(int handle, int enable) {
    return onService("asbEnable", handle, [&](PosService& s) { return s.asbEnable(enable); });
}

int openDrawer(int handle, int pin) {
    return onService("openDrawer", handle, [&](PosService& s) { return s.openDrawer(pin); });
}

int checkBattStatus(int handle) {
    return onService("checkBattStatus", handle, [](PosService& s) {
        return s.record("checkBattStatus", DRAVIX_E_NOT_SUPPORTED);
    });
}

int getModelName(int handle, cvn_wchar* buffer, int bufferBytes) {
    return onService("getModelName", handle,
                     [&](PosService& s) { return s.getModelName(buffer, bufferBytes); });
}

}  // extern "C"
