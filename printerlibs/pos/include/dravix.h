/*
 * Dravix: the POS printer library. Receipt, mobile and gateway printers, spoken to in
 * ESC/POS through cvnport.
 *
 * A host asks selectInterface for a service handle, opens the service and calls the
 * printing functions with that handle first. Texts are zero-terminated UTF-16
 * (cvn_wchar), integers 32-bit. Every function but selectInterface returns 0 on success
 * and an error code otherwise (DRAVIX_E_*); getResult repeats the code of the last
 * operation on the handle.
 *
 * The library is loaded at run time and its functions are looked up by these names.
 */
#ifndef DRAVIX_H
#define DRAVIX_H

#ifndef CVN_WCHAR_DEFINED
#define CVN_WCHAR_DEFINED
#ifdef _WIN32
#include <wchar.h>
typedef wchar_t cvn_wchar;
#elif defined(__cplusplus)
typedef char16_t cvn_wchar;
#else
#include <uchar.h>
typedef char16_t cvn_wchar;
#endif
#endif

#ifdef _WIN32
#define DRAVIX_CALL __stdcall
#ifdef DRAVIX_BUILDING
#define DRAVIX_EXPORT __declspec(dllexport)
#else
#define DRAVIX_EXPORT __declspec(dllimport)
#endif
#else
#define DRAVIX_CALL
#define DRAVIX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Called with one status code per change of a watched printer's condition. */
typedef void (*DRAVIX_STATUS_CALLBACK)(int status);
/* Called with bytes the printer sent that are not status. */
typedef void (*DRAVIX_DATA_CALLBACK)(const unsigned char* data, int length);

/* Service */
DRAVIX_EXPORT int DRAVIX_CALL selectInterface(int portType, const cvn_wchar* portText);
DRAVIX_EXPORT int DRAVIX_CALL selectCommandMode(int handle, int mode);
DRAVIX_EXPORT int DRAVIX_CALL setTimeout(int handle, int milliseconds);
DRAVIX_EXPORT int DRAVIX_CALL openService(int handle);
DRAVIX_EXPORT int DRAVIX_CALL openServiceById(int handle, int deviceId);
DRAVIX_EXPORT int DRAVIX_CALL openUSBSerial(int handle, const cvn_wchar* serialNumber);
DRAVIX_EXPORT int DRAVIX_CALL closeService(int handle, int timeout);
DRAVIX_EXPORT int DRAVIX_CALL isOpen(int handle);
DRAVIX_EXPORT int DRAVIX_CALL getDeviceId(int handle, cvn_wchar* buffer, int bufferBytes);
DRAVIX_EXPORT int DRAVIX_CALL directIO(int handle, const unsigned char* data, int length);
DRAVIX_EXPORT int DRAVIX_CALL setTransaction(int handle, int begin);
DRAVIX_EXPORT int DRAVIX_CALL convertHID(int handle, int enable);
DRAVIX_EXPORT int DRAVIX_CALL getResult(int handle);
DRAVIX_EXPORT int DRAVIX_CALL setStatusUpdateEvent(int handle, DRAVIX_STATUS_CALLBACK callback);
DRAVIX_EXPORT int DRAVIX_CALL setDataEvent(int handle, DRAVIX_DATA_CALLBACK callback);

/* Printing */
DRAVIX_EXPORT int DRAVIX_CALL printText(int handle, const cvn_wchar* text, const int* attributes);
DRAVIX_EXPORT int DRAVIX_CALL setTextEncoding(int handle, int codePage);
DRAVIX_EXPORT int DRAVIX_CALL setCharacterset(int handle, int table);
DRAVIX_EXPORT int DRAVIX_CALL setInternationalCharacterset(int handle, int country);
DRAVIX_EXPORT int DRAVIX_CALL cutPaper(int handle, int mode);
DRAVIX_EXPORT int DRAVIX_CALL setPagemode(int handle, int mode);
DRAVIX_EXPORT int DRAVIX_CALL setPagemodePrintArea(int handle, int x, int y, int width, int height);
DRAVIX_EXPORT int DRAVIX_CALL setPagemodeDirection(int handle, int direction);
DRAVIX_EXPORT int DRAVIX_CALL setPagemodePosition(int handle, int x, int y);
DRAVIX_EXPORT int DRAVIX_CALL printBitmapFile(int handle, const cvn_wchar* path, int width,
                                              int alignment, int p3, int p4, int p5);
DRAVIX_EXPORT int DRAVIX_CALL print1DBarcode(int handle, const cvn_wchar* data, int symbology,
                                             int height, int moduleWidth, int alignment,
                                             int textPosition);
DRAVIX_EXPORT int DRAVIX_CALL printQRCode(int handle, const cvn_wchar* data, int p1, int p2, int p3,
                                          int p4);
DRAVIX_EXPORT int DRAVIX_CALL printPDF417(int handle, const cvn_wchar* data, int p1, int p2, int p3,
                                          int p4, int p5, int p6, int p7);
DRAVIX_EXPORT int DRAVIX_CALL printGS1Databar(int handle, const cvn_wchar* data, int p1, int p2,
                                              int p3);
DRAVIX_EXPORT int DRAVIX_CALL printCompositeBarcode(int handle, const cvn_wchar* data, int p1,
                                                    int p2, int p3);
DRAVIX_EXPORT int DRAVIX_CALL printDataMatrix(int handle, const cvn_wchar* data, int p1, int p2);

/* Printer state */
DRAVIX_EXPORT int DRAVIX_CALL checkPrinterStatus(int handle);
DRAVIX_EXPORT int DRAVIX_CALL asbEnable(int handle, int enable);
DRAVIX_EXPORT int DRAVIX_CALL openDrawer(int handle, int pin);
DRAVIX_EXPORT int DRAVIX_CALL checkBattStatus(int handle);
DRAVIX_EXPORT int DRAVIX_CALL getModelName(int handle, cvn_wchar* buffer, int bufferBytes);

#ifdef __cplusplus
}
#endif

#endif /* DRAVIX_H */
