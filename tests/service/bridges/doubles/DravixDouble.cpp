#include "DravixDouble.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "dravix.h"

namespace {

struct State {
    std::mutex lock;
    int lastHandle = 0;
    std::u16string modelName;
    std::vector<DRAVIX_STATUS_CALLBACK> statusCallbacks;
};

State& state() {
    static State instance;
    return instance;
}

template <typename... Args>
int call(const char* function, const Args&... args) {
    return dravixdouble::recorder().record(function, 0, args...);
}

std::string hex(const unsigned char* data, int length) {
    std::string text;
    char byte[3];
    for (int i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        text += byte;
    }
    return text;
}

}  // namespace

namespace dravixdouble {

CallRecorder& recorder() {
    static CallRecorder instance;
    return instance;
}

void reset() {
    recorder().reset();
    std::lock_guard lock(state().lock);
    state().lastHandle = 0;
    state().modelName.clear();
    state().statusCallbacks.clear();
}

void setModelName(const std::u16string& name) {
    std::lock_guard lock(state().lock);
    state().modelName = name;
}

void reportStatus(int status) {
    std::vector<DRAVIX_STATUS_CALLBACK> callbacks;
    {
        std::lock_guard lock(state().lock);
        callbacks = state().statusCallbacks;
    }
    std::thread reporter([&] {
        for (DRAVIX_STATUS_CALLBACK callback : callbacks)
            callback(status);
    });
    reporter.join();
}

}  // namespace dravixdouble

extern "C" {

int selectInterface(int portType, const cvn_wchar* portText) {
    int handle;
    {
        std::lock_guard lock(state().lock);
        handle = ++state().lastHandle;
    }
    return dravixdouble::recorder().record("selectInterface", handle, portType, portText);
}
int selectCommandMode(int h, int mode) {
    return call("selectCommandMode", h, mode);
}
int setTimeout(int h, int ms) {
    return call("setTimeout", h, ms);
}
int openService(int h) {
    return call("openService", h);
}
int openServiceById(int h, int id) {
    return call("openServiceById", h, id);
}
int openUSBSerial(int h, const cvn_wchar* serial) {
    return call("openUSBSerial", h, serial);
}
int closeService(int h, int timeout) {
    return call("closeService", h, timeout);
}
int isOpen(int h) {
    return call("isOpen", h);
}
int getDeviceId(int h, cvn_wchar* buffer, int bytes) {
    if (bytes >= 2)
        buffer[0] = 0;
    return call("getDeviceId", h, bytes);
}
int directIO(int h, const unsigned char* data, int length) {
    return call("directIO", h, hex(data, length), length);
}
int setTransaction(int h, int begin) {
    return call("setTransaction", h, begin);
}
int convertHID(int h, int enable) {
    return call("convertHID", h, enable);
}
#ifndef DRAVIX_DOUBLE_WITHOUT_GETRESULT
int getResult(int h) {
    return call("getResult", h);
}
#endif
int setStatusUpdateEvent(int h, DRAVIX_STATUS_CALLBACK callback) {
    {
        std::lock_guard lock(state().lock);
        state().statusCallbacks.push_back(callback);
    }
    return call("setStatusUpdateEvent", h);
}
int setDataEvent(int h, DRAVIX_DATA_CALLBACK) {
    return call("setDataEvent", h);
}
int printText(int h, const cvn_wchar* text, const int* attributes) {
    return call("printText", h, text, attributes);
}
int setTextEncoding(int h, int a) {
    return call("setTextEncoding", h, a);
}
int setCharacterset(int h, int a) {
    return call("setCharacterset", h, a);
}
int setInternationalCharacterset(int h, int a) {
    return call("setInternationalCharacterset", h, a);
}
int cutPaper(int h, int a) {
    return call("cutPaper", h, a);
}
int setPagemode(int h, int a) {
    return call("setPagemode", h, a);
}
int setPagemodePrintArea(int h, int a, int b, int c, int d) {
    return call("setPagemodePrintArea", h, a, b, c, d);
}
int setPagemodeDirection(int h, int a) {
    return call("setPagemodeDirection", h, a);
}
int setPagemodePosition(int h, int a, int b) {
    return call("setPagemodePosition", h, a, b);
}
int printBitmapFile(int h, const cvn_wchar* path, int a, int b, int c, int d, int e) {
    return call("printBitmapFile", h, path, a, b, c, d, e);
}
int print1DBarcode(int h, const cvn_wchar* data, int a, int b, int c, int d, int e) {
    return call("print1DBarcode", h, data, a, b, c, d, e);
}
int printQRCode(int h, const cvn_wchar* data, int a, int b, int c, int d) {
    return call("printQRCode", h, data, a, b, c, d);
}
int printPDF417(int h, const cvn_wchar* data, int a, int b, int c, int d, int e, int f, int g) {
    return call("printPDF417", h, data, a, b, c, d, e, f, g);
}
int printGS1Databar(int h, const cvn_wchar* data, int a, int b, int c) {
    return call("printGS1Databar", h, data, a, b, c);
}
int printCompositeBarcode(int h, const cvn_wchar* data, int a, int b, int c) {
    return call("printCompositeBarcode", h, data, a, b, c);
}
int printDataMatrix(int h, const cvn_wchar* data, int a, int b) {
    return call("printDataMatrix", h, data, a, b);
}
int checkPrinterStatus(int h) {
    return call("checkPrinterStatus", h);
}
int asbEnable(int h, int a) {
    return call("asbEnable", h, a);
}
int openDrawer(int h, int a) {
    return call("openDrawer", h, a);
}
int checkBattStatus(int h) {
    return call("checkBattStatus", h);
}
int getModelName(int h, cvn_wchar* buffer, int bytes) {
    int result = call("getModelName", h, bytes);
    std::lock_guard lock(state().lock);
    const size_t units = static_cast<size_t>(bytes) / sizeof(cvn_wchar);
    const size_t copied = std::min(state().modelName.size(), units);  // unterminated when full
    std::copy_n(state().modelName.begin(), copied, buffer);
    return result;
}

}  // extern "C"
