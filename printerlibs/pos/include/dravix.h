/*
 * Dravix: the POS printer library. Receipt, mobile and gateway printers, spoken to in
 * ESC/POS through cvnport.
 *
 * A host asks selectInterface for a service handle, opens the service and calls the
 * printing functions with that handle first. Texts are zero-terminated UTF-16
 * (cvn_wchar), integers 32-bit. Every function but selectInterface returns 0 on success
 * and an error code otherwise (DRAVIX_E_*, all negative); getResult repeats the code of
 * the last operation on the handle. Each printing function sends its bytes to the port
 * in one write, or none at all when it fails. docs/pos-functions.md shows the bytes each
 * function sends and how a web page calls it in a job.
 *
 * Handles may be used from several threads at once; an unknown or closed handle gives
 * DRAVIX_E_BAD_HANDLE. The library is loaded at run time and its functions are looked up
 * by these names.
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

/* Results. */
#define DRAVIX_SUCCESS 0
#define DRAVIX_E_BAD_HANDLE (-1)    /* unknown handle, or one closeService ended */
#define DRAVIX_E_NOT_OPEN (-2)      /* the service is not open */
#define DRAVIX_E_OPEN_FAILED (-3)   /* the port could not be opened: printer off or unreachable */
#define DRAVIX_E_WRITE_FAILED (-4)  /* the port took fewer bytes than were sent */
#define DRAVIX_E_NO_REPLY (-5)      /* the printer did not answer in time (off-line) */
#define DRAVIX_E_BAD_ARGUMENT (-6)  /* a null pointer, a value out of range, bad text */
#define DRAVIX_E_NOT_SUPPORTED (-7) /* the function or value is not offered */
#define DRAVIX_E_DOES_NOT_FIT (-8)  /* the code or data cannot fit the paper or the symbol */
#define DRAVIX_E_FILE (-9)          /* the image file is missing or cannot be read */
#define DRAVIX_E_TOO_MANY (-10)     /* too many open printers in this process */
#define DRAVIX_E_NO_CODE_PAGE (-11) /* automatic encoding: a character is in no character table */

/* Port types of selectInterface (the port library's numbers). */
#define DRAVIX_PORT_WIRELESS 1
#define DRAVIX_PORT_NETWORK 2
#define DRAVIX_PORT_BLUETOOTH 4
#define DRAVIX_PORT_USB 16
#define DRAVIX_PORT_SERIAL 32
#define DRAVIX_PORT_PARALLEL 64

/* A printer behind a gateway: the port text starts with its device identifier and "@"
 * ("12@192.168.0.20", "12@192.168.0.20:6101"). Its data travels in gateway packets on
 * that channel. Automatic status reaches watched printers on identifiers 10 to 19. */
#define DRAVIX_GATEWAY_SEPARATOR '@'
#define DRAVIX_GATEWAY_FIRST_DEVICE 1
#define DRAVIX_GATEWAY_LAST_DEVICE 254
#define DRAVIX_GATEWAY_FIRST_STATUS_DEVICE 10
#define DRAVIX_GATEWAY_LAST_STATUS_DEVICE 19

/* Command mode of selectCommandMode. */
#define DRAVIX_MODE_ESCPOS 1

/* Status codes given to the status callback and returned by checkPrinterStatus as bits.
 * The callback gets one code per condition that came or went: the condition's code when
 * it starts, the code plus DRAVIX_STATUS_CLEARED when it ends. */
#define DRAVIX_STATUS_COVER_OPEN 1
#define DRAVIX_STATUS_PAPER_EMPTY 2
#define DRAVIX_STATUS_PAPER_NEAR_END 4
#define DRAVIX_STATUS_PRINTER_ERROR 8
#define DRAVIX_STATUS_OFFLINE 16
#define DRAVIX_STATUS_DRAWER_HIGH 32  /* drawer connector pin 3 high */
#define DRAVIX_STATUS_DISCONNECTED 64 /* the port lost its printer */
#define DRAVIX_STATUS_CLEARED 256

/* printText attributes: an array of seven integers, in this order. */
#define DRAVIX_ATTR_ALIGNMENT 0 /* DRAVIX_ALIGN_* */
#define DRAVIX_ATTR_FONT 1      /* 0 font A, 1 font B, 2 font C */
#define DRAVIX_ATTR_STYLE 2     /* DRAVIX_STYLE_* bits */
#define DRAVIX_ATTR_WIDTH 3     /* character width multiplier 1 to 8 (0 = 1) */
#define DRAVIX_ATTR_HEIGHT 4    /* character height multiplier 1 to 8 (0 = 1) */
#define DRAVIX_ATTR_SMOOTHING 5 /* 1 smooths enlarged characters, 0 does not */
#define DRAVIX_ATTR_SPACING 6   /* extra dots right of each character, 0 to 255 */
#define DRAVIX_ATTR_COUNT 7

#define DRAVIX_ALIGN_LEFT 0
#define DRAVIX_ALIGN_CENTER 1
#define DRAVIX_ALIGN_RIGHT 2

#define DRAVIX_STYLE_BOLD 1
#define DRAVIX_STYLE_UNDERLINE 2
#define DRAVIX_STYLE_UNDERLINE_THICK 4
#define DRAVIX_STYLE_REVERSE 8
#define DRAVIX_STYLE_UPSIDE_DOWN 16

/* print1DBarcode symbologies. */
#define DRAVIX_BARCODE_UPCA 101
#define DRAVIX_BARCODE_UPCE 102
#define DRAVIX_BARCODE_EAN13 103
#define DRAVIX_BARCODE_EAN8 104
#define DRAVIX_BARCODE_CODE39 105
#define DRAVIX_BARCODE_ITF 106
#define DRAVIX_BARCODE_CODABAR 107
#define DRAVIX_BARCODE_CODE93 108
#define DRAVIX_BARCODE_CODE128 110

/* Human-readable text of print1DBarcode. */
#define DRAVIX_HRI_NONE 0
#define DRAVIX_HRI_ABOVE 1
#define DRAVIX_HRI_BELOW 2
#define DRAVIX_HRI_BOTH 3

/* printGS1Databar symbol types. */
#define DRAVIX_DATABAR_STACKED 0
#define DRAVIX_DATABAR_STACKED_OMNIDIRECTIONAL 1
#define DRAVIX_DATABAR_EXPANDED_STACKED 2

/* printCompositeBarcode linear element types. */
#define DRAVIX_COMPOSITE_EAN8 0
#define DRAVIX_COMPOSITE_EAN13 1
#define DRAVIX_COMPOSITE_UPCA 2
#define DRAVIX_COMPOSITE_UPCE6 3
#define DRAVIX_COMPOSITE_UPCE11 4
#define DRAVIX_COMPOSITE_DATABAR 5
#define DRAVIX_COMPOSITE_DATABAR_TRUNCATED 6
#define DRAVIX_COMPOSITE_DATABAR_STACKED 7
#define DRAVIX_COMPOSITE_DATABAR_STACKED_OMNIDIRECTIONAL 8
#define DRAVIX_COMPOSITE_DATABAR_LIMITED 9
#define DRAVIX_COMPOSITE_DATABAR_EXPANDED 10
#define DRAVIX_COMPOSITE_DATABAR_EXPANDED_STACKED 11
#define DRAVIX_COMPOSITE_GS1_128 12

/* printBitmapFile widths. */
#define DRAVIX_BITMAP_PAPER_WIDTH (-1)
#define DRAVIX_BITMAP_ORIGINAL_SIZE (-2)

/* cutPaper modes. */
#define DRAVIX_CUT_FULL 0
#define DRAVIX_CUT_PARTIAL 1
#define DRAVIX_CUT_FEED_FULL 65
#define DRAVIX_CUT_FEED_PARTIAL 66

/* setPagemode modes. */
#define DRAVIX_PAGE_PRINT_AND_LEAVE 0
#define DRAVIX_PAGE_BEGIN 1
#define DRAVIX_PAGE_PRINT 2
#define DRAVIX_PAGE_DISCARD 3

#ifdef __cplusplus
extern "C" {
#endif

/* Called with one status code per change of a watched printer's condition, on the
 * port's read thread. */
typedef void (*DRAVIX_STATUS_CALLBACK)(int status);
/* Called with bytes the printer sent that are neither status nor a reply the library
 * waited for, on the port's read thread. */
typedef void (*DRAVIX_DATA_CALLBACK)(const unsigned char* data, int length);

/* ---- Service ---- */

/* A handle for the printer on a port: portType is DRAVIX_PORT_*, portText the port's
 * name with its settings ("192.168.0.20", "192.168.0.20:6101", "COM1:9600:8:0:0:0", a
 * USB device path), or "<device>@<port text>" for a printer behind a gateway. Returns a
 * handle above 0, or 0 when the type or text cannot name a port. Nothing is opened. */
DRAVIX_EXPORT int DRAVIX_CALL selectInterface(int portType, const cvn_wchar* portText);
/* mode: DRAVIX_MODE_ESCPOS, the one language the library speaks (and its default). */
DRAVIX_EXPORT int DRAVIX_CALL selectCommandMode(int handle, int mode);
/* How long a query (status, model name) waits for the printer's answer: 1 to 60000 ms,
 * 1000 by default. */
DRAVIX_EXPORT int DRAVIX_CALL setTimeout(int handle, int milliseconds);
/* Opens the port (shared with other handles on the same port). Succeeds when the port
 * opens; the printer's own state (cover, paper) is reported by status. */
DRAVIX_EXPORT int DRAVIX_CALL openService(int handle);
/* openService for the printer with this identifier (1 to 254) behind the gateway that the
 * handle's port text names. */
DRAVIX_EXPORT int DRAVIX_CALL openServiceById(int handle, int deviceId);
/* openService for the USB printer with this serial number (port type DRAVIX_PORT_USB). */
DRAVIX_EXPORT int DRAVIX_CALL openUSBSerial(int handle, const cvn_wchar* serialNumber);
/* Closes the port and ends the handle; buffered transaction data is dropped. Writes are
 * complete when a function returns, so timeout has nothing to wait for: pass 0. */
DRAVIX_EXPORT int DRAVIX_CALL closeService(int handle, int timeout);
/* 0 when the service is open, DRAVIX_E_NOT_OPEN or DRAVIX_E_BAD_HANDLE otherwise. */
DRAVIX_EXPORT int DRAVIX_CALL isOpen(int handle);
/* Not supported: DRAVIX_E_NOT_SUPPORTED. */
DRAVIX_EXPORT int DRAVIX_CALL getDeviceId(int handle, cvn_wchar* buffer, int bufferBytes);
/* Sends length bytes (1 to 16 MiB) as they are. */
DRAVIX_EXPORT int DRAVIX_CALL directIO(int handle, const unsigned char* data, int length);
/* begin 1: the printing functions' bytes are kept; begin 0: everything kept goes out in
 * one write. Queries and asbEnable always go out at once. */
DRAVIX_EXPORT int DRAVIX_CALL setTransaction(int handle, int begin);
/* Not supported: DRAVIX_E_NOT_SUPPORTED. */
DRAVIX_EXPORT int DRAVIX_CALL convertHID(int handle, int enable);
/* The result of the handle's last operation. */
DRAVIX_EXPORT int DRAVIX_CALL getResult(int handle);
/* The callback for status codes (null stops them). */
DRAVIX_EXPORT int DRAVIX_CALL setStatusUpdateEvent(int handle, DRAVIX_STATUS_CALLBACK callback);
/* The callback for other bytes from the printer (null stops them). */
DRAVIX_EXPORT int DRAVIX_CALL setDataEvent(int handle, DRAVIX_DATA_CALLBACK callback);

/* ---- Printing ---- */

/* Prints text in the current text encoding with the seven DRAVIX_ATTR_* attributes, or
 * as plain left-aligned font A text when attributes is null. "\n" ends a line. */
DRAVIX_EXPORT int DRAVIX_CALL printText(int handle, const cvn_wchar* text, const int* attributes);
/* Windows code page of the texts: 437, 737, 850, 852, 857, 858, 860, 862, 863, 865, 866,
 * 1250 to 1257 (single-byte character tables), 932, 936, 949, 950 (double-byte mode),
 * 65001 (UTF-8). 437 until changed. */
DRAVIX_EXPORT int DRAVIX_CALL setTextEncoding(int handle, int codePage);
/* Selects the printer's character table by its number (0 to 255); texts follow it when
 * the table is one of the code pages above. */
DRAVIX_EXPORT int DRAVIX_CALL setCharacterset(int handle, int table);
/* International character set: 0 to 17, 66 to 82. */
DRAVIX_EXPORT int DRAVIX_CALL setInternationalCharacterset(int handle, int country);
/* DRAVIX_CUT_*: cut here, or feed to the cutter and cut. */
DRAVIX_EXPORT int DRAVIX_CALL cutPaper(int handle, int mode);
/* DRAVIX_PAGE_*: begin a page, print it (and stay or leave page mode), or discard it. */
DRAVIX_EXPORT int DRAVIX_CALL setPagemode(int handle, int mode);
/* The page's print area in dots: origin x, y (0 to 65535), width, height (1 to 65535). */
DRAVIX_EXPORT int DRAVIX_CALL setPagemodePrintArea(int handle, int x, int y, int width, int height);
/* Print direction in page mode: 0 left to right, 1 bottom to top, 2 right to left, 3 top
 * to bottom. */
DRAVIX_EXPORT int DRAVIX_CALL setPagemodeDirection(int handle, int direction);
/* Print position in the page area, dots (0 to 65535). */
DRAVIX_EXPORT int DRAVIX_CALL setPagemodePosition(int handle, int x, int y);
/* Prints a BMP, PNG or JPEG file (a relative path is taken in the program's directory).
 * width: DRAVIX_BITMAP_ORIGINAL_SIZE, DRAVIX_BITMAP_PAPER_WIDTH or dots; wider than the
 * paper is scaled down. alignment: DRAVIX_ALIGN_*. brightness: -100 to 100 (0 as it is).
 * rasterMode: 0 normal, 1 double width, 2 double height, 3 both. dither: 1 error
 * diffusion, 0 a plain threshold. */
DRAVIX_EXPORT int DRAVIX_CALL printBitmapFile(int handle, const cvn_wchar* path, int width,
                                              int alignment, int brightness, int rasterMode,
                                              int dither);
/* symbology: DRAVIX_BARCODE_*; height 1 to 255 dots; moduleWidth 1 to 6 dots; alignment:
 * DRAVIX_ALIGN_*; textPosition: DRAVIX_HRI_*. */
DRAVIX_EXPORT int DRAVIX_CALL print1DBarcode(int handle, const cvn_wchar* data, int symbology,
                                             int height, int moduleWidth, int alignment,
                                             int textPosition);
/* QR Code model 2: moduleSize 1 to 16 dots; errorLevel 0 L, 1 M, 2 Q, 3 H; alignment:
 * DRAVIX_ALIGN_*; model 0 or 2 (model 2). */
DRAVIX_EXPORT int DRAVIX_CALL printQRCode(int handle, const cvn_wchar* data, int moduleSize,
                                          int errorLevel, int alignment, int model);
/* PDF417: columns 0 (automatic) to 30; rows 0 (automatic) or 3 to 90; moduleWidth 2 to 8
 * dots; rowHeight 2 to 8 module widths; errorLevel 0 to 8; truncated 0 or 1; alignment:
 * DRAVIX_ALIGN_*. */
DRAVIX_EXPORT int DRAVIX_CALL printPDF417(int handle, const cvn_wchar* data, int columns, int rows,
                                          int moduleWidth, int rowHeight, int errorLevel,
                                          int truncated, int alignment);
/* GS1 DataBar (stacked forms): type DRAVIX_DATABAR_*; moduleWidth 2 to 8 dots; alignment:
 * DRAVIX_ALIGN_*. */
DRAVIX_EXPORT int DRAVIX_CALL printGS1Databar(int handle, const cvn_wchar* data, int type,
                                              int moduleWidth, int alignment);
/* Composite symbol: data is the linear element, "|", then the 2D element; linearType:
 * DRAVIX_COMPOSITE_*; moduleWidth 2 to 8 dots; alignment: DRAVIX_ALIGN_*. */
DRAVIX_EXPORT int DRAVIX_CALL printCompositeBarcode(int handle, const cvn_wchar* data,
                                                    int linearType, int moduleWidth, int alignment);
/* Data Matrix (ECC 200, square): moduleSize 2 to 16 dots; alignment: DRAVIX_ALIGN_*. */
DRAVIX_EXPORT int DRAVIX_CALL printDataMatrix(int handle, const cvn_wchar* data, int moduleSize,
                                              int alignment);

/* ---- Printer state ---- */

/* Asks the printer for its state: 0 ready, DRAVIX_STATUS_* bits of what keeps it from
 * printing, or an error code. Changes also reach the status callback. */
DRAVIX_EXPORT int DRAVIX_CALL checkPrinterStatus(int handle);
/* Non-zero: the printer reports on-line/off-line, cover, errors and paper by itself and
 * the changes reach the status callback; 0 stops it. */
DRAVIX_EXPORT int DRAVIX_CALL asbEnable(int handle, int enable);
/* A pulse on drawer connector pin 2 (pin 0) or pin 5 (pin 1). */
DRAVIX_EXPORT int DRAVIX_CALL openDrawer(int handle, int pin);
/* Not supported: DRAVIX_E_NOT_SUPPORTED. */
DRAVIX_EXPORT int DRAVIX_CALL checkBattStatus(int handle);
/* The printer's model name as it answers it ("_" and the name), zero-terminated UTF-16,
 * cut to fit bufferBytes. */
DRAVIX_EXPORT int DRAVIX_CALL getModelName(int handle, cvn_wchar* buffer, int bufferBytes);

#ifdef __cplusplus
}
#endif

#endif /* DRAVIX_H */
