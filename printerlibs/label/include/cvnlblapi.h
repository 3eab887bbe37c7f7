/*
 * cvnlblapi: the label printer library. Label printers, spoken to in ZPL II through
 * cvnport.
 *
 * The library works on one open printer at a time: ConnectPrinter opens it,
 * ClearBuffer starts a label, the job functions add to it, Prints sends it, and
 * DisconnectPrinter closes the printer. Job functions return 1 on success and another
 * value on failure. Texts are zero-terminated single-byte strings of the system code
 * page, except those typed cvn_wchar, which are zero-terminated UTF-16. Integers are
 * 32-bit.
 */
#ifndef CVNLBLAPI_H
#define CVNLBLAPI_H

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
#define CVNLBLAPI_CALL __stdcall
#ifdef CVNLBLAPI_BUILDING
#define CVNLBLAPI_EXPORT __declspec(dllexport)
#else
#define CVNLBLAPI_EXPORT __declspec(dllimport)
#endif
#else
#define CVNLBLAPI_CALL
#define CVNLBLAPI_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Connection and printer state */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ConnectPrinter(int interfaceNumber, const char* portName,
                                                   int baudRate, int dataBits, int parity,
                                                   int stopBits);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ConnectPrinterWithName(int interfaceNumber,
                                                           const char* physicalName,
                                                           const char* portName, int baudRate,
                                                           int dataBits, int parity, int stopBits);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL DisconnectPrinter(void);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL GetPrinterName(char* buffer, int bufferSize);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL checkStatus(void);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ReadStatus(void);
CVNLBLAPI_EXPORT void CVNLBLAPI_CALL DEBUGLOG_ON(void);
CVNLBLAPI_EXPORT void CVNLBLAPI_CALL DEBUGLOG_OFF(void);

/* Label and printer settings */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ClearBuffer(void);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL Prints(int quantity, int copies);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetConfigOfPrinter(int p0, int p1, int p2, int p3, int p4,
                                                       int p5);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetConfigOfPrinterII(int p0, int p1, int p2, int p3, int p4);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetPaper(int p0, int p1, int p2, int p3, int p4, int p5,
                                             int p6);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetPaperII(int p0, int p1, int p2, int p3, int p4);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDirect(const char* data, int sendNow);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintBinaryFile(const char* path);

/* Text */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDeviceFont(int x, int y, int font, int p3, int p4, int p5,
                                                    int p6, const char* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDeviceFontW(int x, int y, int font, int p3, int p4, int p5,
                                                     int p6, int p7, const cvn_wchar* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintVectorFont(int x, int y, const char* font, int p3, int p4,
                                                    const char* p5, int p6, int p7, int p8, int p9,
                                                    const char* p10, int p11, const char* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintVectorFontW(int x, int y, int p2, const char* font, int p4,
                                                     int p5, const char* p6, int p7, int p8, int p9,
                                                     int p10, const char* p11, int p12,
                                                     const cvn_wchar* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFont(int x, int y, const char* faceName, int p3,
                                                  int p4, int p5, int p6, int p7, const char* text,
                                                  int p9);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontW(int x, int y, const cvn_wchar* faceName, int p3,
                                                   int p4, int p5, int p6, int p7,
                                                   const cvn_wchar* text, int p9);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontLib(int x, int y, const char* faceName, int p3,
                                                     int p4, int p5, int p6, int p7,
                                                     const char* text, int p9);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontLibW(int x, int y, const cvn_wchar* faceName,
                                                      int p3, int p4, int p5, int p6, int p7,
                                                      const cvn_wchar* text, int p9);

/* Barcodes */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL Print1DBarcode(int x, int y, int p2, int p3, int p4, int p5,
                                                   int p6, int p7, const char* data);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintPDF417(int x, int y, int p2, int p3, int p4, int p5,
                                                int p6, int p7, int p8, int p9, int p10,
                                                const char* data);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintQRCode(int x, int y, int p2, int p3, int p4, int p5,
                                                const char* data);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDataMatrix(int x, int y, int p2, int p3, int p4,
                                                    const char* data);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintMaxiCode(int x, int y, int p2, const char* data);

/* Images and shapes */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLib(int x, int y, const char* path, int p3, int p4);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibW(int x, int y, int p2, const cvn_wchar* path,
                                                   int p4, int p5);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibWithSize(int x, int y, int width, int height,
                                                          const char* path, int p5, int p6);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibWWithSize(int x, int y, int width, int height,
                                                           int p4, const cvn_wchar* path, int p6,
                                                           int p7);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintBlock(int x1, int y1, int x2, int y2, int p4, int p5);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintCircle(int x, int y, int p2, int p3);

/* RFID */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDSetup(int p0, int p1, int p2, int p3);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDCalibration(void);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDWrite(int p0, int p1, int p2, const char* data);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDPassword(const char* p0, const char* p1, const char* p2,
                                                 const char* p3);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDLock(void);

#ifdef __cplusplus
}
#endif

#endif /* CVNLBLAPI_H */
