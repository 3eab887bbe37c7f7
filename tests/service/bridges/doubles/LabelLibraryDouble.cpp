#include "LabelLibraryDouble.h"

#include <cstring>

#include "cvnlblapi.h"

namespace {

constexpr int kOk = 1;

std::mutex nameLock;
std::string printerName;

template <typename... Args>
int call(const char* function, const Args&... args) {
    return labeldouble::recorder().record(function, kOk, args...);
}

}  // namespace

namespace labeldouble {

CallRecorder& recorder() {
    static CallRecorder instance;
    return instance;
}

void setPrinterName(const std::string& name) {
    std::lock_guard lock(nameLock);
    printerName = name;
}

}  // namespace labeldouble

extern "C" {

int ConnectPrinter(int iface, const char* port, int baud, int bits, int parity, int stop) {
    return call("ConnectPrinter", iface, port, baud, bits, parity, stop);
}
int ConnectPrinterWithName(int iface, const char* physical, const char* port, int baud, int bits,
                           int parity, int stop) {
    return call("ConnectPrinterWithName", iface, physical, port, baud, bits, parity, stop);
}
int DisconnectPrinter(void) {
    return call("DisconnectPrinter");
}
int GetPrinterName(char* buffer, int size) {
    int result = call("GetPrinterName", size);
    std::lock_guard lock(nameLock);
    std::strncpy(buffer, printerName.c_str(), static_cast<size_t>(size));
    return result;
}
int checkStatus(void) {
    return labeldouble::recorder().record("checkStatus", 0);
}
int ReadStatus(void) {
    return labeldouble::recorder().record("ReadStatus", 0);
}
void DEBUGLOG_ON(void) {
    call("DEBUGLOG_ON");
}
void DEBUGLOG_OFF(void) {
    call("DEBUGLOG_OFF");
}
int ClearBuffer(void) {
    return call("ClearBuffer");
}
int Prints(int a, int b) {
    return call("Prints", a, b);
}
int SetConfigOfPrinter(int a, int b, int c, int d, int e, int f) {
    return call("SetConfigOfPrinter", a, b, c, d, e, f);
}
int SetConfigOfPrinterII(int a, int b, int c, int d, int e) {
    return call("SetConfigOfPrinterII", a, b, c, d, e);
}
int SetPaper(int a, int b, int c, int d, int e, int f, int g) {
    return call("SetPaper", a, b, c, d, e, f, g);
}
int SetPaperII(int a, int b, int c, int d, int e) {
    return call("SetPaperII", a, b, c, d, e);
}
int PrintDirect(const char* data, int now) {
    return call("PrintDirect", data, now);
}
int PrintBinaryFile(const char* path) {
    return call("PrintBinaryFile", path);
}
int PrintDeviceFont(int a, int b, int c, int d, int e, int f, int g, const char* t) {
    return call("PrintDeviceFont", a, b, c, d, e, f, g, t);
}
int PrintDeviceFontW(int a, int b, int c, int d, int e, int f, int g, int h, const cvn_wchar* t) {
    return call("PrintDeviceFontW", a, b, c, d, e, f, g, h, t);
}
int PrintVectorFont(int a, int b, const char* c, int d, int e, const char* f, int g, int h, int i,
                    int j, const char* k, int l, const char* m) {
    return call("PrintVectorFont", a, b, c, d, e, f, g, h, i, j, k, l, m);
}
int PrintVectorFontW(int a, int b, int c, const char* d, int e, int f, const char* g, int h, int i,
                     int j, int k, const char* l, int m, const cvn_wchar* n) {
    return call("PrintVectorFontW", a, b, c, d, e, f, g, h, i, j, k, l, m, n);
}
int PrintTrueFont(int a, int b, const char* c, int d, int e, int f, int g, int h, const char* i,
                  int j) {
    return call("PrintTrueFont", a, b, c, d, e, f, g, h, i, j);
}
int PrintTrueFontW(int a, int b, const cvn_wchar* c, int d, int e, int f, int g, int h,
                   const cvn_wchar* i, int j) {
    return call("PrintTrueFontW", a, b, c, d, e, f, g, h, i, j);
}
int PrintTrueFontLib(int a, int b, const char* c, int d, int e, int f, int g, int h, const char* i,
                     int j) {
    return call("PrintTrueFontLib", a, b, c, d, e, f, g, h, i, j);
}
int PrintTrueFontLibW(int a, int b, const cvn_wchar* c, int d, int e, int f, int g, int h,
                      const cvn_wchar* i, int j) {
    return call("PrintTrueFontLibW", a, b, c, d, e, f, g, h, i, j);
}
int Print1DBarcode(int a, int b, int c, int d, int e, int f, int g, int h, const char* t) {
    return call("Print1DBarcode", a, b, c, d, e, f, g, h, t);
}
int PrintPDF417(int a, int b, int c, int d, int e, int f, int g, int h, int i, int j, int k,
                const char* t) {
    return call("PrintPDF417", a, b, c, d, e, f, g, h, i, j, k, t);
}
int PrintQRCode(int a, int b, int c, int d, int e, int f, const char* t) {
    return call("PrintQRCode", a, b, c, d, e, f, t);
}
int PrintDataMatrix(int a, int b, int c, int d, int e, const char* t) {
    return call("PrintDataMatrix", a, b, c, d, e, t);
}
int PrintMaxiCode(int a, int b, int c, const char* t) {
    return call("PrintMaxiCode", a, b, c, t);
}
int PrintImageLib(int a, int b, const char* path, int d, int e) {
    return call("PrintImageLib", a, b, path, d, e);
}
int PrintImageLibW(int a, int b, int c, const cvn_wchar* path, int e, int f) {
    return call("PrintImageLibW", a, b, c, path, e, f);
}
int PrintImageLibWithSize(int a, int b, int c, int d, const char* path, int f, int g) {
    return call("PrintImageLibWithSize", a, b, c, d, path, f, g);
}
int PrintImageLibWWithSize(int a, int b, int c, int d, int e, const cvn_wchar* path, int g, int h) {
    return call("PrintImageLibWWithSize", a, b, c, d, e, path, g, h);
}
int PrintBlock(int a, int b, int c, int d, int e, int f) {
    return call("PrintBlock", a, b, c, d, e, f);
}
int PrintCircle(int a, int b, int c, int d) {
    return call("PrintCircle", a, b, c, d);
}
int RFIDSetup(int a, int b, int c, int d) {
    return call("RFIDSetup", a, b, c, d);
}
int RFIDCalibration(void) {
    return call("RFIDCalibration");
}
int RFIDWrite(int a, int b, int c, const char* t) {
    return call("RFIDWrite", a, b, c, t);
}
int RFIDPassword(const char* a, const char* b, const char* c, const char* d) {
    return call("RFIDPassword", a, b, c, d);
}
int RFIDLock(void) {
    return call("RFIDLock");
}

}  // extern "C"
