// The label library's one open printer: its connection, the label being built, and the
// status question in flight. Every public operation runs under one lock, so the calls
// of several threads are carried out one after the other. Texts are UTF-8; results are
// the CVNLBL_* codes of cvnlblapi.h.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "BarcodeFields.h"
#include "LabelFormat.h"
#include "LabelPort.h"
#include "StatusQuery.h"
#include "TextRasterizer.h"
#include "TraceLog.h"

class CMonoBitmap;

class CLabelPrinter {
public:
    struct Timing {
        CStatusQuery::Timing status;
        int shortWaitMs = 20;  // the longest a ReadStatus call waits for bytes
    };

    struct DeviceTextField {
        int x = 0;
        int y = 0;
        int font = 0;
        int hMag = 1;
        int vMag = 1;
        int rotation = 0;
        int reverse = 0;
        int justification = 0;
    };
    struct DrawnTextField {
        int x = 0;
        int y = 0;
        std::string face{};
        std::string secondFace{};
        int height = 24;
        int width = 0;
        std::string spacing{};  // signed dots, "" none
        int rotation = 0;
        int bold = 0;
        int italic = 0;
        int reverse = 0;
        int justification = 0;
        int reserved = 0;
    };
    struct PictureField {
        int x = 0;
        int y = 0;
        std::string path{};
        int hMag = 1;
        int vMag = 1;
        int width = 0;
        int height = 0;
        int rotation = 0;
        int dithering = 0;
        int reserved = 0;
    };

    explicit CLabelPrinter(std::unique_ptr<CLabelPortOpener> opener);
    CLabelPrinter(std::unique_ptr<CLabelPortOpener> opener, Timing timing);
    ~CLabelPrinter();
    CLabelPrinter(const CLabelPrinter&) = delete;
    CLabelPrinter& operator=(const CLabelPrinter&) = delete;

    // Connection and state
    int connect(int interfaceNumber, const std::string& portName, int baudRate, int dataBits,
                int parity, int stopBits);
    int connectWithName(int interfaceNumber, const std::string& physicalName,
                        const std::string& portName, int baudRate, int dataBits, int parity,
                        int stopBits);
    int disconnect();
    int printerName(char* buffer, int bufferSize);
    int checkStatus();
    int readStatus();

    // Label and settings
    int clearBuffer();
    int prints(int quantity, int copies);
    int setConfig(int speed, int darkness, int printMethod, int afterPrint, int orientation,
                  int mirror);
    int setConfigII(int labelReverse, int reprintAfterError, int slewSpeed, int backfeedSpeed,
                    int reserved);
    int setPaper(int width, int length, int homeX, int homeY, int mediaSensing, int markOffset,
                 int maxLength);
    int setPaperMillimetres(int widthMm, int lengthMm, int dotsPerMm, int homeXMm, int homeYMm);
    int printDirect(const std::string& data, int sendNow);
    int printBinaryFile(const std::string& path);

    // Elements; `method` names the caller in trace lines.
    int deviceText(const char* method, const DeviceTextField& field, const std::string& text);
    int drawnText(const char* method, const DrawnTextField& field, const std::string& text);
    int picture(const char* method, const PictureField& field);
    int linearBarcode(int x, int y, const barcodes::LinearOptions& options,
                      const std::string& data);
    int pdf417(int x, int y, const barcodes::Pdf417Options& options, int reserved1, int reserved2,
               const std::string& data);
    int qrCode(int x, int y, int model, int errorCorrection, int magnification, int rotation,
               const std::string& data);
    int dataMatrix(int x, int y, int moduleSize, int rotation, int symbolSize,
                   const std::string& data);
    int maxiCode(int x, int y, int mode, const std::string& data);
    int block(int x1, int y1, int x2, int y2, int style, int thickness);
    int circle(int x, int y, int diameter, int thickness);

    // RFID
    int rfidSetup(int tagType, int programPosition, int retries, int errorHandling);
    int rfidCalibration();
    int rfidWrite(int format, int memoryBank, int startBlock, const std::string& data);
    int rfidPassword(const std::string& accessPassword, const std::string& killPassword,
                     const std::string& lockStyle, const std::string& currentPassword);
    int rfidLock();

    // A text argument that was a null pointer.
    int missingText(const char* method);

private:
    using Lock = std::lock_guard<std::mutex>;

    int openPort(const char* method, int portType, const std::string& portName);
    void closePort();
    bool connected(const char* method, int line);
    // Traces the failure, marks the label unfinished and returns `code`.
    int reject(const char* method, int line, int code, const char* format, ...)
        VEMBRIX_PRINTF(5, 6);
    int offLabel(const char* method, int x, int y);
    int addBarcode(const char* method, int x, int y,
                   const std::function<barcodes::Field()>& encode);
    int addDrawing(const char* method, int x, int y, const CMonoBitmap& bitmap, int rotation,
                   int reverse, int justification);
    int drawText(const char* method, int x, int y, const TextStyle& style, int rotation,
                 int reverse, int justification, const std::string& text);
    int send(const char* method, std::string_view bytes);
    int answerOf(CStatusQuery& query, int64_t waitUntil);

    std::mutex mutex_;
    std::unique_ptr<CLabelPortOpener> opener_;
    Timing timing_;
    std::unique_ptr<CLabelPort> port_;
    CLabelFormat label_;
    std::optional<CStatusQuery> pendingStatus_;
};
