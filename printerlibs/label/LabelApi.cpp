// The exported C interface of the label library: converts the arguments and hands each
// call to the one CLabelPrinter of the process.
#include <optional>
#include <string>

#include "CvnPortConnection.h"
#include "LabelPrinter.h"
#include "TraceLog.h"
#include "cvnlblapi.h"
#include "platform/Text.h"

namespace {

constexpr const char* kTraceName = "cvnlblapi";

CLabelPrinter& printer() {
    static CLabelPrinter instance(std::make_unique<CCvnPortOpener>());
    return instance;
}

// Texts of the system code page and UTF-16 texts, as UTF-8; nothing for a null pointer.
std::optional<std::string> utf8(const char* text) {
    if (!text)
        return std::nullopt;
    return platform::utf16ToUtf8(platform::ansiToWide(text));
}

std::optional<std::string> utf8(const cvn_wchar* text) {
    if (!text)
        return std::nullopt;
    return platform::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}

int missing(const char* method) {
    return printer().missingText(method);
}

int deviceText(const char* method, const CLabelPrinter::DeviceTextField& field,
               const std::optional<std::string>& text) {
    return text ? printer().deviceText(method, field, *text) : missing(method);
}

template <typename Face, typename Text>
int trueTypeText(const char* method, int x, int y, Face faceName, int height, int width,
                 int rotation, int bold, int italic, Text text, int justification) {
    auto face = utf8(faceName);
    auto content = utf8(text);
    if (!face || !content)
        return missing(method);
    return printer().drawnText(method,
                               {.x = x,
                                .y = y,
                                .face = *face,
                                .height = height,
                                .width = width,
                                .rotation = rotation,
                                .bold = bold,
                                .italic = italic,
                                .justification = justification},
                               *content);
}

template <typename Text>
int vectorText(const char* method, CLabelPrinter::DrawnTextField field, const char* faceName,
               const char* spacing, const char* secondFace, Text text) {
    auto face = utf8(faceName);
    auto space = utf8(spacing);
    auto second = utf8(secondFace);
    auto content = utf8(text);
    if (!face || !space || !second || !content)
        return missing(method);
    field.face = *face;
    field.spacing = *space;
    field.secondFace = *second;
    return printer().drawnText(method, field, *content);
}

int picture(const char* method, CLabelPrinter::PictureField field,
            const std::optional<std::string>& path) {
    if (!path)
        return missing(method);
    field.path = *path;
    return printer().picture(method, field);
}

}  // namespace

extern "C" {

int CVNLBLAPI_CALL ConnectPrinter(int interfaceNumber, const char* portName, int baudRate,
                                  int dataBits, int parity, int stopBits) {
    auto port = utf8(portName);
    if (!port)
        return missing("CLabelPrinter::ConnectPrinter");
    return printer().connect(interfaceNumber, *port, baudRate, dataBits, parity, stopBits);
}

int CVNLBLAPI_CALL ConnectPrinterWithName(int interfaceNumber, const char* physicalName,
                                          const char* portName, int baudRate, int dataBits,
                                          int parity, int stopBits) {
    auto physical = utf8(physicalName ? physicalName : "");
    auto port = utf8(portName ? portName : "");
    return printer().connectWithName(interfaceNumber, *physical, *port, baudRate, dataBits, parity,
                                     stopBits);
}

int CVNLBLAPI_CALL DisconnectPrinter(void) {
    return printer().disconnect();
}

int CVNLBLAPI_CALL GetPrinterName(char* buffer, int bufferSize) {
    return printer().printerName(buffer, bufferSize);
}

int CVNLBLAPI_CALL checkStatus(void) {
    return printer().checkStatus();
}

int CVNLBLAPI_CALL ReadStatus(void) {
    return printer().readStatus();
}

void CVNLBLAPI_CALL DEBUGLOG_ON(void) {
    TraceOpen(kTraceDefaultKey, 1, kTraceName);
}

void CVNLBLAPI_CALL DEBUGLOG_OFF(void) {
    TraceClose(kTraceDefaultKey);
}

int CVNLBLAPI_CALL ClearBuffer(void) {
    return printer().clearBuffer();
}

int CVNLBLAPI_CALL Prints(int quantity, int copies) {
    return printer().prints(quantity, copies);
}

int CVNLBLAPI_CALL SetConfigOfPrinter(int speed, int darkness, int printMethod, int afterPrint,
                                      int orientation, int mirror) {
    return printer().setConfig(speed, darkness, printMethod, afterPrint, orientation, mirror);
}

int CVNLBLAPI_CALL SetConfigOfPrinterII(int labelReverse, int reprintAfterError, int slewSpeed,
                                        int backfeedSpeed, int reserved) {
    return printer().setConfigII(labelReverse, reprintAfterError, slewSpeed, backfeedSpeed,
                                 reserved);
}

int CVNLBLAPI_CALL SetPaper(int width, int length, int homeX, int homeY, int mediaSensing,
                            int markOffset, int maxLength) {
    return printer().setPaper(width, length, homeX, homeY, mediaSensing, markOffset, maxLength);
}

int CVNLBLAPI_CALL SetPaperII(int widthMm, int lengthMm, int dotsPerMm, int homeXMm, int homeYMm) {
    return printer().setPaperMillimetres(widthMm, lengthMm, dotsPerMm, homeXMm, homeYMm);
}

int CVNLBLAPI_CALL PrintDirect(const char* data, int sendNow) {
    auto text = utf8(data);
    return text ? printer().printDirect(*text, sendNow) : missing("CLabelPrinter::PrintDirect");
}

int CVNLBLAPI_CALL PrintBinaryFile(const char* path) {
    auto file = utf8(path);
    return file ? printer().printBinaryFile(*file) : missing("CLabelPrinter::PrintBinaryFile");
}

int CVNLBLAPI_CALL PrintDeviceFont(int x, int y, int font, int hMag, int vMag, int rotation,
                                   int reverse, const char* text) {
    return deviceText("CLabelPrinter::PrintDeviceFont",
                      {x, y, font, hMag, vMag, rotation, reverse, 0}, utf8(text));
}

int CVNLBLAPI_CALL PrintDeviceFontW(int x, int y, int font, int hMag, int vMag, int rotation,
                                    int reverse, int justification, const cvn_wchar* text) {
    return deviceText("CLabelPrinter::PrintDeviceFontW",
                      {x, y, font, hMag, vMag, rotation, reverse, justification}, utf8(text));
}

int CVNLBLAPI_CALL PrintVectorFont(int x, int y, const char* faceName, int width, int height,
                                   const char* spacing, int rotation, int bold, int italic,
                                   int reverse, const char* secondFace, int justification,
                                   const char* text) {
    return vectorText("CLabelPrinter::PrintVectorFont",
                      {.x = x,
                       .y = y,
                       .height = height,
                       .width = width,
                       .rotation = rotation,
                       .bold = bold,
                       .italic = italic,
                       .reverse = reverse,
                       .justification = justification},
                      faceName, spacing, secondFace, text);
}

int CVNLBLAPI_CALL PrintVectorFontW(int x, int y, int reserved, const char* faceName, int width,
                                    int height, const char* spacing, int rotation, int bold,
                                    int italic, int reverse, const char* secondFace,
                                    int justification, const cvn_wchar* text) {
    return vectorText("CLabelPrinter::PrintVectorFontW",
                      {.x = x,
                       .y = y,
                       .height = height,
                       .width = width,
                       .rotation = rotation,
                       .bold = bold,
                       .italic = italic,
                       .reverse = reverse,
                       .justification = justification,
                       .reserved = reserved},
                      faceName, spacing, secondFace, text);
}

int CVNLBLAPI_CALL PrintTrueFont(int x, int y, const char* faceName, int height, int width,
                                 int rotation, int bold, int italic, const char* text,
                                 int justification) {
    return trueTypeText("CLabelPrinter::PrintTrueFont", x, y, faceName, height, width, rotation,
                        bold, italic, text, justification);
}

int CVNLBLAPI_CALL PrintTrueFontW(int x, int y, const cvn_wchar* faceName, int height, int width,
                                  int rotation, int bold, int italic, const cvn_wchar* text,
                                  int justification) {
    return trueTypeText("CLabelPrinter::PrintTrueFontW", x, y, faceName, height, width, rotation,
                        bold, italic, text, justification);
}

int CVNLBLAPI_CALL PrintTrueFontLib(int x, int y, const char* faceName, int height, int width,
                                    int rotation, int bold, int italic, const char* text,
                                    int justification) {
    return trueTypeText("CLabelPrinter::PrintTrueFontLib", x, y, faceName, height, width, rotation,
                        bold, italic, text, justification);
}

int CVNLBLAPI_CALL PrintTrueFontLibW(int x, int y, const cvn_wchar* faceName, int height, int width,
                                     int rotation, int bold, int italic, const cvn_wchar* text,
                                     int justification) {
    return trueTypeText("CLabelPrinter::PrintTrueFontLibW", x, y, faceName, height, width, rotation,
                        bold, italic, text, justification);
}

int CVNLBLAPI_CALL Print1DBarcode(int x, int y, int type, int narrowWidth, int ratio, int height,
                                  int rotation, int readable, const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::Print1DBarcode");
    return printer().linearBarcode(x, y, {type, narrowWidth, ratio, height, rotation, readable},
                                   *text);
}

int CVNLBLAPI_CALL PrintPDF417(int x, int y, int moduleWidth, int rowHeight, int securityLevel,
                               int columns, int rows, int truncate, int rotation, int reserved1,
                               int reserved2, const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::PrintPDF417");
    return printer().pdf417(
        x, y, {moduleWidth, rowHeight, securityLevel, columns, rows, truncate, rotation}, reserved1,
        reserved2, *text);
}

int CVNLBLAPI_CALL PrintQRCode(int x, int y, int model, int errorCorrection, int magnification,
                               int rotation, const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::PrintQRCode");
    return printer().qrCode(x, y, model, errorCorrection, magnification, rotation, *text);
}

int CVNLBLAPI_CALL PrintDataMatrix(int x, int y, int moduleSize, int rotation, int symbolSize,
                                   const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::PrintDataMatrix");
    return printer().dataMatrix(x, y, moduleSize, rotation, symbolSize, *text);
}

int CVNLBLAPI_CALL PrintMaxiCode(int x, int y, int mode, const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::PrintMaxiCode");
    return printer().maxiCode(x, y, mode, *text);
}

int CVNLBLAPI_CALL PrintImageLib(int x, int y, const char* path, int hMag, int vMag) {
    return picture("CLabelPrinter::PrintImageLib", {.x = x, .y = y, .hMag = hMag, .vMag = vMag},
                   utf8(path));
}

int CVNLBLAPI_CALL PrintImageLibW(int x, int y, int rotation, const cvn_wchar* path, int hMag,
                                  int vMag) {
    return picture("CLabelPrinter::PrintImageLibW",
                   {.x = x, .y = y, .hMag = hMag, .vMag = vMag, .rotation = rotation}, utf8(path));
}

int CVNLBLAPI_CALL PrintImageLibWithSize(int x, int y, int width, int height, const char* path,
                                         int rotation, int dithering) {
    return picture("CLabelPrinter::PrintImageLibWithSize",
                   {.x = x,
                    .y = y,
                    .width = width,
                    .height = height,
                    .rotation = rotation,
                    .dithering = dithering},
                   utf8(path));
}

int CVNLBLAPI_CALL PrintImageLibWWithSize(int x, int y, int width, int height, int rotation,
                                          const cvn_wchar* path, int dithering, int reserved) {
    return picture("CLabelPrinter::PrintImageLibWWithSize",
                   {.x = x,
                    .y = y,
                    .width = width,
                    .height = height,
                    .rotation = rotation,
                    .dithering = dithering,
                    .reserved = reserved},
                   utf8(path));
}

int CVNLBLAPI_CALL PrintBlock(int x1, int y1, int x2, int y2, int style, int thickness) {
    return printer().block(x1, y1, x2, y2, style, thickness);
}

int CVNLBLAPI_CALL PrintCircle(int x, int y, int diameter, int thickness) {
    return printer().circle(x, y, diameter, thickness);
}

int CVNLBLAPI_CALL RFIDSetup(int tagType, int programPosition, int retries, int errorHandling) {
    return printer().rfidSetup(tagType, programPosition, retries, errorHandling);
}

int CVNLBLAPI_CALL RFIDCalibration(void) {
    return printer().rfidCalibration();
}

int CVNLBLAPI_CALL RFIDWrite(int format, int memoryBank, int startBlock, const char* data) {
    auto text = utf8(data);
    if (!text)
        return missing("CLabelPrinter::RFIDWrite");
    return printer().rfidWrite(format, memoryBank, startBlock, *text);
}

int CVNLBLAPI_CALL RFIDPassword(const char* accessPassword, const char* killPassword,
                                const char* lockStyle, const char* currentPassword) {
    auto access = utf8(accessPassword);
    auto kill = utf8(killPassword);
    auto style = utf8(lockStyle);
    auto current = utf8(currentPassword);
    if (!access || !kill || !style || !current)
        return missing("CLabelPrinter::RFIDPassword");
    return printer().rfidPassword(*access, *kill, *style, *current);
}

int CVNLBLAPI_CALL RFIDLock(void) {
    return printer().rfidLock();
}

}  // extern "C"
