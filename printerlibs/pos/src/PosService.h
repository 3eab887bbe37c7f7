// One service handle: where its printer is, its link while open, and the state its
// functions keep (text encoding, transaction, callbacks, last result). Each function
// checks its arguments, builds its bytes and sends them in one write, or sends nothing
// and returns the reason.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "PortTarget.h"
#include "PrinterLink.h"
#include "PrinterStatus.h"
#include "TextCoding.h"
#include "dravix.h"

class PosService : public LinkListener, public std::enable_shared_from_this<PosService> {
public:
    static constexpr int kPaperWidth = 576;  // dots of 80 mm paper at 203 dpi
    static constexpr int kDefaultTimeoutMs = 1000;
    static constexpr int kMaxTimeoutMs = 60000;
    static constexpr size_t kMaxDirectBytes = 16 * 1024 * 1024;
    static constexpr size_t kMaxTransactionBytes = 64 * 1024 * 1024;
    static constexpr size_t kMaxTextUnits = 1024 * 1024;

    PosService(PortTarget target, LinkOpener opener);
    ~PosService() override;

    PortTarget target() const;
    int lastResult() const { return lastResult_; }
    bool isOpen() const;

    int selectCommandMode(int mode);
    int setTimeout(int milliseconds);
    int open();
    int openAt(const PortTarget& target);
    int openById(int deviceId);
    int close();
    int directIO(const unsigned char* data, int length);
    int setTransaction(int begin);
    int setStatusCallback(DRAVIX_STATUS_CALLBACK callback);
    int setDataCallback(DRAVIX_DATA_CALLBACK callback);
    // Records a result for an operation decided outside the handle.
    int record(const char* method, int result);

    int printText(const cvn_wchar* text, const int* attributes);
    int setTextEncoding(int codePage);
    int setCharacterset(int table);
    int setInternationalCharacterset(int country);
    int cutPaper(int mode);
    int setPagemode(int mode);
    int setPagemodePrintArea(int x, int y, int width, int height);
    int setPagemodeDirection(int direction);
    int setPagemodePosition(int x, int y);
    int printBitmapFile(const cvn_wchar* path, int width, int alignment, int brightness,
                        int rasterMode, int dither);
    int print1DBarcode(const cvn_wchar* data, int symbology, int height, int moduleWidth,
                       int alignment, int textPosition);
    int printQRCode(const cvn_wchar* data, int moduleSize, int errorLevel, int alignment,
                    int model);
    int printPDF417(const cvn_wchar* data, int columns, int rows, int moduleWidth, int rowHeight,
                    int errorLevel, int truncated, int alignment);
    int printGS1Databar(const cvn_wchar* data, int type, int moduleWidth, int alignment);
    int printCompositeBarcode(const cvn_wchar* data, int linearType, int moduleWidth,
                              int alignment);
    int printDataMatrix(const cvn_wchar* data, int moduleSize, int alignment);
    int checkPrinterStatus();
    int asbEnable(int enable);
    int openDrawer(int pin);
    int getModelName(cvn_wchar* buffer, int bufferBytes);

    void onAutomaticStatus(int conditions) override;
    void onConnection(bool online) override;
    void onData(std::string_view bytes) override;

private:
    // Sends (or, in a transaction, keeps) a function's bytes.
    int emit(std::string bytes);
    // The link while open, for a query; none otherwise.
    std::shared_ptr<PrinterLink> link() const;
    void report(int conditions, int scope);
    // A function whose text argument must be whole UTF-16; `encode` builds the bytes from
    // its UTF-8 form.
    int printSymbol(const char* method, const cvn_wchar* data,
                    const std::function<int(std::string_view, std::string&)>& encode);

    PortTarget target_;
    LinkOpener opener_;
    std::atomic<int> lastResult_{DRAVIX_SUCCESS};
    printerstatus::Tracker tracker_;

    mutable std::mutex mutex_;
    std::shared_ptr<PrinterLink> link_;
    int timeoutMs_ = kDefaultTimeoutMs;
    textcoding::CodePage codePage_{};
    bool encodingSent_ = false;
    // Until a code page is chosen, each text picks the character tables it needs.
    bool automaticEncoding_ = true;
    bool utf8Selected_ = false;
    bool inTransaction_ = false;
    std::string transaction_;
    DRAVIX_STATUS_CALLBACK statusCallback_ = nullptr;
    DRAVIX_DATA_CALLBACK dataCallback_ = nullptr;
};
