/*
 * cvnlblapi: the label printer library. Label printers, spoken to in ZPL II through
 * cvnport.
 *
 * The library works on one open printer at a time: ConnectPrinter opens it, ClearBuffer
 * starts a label, the job functions add to it, Prints sends it in one write, and
 * DisconnectPrinter closes the printer. Calls from several threads are carried out one
 * after the other.
 *
 * Results: job functions return CVNLBL_SUCCESS (1) or one of the CVNLBL_E_* codes below,
 * and a failed call adds nothing. It marks the label unfinished, though: Prints refuses
 * that label (CVNLBL_E_LABEL_UNFINISHED) until ClearBuffer starts a new one, so half a
 * label never reaches the printer. checkStatus and ReadStatus return the printer's
 * state (CVNLBL_STATUS_*).
 *
 * Conventions shared by every function:
 * - x, y come first and are dots from the label home (the top left corner unless
 *   SetPaper moves it); sizes are dots too. A field's origin must lie on the label;
 *   pictures, rasterised text, boxes and circles must lie wholly on it.
 * - rotation: 0 normal, 1 90 degrees clockwise, 2 180 degrees, 3 270 degrees.
 * - magnification: 1 to 10, horizontal first, then vertical.
 * - justification: 0 left (x is the left edge), 1 right (x is the right edge),
 *   2 automatic (by the text's writing direction).
 * - switches: 0 off, 1 on. In settings, 0 keeps the printer's own setting.
 * - reserved parameters must be 0.
 * Texts are zero-terminated strings of the system code page, except those typed
 * cvn_wchar, which are zero-terminated UTF-16. Integers are 32-bit. Relative file names
 * are looked up in the program's folder. docs/label-functions.md describes every
 * function with the ZPL II it sends.
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

/* Results of the connection and job functions. */
#define CVNLBL_SUCCESS 1
#define CVNLBL_E_NOT_CONNECTED (-1)     /* no printer is open */
#define CVNLBL_E_INVALID_ARGUMENT (-2)  /* a value outside its range, a missing text */
#define CVNLBL_E_OUTSIDE_LABEL (-3)     /* the element does not lie on the label */
#define CVNLBL_E_UNKNOWN_FONT (-4)      /* no such device font */
#define CVNLBL_E_BARCODE_DATA (-5)      /* the data cannot be encoded in that symbology */
#define CVNLBL_E_FILE (-6)              /* the file cannot be read, or is no picture */
#define CVNLBL_E_WRITE (-7)             /* the printer did not take every byte */
#define CVNLBL_E_LABEL_UNFINISHED (-8)  /* a job function failed since ClearBuffer */
#define CVNLBL_E_TEXT_NOT_DRAWABLE (-9) /* no installed font shows the text */
#define CVNLBL_E_PORT_OPEN 71           /* the port could not be opened */
#define CVNLBL_E_UNKNOWN_PRINTER 72     /* no attached USB printer has that name */

/* Printer states of checkStatus and ReadStatus. When several hold at once, the first
 * in this order is returned: cover open, paper empty, ribbon end, cutter jammed, media
 * detection error, over-temperature, paused. */
#define CVNLBL_STATUS_OK 0
#define CVNLBL_STATUS_PAPER_EMPTY 1
#define CVNLBL_STATUS_COVER_OPEN 2 /* the print head is lifted */
#define CVNLBL_STATUS_CUTTER_JAMMED 3
#define CVNLBL_STATUS_HEAD_OVERHEAT 4
#define CVNLBL_STATUS_MEDIA_DETECTION 5 /* gap or black mark not found */
#define CVNLBL_STATUS_RIBBON_END 6
#define CVNLBL_STATUS_PAUSED 7
#define CVNLBL_STATUS_NO_ANSWER 8  /* the printer did not answer in time */
#define CVNLBL_STATUS_BAD_ANSWER 9 /* the answer could not be read */
#define CVNLBL_STATUS_PENDING 100  /* ReadStatus: asked, no answer yet */

/* Interface numbers of ConnectPrinter. */
#define CVNLBL_INTERFACE_SERIAL 0
#define CVNLBL_INTERFACE_PARALLEL 1
#define CVNLBL_INTERFACE_USB 2
#define CVNLBL_INTERFACE_NETWORK 3
#define CVNLBL_INTERFACE_WIRELESS 4
#define CVNLBL_INTERFACE_BLUETOOTH 5

/* Device fonts: the printer's own fonts, named by their cell in dots (height x width) at
 * 8 dots per millimetre. Text they cannot show (anything beyond Latin-1) is rasterised
 * in the same size instead of printing as boxes. */
#define CVNLBL_FONT_SCALABLE 0 /* the scalable font, 24 dots per magnification step */
#define CVNLBL_FONT_9X5 1
#define CVNLBL_FONT_11X7 2
#define CVNLBL_FONT_18X10 3
#define CVNLBL_FONT_28X15 4
#define CVNLBL_FONT_26X13 5
#define CVNLBL_FONT_60X40 6
#define CVNLBL_FONT_21X13 7
#define CVNLBL_FONT_ANY_SCRIPT 100 /* always rasterised, 24 dots per magnification step */

/* Barcode types of Print1DBarcode. */
#define CVNLBL_BARCODE_CODE128 0
#define CVNLBL_BARCODE_CODE39 1
#define CVNLBL_BARCODE_EAN13 2
#define CVNLBL_BARCODE_EAN8 3
#define CVNLBL_BARCODE_UPCA 4
#define CVNLBL_BARCODE_UPCE 5
#define CVNLBL_BARCODE_CODE93 6
#define CVNLBL_BARCODE_CODABAR 7
#define CVNLBL_BARCODE_I2OF5 8

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Connection and printer state ---- */

/* Opens the printer. interfaceNumber: CVNLBL_INTERFACE_*. portName: serial and Bluetooth
 * "COM<n>", parallel "LPT<n>", USB a cvnport USB name ("USB", "USB01", "PID_xxxx", a
 * device path, a model name or serial number), network an IPv4 address without port.
 * baudRate: the line speed of serial and Bluetooth ports, the TCP port of network
 * printers (0 gives 9100); dataBits 7 or 8, parity 0 none, 1 odd, 2 even, 3 mark,
 * 4 space, stopBits 0 one, 1 one and a half, 2 two (serial only; ignored elsewhere).
 * An open printer is closed first. Returns CVNLBL_SUCCESS, CVNLBL_E_INVALID_ARGUMENT or
 * CVNLBL_E_PORT_OPEN. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ConnectPrinter(int interfaceNumber, const char* portName,
                                                   int baudRate, int dataBits, int parity,
                                                   int stopBits);
/* Opens the attached USB printer whose model name or serial number is physicalName;
 * when none has it, the printer at portName (when given). Other interfaces: as
 * ConnectPrinter. Also returns CVNLBL_E_UNKNOWN_PRINTER. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ConnectPrinterWithName(int interfaceNumber,
                                                           const char* physicalName,
                                                           const char* portName, int baudRate,
                                                           int dataBits, int parity, int stopBits);
/* Closes the printer and drops the label and the settings. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL DisconnectPrinter(void);
/* Asks the printer for its identity (~HI) and writes its model name, cut to fit and
 * zero-terminated, into buffer. Returns 1 when a name was read, 0 otherwise (buffer
 * then holds an empty text). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL GetPrinterName(char* buffer, int bufferSize);
/* Asks the printer for its state (~HS and ~HQES) and waits up to 2 seconds for the
 * answer. Returns a CVNLBL_STATUS_* code (never 0 without an answer) or
 * CVNLBL_E_NOT_CONNECTED. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL checkStatus(void);
/* The same question without waiting: the first call asks, later calls return
 * CVNLBL_STATUS_PENDING until the answer is there, then its code; the next call asks
 * again. No answer within 2 seconds gives CVNLBL_STATUS_NO_ANSWER. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ReadStatus(void);
/* Switch the library's trace ("Log/cvnlblapi_*.log" in the program's folder). */
CVNLBLAPI_EXPORT void CVNLBLAPI_CALL DEBUGLOG_ON(void);
CVNLBLAPI_EXPORT void CVNLBLAPI_CALL DEBUGLOG_OFF(void);

/* ---- Label and printer settings ---- */

/* Starts a new, empty label; an unfinished one is dropped. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL ClearBuffer(void);
/* Ends the label and sends it in one write: quantity labels, each printed copies times
 * (both 1 or more). The next label starts empty; the settings stay. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL Prints(int quantity, int copies);
/* Printer settings, sent with every label until the printer is closed (0 keeps the
 * printer's setting): speed in inches per second 1-14 (^PR); darkness 1-30 (~SD);
 * printMethod 1 direct thermal, 2 thermal transfer (^MT); afterPrint 1 tear off, 2 peel
 * off, 3 cut, 4 rewind (^MM); orientation 1 normal, 2 upside down (^PO); mirror 1 off,
 * 2 on (^PM). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetConfigOfPrinter(int speed, int darkness, int printMethod,
                                                       int afterPrint, int orientation, int mirror);
/* More printer settings (0 keeps the printer's setting): labelReverse 1 off, 2 on
 * (^LR); reprintAfterError 1 off, 2 on (^JZ); slewSpeed and backfeedSpeed in inches per
 * second 1-14, which need a speed from SetConfigOfPrinter (^PR); reserved. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetConfigOfPrinterII(int labelReverse, int reprintAfterError,
                                                         int slewSpeed, int backfeedSpeed,
                                                         int reserved);
/* The label in dots: width (^PW) and length (^LL), 1-32000, 0 keeps the current size
 * (at first 812 x 1218, 4 x 6 inches at 203 dpi); homeX, homeY the label home (^LH);
 * mediaSensing 0 keep, 1 gaps or notches, 2 black marks, 3 continuous paper (^MN);
 * markOffset the black mark offset in dots, 0-283 (with 2); maxLength the longest label
 * the printer looks for when it measures, 0 keep (^ML). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetPaper(int width, int length, int homeX, int homeY,
                                             int mediaSensing, int markOffset, int maxLength);
/* The label in millimetres: width and length 1-1000 (0 keeps the current one), the
 * printer's resolution in dots per millimetre (6, 8, 12 or 24), and the label home. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL SetPaperII(int widthMm, int lengthMm, int dotsPerMm,
                                               int homeXMm, int homeYMm);
/* Raw printer data: sendNow 1 sends it at once, 0 adds it to the label as it stands. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDirect(const char* data, int sendNow);
/* Sends the bytes of a file at once, as they are. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintBinaryFile(const char* path);

/* ---- Text ---- */

/* Text in a device font (CVNLBL_FONT_*), magnified, rotated; reverse 1 prints it white
 * where it lies on black. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDeviceFont(int x, int y, int font, int hMag, int vMag,
                                                    int rotation, int reverse, const char* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDeviceFontW(int x, int y, int font, int hMag, int vMag,
                                                     int rotation, int reverse, int justification,
                                                     const cvn_wchar* text);
/* Text in a font installed on this computer, rasterised and sent as a picture. faceName:
 * a family name ("DejaVu Sans") or a font file; a face that lacks characters of the
 * text is helped out by secondFace (when given) and then by any installed face that has
 * them. height 1-2000 dots, width 0 (natural) or 1-2000; spacing extra dots between
 * characters as a signed number ("-1", "+2", "" none). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintVectorFont(int x, int y, const char* faceName, int width,
                                                    int height, const char* spacing, int rotation,
                                                    int bold, int italic, int reverse,
                                                    const char* secondFace, int justification,
                                                    const char* text);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintVectorFontW(int x, int y, int reserved,
                                                     const char* faceName, int width, int height,
                                                     const char* spacing, int rotation, int bold,
                                                     int italic, int reverse,
                                                     const char* secondFace, int justification,
                                                     const cvn_wchar* text);
/* The same, shorter: height 1-2000 dots, width 0 (natural) or 1-2000. An empty text
 * adds nothing. PrintTrueFontLib* draw exactly as PrintTrueFont*. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFont(int x, int y, const char* faceName, int height,
                                                  int width, int rotation, int bold, int italic,
                                                  const char* text, int justification);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontW(int x, int y, const cvn_wchar* faceName,
                                                   int height, int width, int rotation, int bold,
                                                   int italic, const cvn_wchar* text,
                                                   int justification);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontLib(int x, int y, const char* faceName, int height,
                                                     int width, int rotation, int bold, int italic,
                                                     const char* text, int justification);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintTrueFontLibW(int x, int y, const cvn_wchar* faceName,
                                                      int height, int width, int rotation, int bold,
                                                      int italic, const cvn_wchar* text,
                                                      int justification);

/* ---- Barcodes ---- */

/* A linear barcode (CVNLBL_BARCODE_*): narrowWidth the narrow bar in dots 1-10; ratio
 * the wide-to-narrow ratio in tenths, 20-30 (0 gives 30; Code 39, Codabar and
 * Interleaved 2 of 5); height 1-32000 dots; readable 0 no text, 1 text below, 2 above. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL Print1DBarcode(int x, int y, int type, int narrowWidth,
                                                   int ratio, int height, int rotation,
                                                   int readable, const char* data);
/* PDF417: moduleWidth 1-10 dots, rowHeight 1-255 dots, securityLevel 0-8, columns 1-30
 * and rows 3-90 (0: the printer chooses), truncate 0 or 1. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintPDF417(int x, int y, int moduleWidth, int rowHeight,
                                                int securityLevel, int columns, int rows,
                                                int truncate, int rotation, int reserved1,
                                                int reserved2, const char* data);
/* QR code: model 1 or 2, errorCorrection 0 L, 1 M, 2 Q, 3 H, magnification 1-10,
 * rotation 0 (printers draw QR codes upright only). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintQRCode(int x, int y, int model, int errorCorrection,
                                                int magnification, int rotation, const char* data);
/* Data Matrix (ECC 200): moduleSize 1-100 dots, symbolSize 0 (automatic) or the even
 * number of modules of a square symbol, 10-144. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintDataMatrix(int x, int y, int moduleSize, int rotation,
                                                    int symbolSize, const char* data);
/* MaxiCode in mode 2-6. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintMaxiCode(int x, int y, int mode, const char* data);

/* ---- Pictures and shapes ---- */

/* A BMP, PNG or JPEG picture, dithered to black and white. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLib(int x, int y, const char* path, int hMag,
                                                  int vMag);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibW(int x, int y, int rotation,
                                                   const cvn_wchar* path, int hMag, int vMag);
/* Scaled to width x height dots (0 for one of them keeps the proportions; 0 for both
 * keeps the size); dithering 0 error diffusion (photos), 1 threshold (drawings). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibWithSize(int x, int y, int width, int height,
                                                          const char* path, int rotation,
                                                          int dithering);
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintImageLibWWithSize(int x, int y, int width, int height,
                                                           int rotation, const cvn_wchar* path,
                                                           int dithering, int reserved);
/* A box between two corners: style 0 outline, 1 filled black, 2 filled white, 3 reverse
 * (black turns white and white black), 4 outline with rounded corners; thickness of the
 * outline in dots (0 gives 1). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintBlock(int x1, int y1, int x2, int y2, int style,
                                               int thickness);
/* A circle whose bounding square has its top left corner at x, y: diameter 3-4095 dots,
 * thickness of the line (0 gives 1; half the diameter or more fills it). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL PrintCircle(int x, int y, int diameter, int thickness);

/* ---- RFID ---- */

/* RFID settings sent with every label (0 keeps the printer's setting): tagType 1-9 as
 * the printer numbers them (8 for EPC Class 1 Gen 2); programPosition in millimetres
 * from the label's leading edge; retries 1-10 labels tried before giving up;
 * errorHandling 1 none, 2 pause, 3 error state (^RS). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDSetup(int tagType, int programPosition, int retries,
                                              int errorHandling);
/* Lets the printer find the best position to program tags (sent at once). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDCalibration(void);
/* Writes data to the label's tag: format 0 hexadecimal digits, 1 ASCII text; memoryBank
 * 0 reserved, 1 EPC, 3 user (2, the tag identifier, cannot be written); startBlock the
 * 16-bit word to begin at (^RF). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDWrite(int format, int memoryBank, int startBlock,
                                              const char* data);
/* Writes the tag's passwords (8 hexadecimal digits each, "" leaves one alone):
 * lockStyle protects them, "" none, "U" unlocked, "L" locked, "O" permanently unlocked,
 * "P" permanently locked; currentPassword is the tag's access password now ("" none). */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDPassword(const char* accessPassword,
                                                 const char* killPassword, const char* lockStyle,
                                                 const char* currentPassword);
/* Locks the tag's EPC and user memory with the access password of RFIDPassword. */
CVNLBLAPI_EXPORT int CVNLBLAPI_CALL RFIDLock(void);

#ifdef __cplusplus
}
#endif

#endif /* CVNLBLAPI_H */
