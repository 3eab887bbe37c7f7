#include "PosService.h"

#include <algorithm>

#include "AutoEncoding.h"
#include "Barcodes.h"
#include "EscPos.h"
#include "Raster.h"
#include "Symbols.h"
#include "TraceLog.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr int kMaxDots = 65535;
constexpr int kDrawerOnTime = 25;    // 2 ms units: a 50 ms pulse
constexpr int kDrawerOffTime = 250;  // then 500 ms off
constexpr int kCutFeed = 0;          // feed to the cutter, nothing more
constexpr int kMaxBrightness = 100;
constexpr int kModelNameLimit = 256;

bool inRange(int value, int low, int high) {
    return value >= low && value <= high;
}

bool validAlignment(int alignment) {
    return inRange(alignment, DRAVIX_ALIGN_LEFT, DRAVIX_ALIGN_RIGHT);
}

// Every result but success leaves a trace line saying which function refused what.
const char* resultText(int result) {
    switch (result) {
        case DRAVIX_E_BAD_HANDLE:
            return "unknown or closed handle";
        case DRAVIX_E_NOT_OPEN:
            return "service not open";
        case DRAVIX_E_OPEN_FAILED:
            return "port cannot be opened";
        case DRAVIX_E_WRITE_FAILED:
            return "write failed";
        case DRAVIX_E_NO_REPLY:
            return "printer did not answer";
        case DRAVIX_E_BAD_ARGUMENT:
            return "bad argument";
        case DRAVIX_E_NOT_SUPPORTED:
            return "not supported";
        case DRAVIX_E_DOES_NOT_FIT:
            return "does not fit";
        case DRAVIX_E_FILE:
            return "file cannot be read";
        case DRAVIX_E_NO_CODE_PAGE:
            return "character in no code page";
        default:
            return "error";
    }
}

std::optional<std::string> utf8Of(const cvn_wchar* text) {
    if (text == nullptr)
        return std::nullopt;
    std::optional<std::u16string> checked =
        textcoding::checkedText(reinterpret_cast<const char16_t*>(text), PosService::kMaxTextUnits);
    if (!checked)
        return std::nullopt;
    return platform::utf16ToUtf8(*checked);
}

std::string textAttributes(const int* attributes) {
    int values[DRAVIX_ATTR_COUNT] = {};
    if (attributes != nullptr)
        std::copy(attributes, attributes + DRAVIX_ATTR_COUNT, values);
    int style = values[DRAVIX_ATTR_STYLE];
    int underline = (style & DRAVIX_STYLE_UNDERLINE_THICK) ? 2
                    : (style & DRAVIX_STYLE_UNDERLINE)     ? 1
                                                           : 0;
    int width = std::max(values[DRAVIX_ATTR_WIDTH], 1) - 1;
    int height = std::max(values[DRAVIX_ATTR_HEIGHT], 1) - 1;
    using namespace escpos;
    return command(kSelectJustification, values[DRAVIX_ATTR_ALIGNMENT]) +
           command(kSelectFont, values[DRAVIX_ATTR_FONT]) +
           command(kEmphasis, (style & DRAVIX_STYLE_BOLD) ? 1 : 0) +
           command(kUnderline, underline) +
           command(kReverse, (style & DRAVIX_STYLE_REVERSE) ? 1 : 0) +
           command(kUpsideDown, (style & DRAVIX_STYLE_UPSIDE_DOWN) ? 1 : 0) +
           command(kCharacterSize, width << 4 | height) +
           command(kSmoothing, values[DRAVIX_ATTR_SMOOTHING]) +
           command(kRightSpacing, values[DRAVIX_ATTR_SPACING]);
}

bool validAttributes(const int* attributes) {
    if (attributes == nullptr)
        return true;
    static constexpr int kHighest[DRAVIX_ATTR_COUNT] = {2, 2, 31, 8, 8, 1, 255};
    for (int i = 0; i < DRAVIX_ATTR_COUNT; ++i)
        if (!inRange(attributes[i], 0, kHighest[i]))
            return false;
    return true;
}

// "_" name NUL, the answer to GS I 67; bytes before the "_" are left over from before.
size_t modelNameReply(std::string_view received) {
    size_t start = received.find('_');
    if (start == std::string_view::npos)
        return 0;
    size_t end = received.find('\0', start);
    return end == std::string_view::npos ? 0 : end + 1;
}

std::string programPath(const std::string& path) {
    if (!path.empty() && path.front() == platform::kPathSeparator)
        return path;
    return platform::joinPath(platform::programDirectory(), path);
}

}  // namespace

PosService::PosService(PortTarget target, LinkOpener opener)
    : target_(std::move(target)),
      opener_(std::move(opener)),
      codePage_(*textcoding::find(textcoding::kDefaultCodePage)) {}

PosService::~PosService() = default;

int PosService::record(const char* method, int result) {
    lastResult_ = result;
    if (result < 0)
        TraceError(method, __LINE__, "-%s (%d)", resultText(result), result);
    return result;
}

PortTarget PosService::target() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return target_;
}

bool PosService::isOpen() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return link_ != nullptr;
}

std::shared_ptr<PrinterLink> PosService::link() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return link_;
}

int PosService::emit(std::string bytes) {
    std::shared_ptr<PrinterLink> current;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!link_)
            return DRAVIX_E_NOT_OPEN;
        if (inTransaction_) {
            if (transaction_.size() + bytes.size() > kMaxTransactionBytes)
                return DRAVIX_E_DOES_NOT_FIT;
            transaction_ += bytes;
            return DRAVIX_SUCCESS;
        }
        current = link_;
    }
    return current->send(bytes) ? DRAVIX_SUCCESS : DRAVIX_E_WRITE_FAILED;
}

int PosService::selectCommandMode(int mode) {
    return record("PosService::selectCommandMode",
                  mode == DRAVIX_MODE_ESCPOS ? DRAVIX_SUCCESS : DRAVIX_E_NOT_SUPPORTED);
}

int PosService::setTimeout(int milliseconds) {
    if (!inRange(milliseconds, 1, kMaxTimeoutMs))
        return record("PosService::setTimeout", DRAVIX_E_BAD_ARGUMENT);
    std::lock_guard<std::mutex> guard(mutex_);
    timeoutMs_ = milliseconds;
    return record("PosService::setTimeout", DRAVIX_SUCCESS);
}

int PosService::open() {
    return openAt(target());
}

int PosService::openAt(const PortTarget& target) {
    const char* kMethod = "PosService::open";
    if (isOpen())
        return record(kMethod, DRAVIX_SUCCESS);
    std::unique_ptr<PrinterLink> opened;
    int result = opener_(target, weak_from_this(), opened);
    if (result != DRAVIX_SUCCESS)
        return record(kMethod, result);
    std::lock_guard<std::mutex> guard(mutex_);
    target_ = target;
    link_ = std::move(opened);
    encodingSent_ = false;
    TraceWrite(kMethod, __LINE__, "-open (device %d)", target.deviceId);
    lastResult_ = DRAVIX_SUCCESS;
    return DRAVIX_SUCCESS;
}

int PosService::openById(int deviceId) {
    if (!validGatewayDevice(deviceId))
        return record("PosService::openById", DRAVIX_E_BAD_ARGUMENT);
    PortTarget at = target();
    at.deviceId = deviceId;
    return openAt(at);
}

int PosService::close() {
    std::shared_ptr<PrinterLink> closing;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        closing = std::move(link_);
        inTransaction_ = false;
        transaction_.clear();
    }
    // The link closes the port when the last query using it has let go.
    closing.reset();
    return record("PosService::close", DRAVIX_SUCCESS);
}

int PosService::directIO(const unsigned char* data, int length) {
    const char* kMethod = "PosService::directIO";
    if (data == nullptr || length <= 0 || static_cast<size_t>(length) > kMaxDirectBytes)
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    return record(kMethod, emit(std::string(reinterpret_cast<const char*>(data),
                                            static_cast<size_t>(length))));
}

int PosService::setTransaction(int begin) {
    const char* kMethod = "PosService::setTransaction";
    if (begin != 0 && begin != 1)
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::shared_ptr<PrinterLink> current;
    std::string kept;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!link_)
            return record(kMethod, DRAVIX_E_NOT_OPEN);
        if (begin == 1 || !inTransaction_) {
            inTransaction_ = inTransaction_ || begin == 1;
            return record(kMethod, DRAVIX_SUCCESS);
        }
        inTransaction_ = false;
        kept.swap(transaction_);
        current = link_;
    }
    if (kept.empty())
        return record(kMethod, DRAVIX_SUCCESS);
    return record(kMethod, current->send(kept) ? DRAVIX_SUCCESS : DRAVIX_E_WRITE_FAILED);
}

int PosService::setStatusCallback(DRAVIX_STATUS_CALLBACK callback) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        statusCallback_ = callback;
    }
    return record("PosService::setStatusCallback", DRAVIX_SUCCESS);
}

int PosService::setDataCallback(DRAVIX_DATA_CALLBACK callback) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        dataCallback_ = callback;
    }
    return record("PosService::setDataCallback", DRAVIX_SUCCESS);
}

int PosService::printText(const cvn_wchar* text, const int* attributes) {
    const char* kMethod = "PosService::printText";
    if (text == nullptr || !validAttributes(attributes))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::optional<std::u16string> checked =
        textcoding::checkedText(reinterpret_cast<const char16_t*>(text), kMaxTextUnits);
    if (!checked)
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    bool automatic;
    bool selectFirst;
    bool fromUtf8;
    textcoding::CodePage page;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        automatic = automaticEncoding_;
        selectFirst = !encodingSent_;
        fromUtf8 = utf8Selected_;
        page = codePage_;
    }
    std::optional<textcoding::EncodedText> encoded;
    if (automatic)
        encoded = textcoding::encodeAutomatic(
            *checked, selectFirst ? std::nullopt : std::optional(page), fromUtf8);
    else  // the printer may still be in the table a previous user left it in
        encoded =
            textcoding::EncodedText{selectFirst ? textcoding::selectBytes(page, fromUtf8) : "",
                                    textcoding::encode(*checked, page), page};
    if (!encoded)
        return record(kMethod, DRAVIX_E_NO_CODE_PAGE);
    int result = emit(encoded->select + textAttributes(attributes) + encoded->text);
    if (result == DRAVIX_SUCCESS) {
        std::lock_guard<std::mutex> guard(mutex_);
        encodingSent_ = true;
        if (automatic) {
            codePage_ = encoded->last;
            utf8Selected_ = false;
        }
    }
    return record(kMethod, result);
}

int PosService::setTextEncoding(int codePage) {
    const char* kMethod = "PosService::setTextEncoding";
    if (codePage == textcoding::kAutomatic) {
        std::lock_guard<std::mutex> guard(mutex_);
        automaticEncoding_ = true;
        encodingSent_ = false;  // the next text selects its table whatever came before
        return record(kMethod, DRAVIX_SUCCESS);
    }
    std::optional<textcoding::CodePage> page = textcoding::find(codePage);
    if (!page)
        return record(kMethod, DRAVIX_E_NOT_SUPPORTED);
    bool fromUtf8;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        fromUtf8 = utf8Selected_;
    }
    int result = emit(textcoding::selectBytes(*page, fromUtf8));
    if (result == DRAVIX_SUCCESS) {
        std::lock_guard<std::mutex> guard(mutex_);
        codePage_ = *page;
        utf8Selected_ = page->kind == textcoding::Kind::Utf8;
        encodingSent_ = true;
        automaticEncoding_ = false;
    }
    return record(kMethod, result);
}

int PosService::setCharacterset(int table) {
    const char* kMethod = "PosService::setCharacterset";
    if (!inRange(table, 0, 255))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::optional<textcoding::CodePage> known = textcoding::findByTable(table);
    textcoding::CodePage page =
        known.value_or(textcoding::CodePage{0, textcoding::Kind::SingleByte, table});
    bool fromUtf8;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        fromUtf8 = utf8Selected_;
    }
    int result = emit(textcoding::selectBytes(page, fromUtf8));
    if (result == DRAVIX_SUCCESS) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (known)
            codePage_ = *known;
        utf8Selected_ = false;
        encodingSent_ = true;
        automaticEncoding_ = false;
    }
    return record(kMethod, result);
}

int PosService::setInternationalCharacterset(int country) {
    const char* kMethod = "PosService::setInternationalCharacterset";
    if (!inRange(country, 0, 17) && !inRange(country, 66, 82))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    return record(kMethod, emit(escpos::command(escpos::kInternationalSet, country)));
}

int PosService::cutPaper(int mode) {
    const char* kMethod = "PosService::cutPaper";
    std::string bytes;
    switch (mode) {
        case DRAVIX_CUT_FULL:
        case DRAVIX_CUT_PARTIAL:
        case '0':
        case '1':
            bytes = escpos::command(escpos::kCut, mode);
            break;
        case DRAVIX_CUT_FEED_FULL:
        case DRAVIX_CUT_FEED_PARTIAL:
            bytes = escpos::command(escpos::kCut, mode);
            escpos::putByte(bytes, kCutFeed);
            break;
        default:
            return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    }
    return record(kMethod, emit(std::move(bytes)));
}

int PosService::setPagemode(int mode) {
    const char* kMethod = "PosService::setPagemode";
    switch (mode) {
        case DRAVIX_PAGE_PRINT_AND_LEAVE:
            return record(kMethod, emit(std::string(1, escpos::FF)));
        case DRAVIX_PAGE_BEGIN:
            return record(kMethod, emit(std::string(escpos::kPageMode)));
        case DRAVIX_PAGE_PRINT:
            return record(kMethod, emit(std::string(escpos::kPrintPage)));
        case DRAVIX_PAGE_DISCARD:
            return record(kMethod, emit(std::string(escpos::kStandardMode)));
        default:
            return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    }
}

int PosService::setPagemodePrintArea(int x, int y, int width, int height) {
    const char* kMethod = "PosService::setPagemodePrintArea";
    if (!inRange(x, 0, kMaxDots) || !inRange(y, 0, kMaxDots) || !inRange(width, 1, kMaxDots) ||
        !inRange(height, 1, kMaxDots))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::string bytes(escpos::kPrintArea);
    for (int value : {x, y, width, height})
        escpos::putWord(bytes, value);
    return record(kMethod, emit(std::move(bytes)));
}

int PosService::setPagemodeDirection(int direction) {
    const char* kMethod = "PosService::setPagemodeDirection";
    if (!inRange(direction, 0, 3))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    return record(kMethod, emit(escpos::command(escpos::kPrintDirection, direction)));
}

int PosService::setPagemodePosition(int x, int y) {
    const char* kMethod = "PosService::setPagemodePosition";
    if (!inRange(x, 0, kMaxDots) || !inRange(y, 0, kMaxDots))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::string bytes(escpos::kAbsoluteX);
    escpos::putWord(bytes, x);
    bytes += escpos::kAbsoluteY;
    escpos::putWord(bytes, y);
    return record(kMethod, emit(std::move(bytes)));
}

int PosService::printBitmapFile(const cvn_wchar* path, int width, int alignment, int brightness,
                                int rasterMode, int dither) {
    const char* kMethod = "PosService::printBitmapFile";
    std::optional<std::string> name = utf8Of(path);
    bool widthValid = width == DRAVIX_BITMAP_ORIGINAL_SIZE || width == DRAVIX_BITMAP_PAPER_WIDTH ||
                      inRange(width, 1, kMaxDots);
    if (!name || name->empty() || !widthValid || !validAlignment(alignment) ||
        !inRange(brightness, -kMaxBrightness, kMaxBrightness) || !inRange(rasterMode, 0, 3) ||
        !inRange(dither, 0, 1))
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::optional<std::string> file = platform::readWholeFile(programPath(*name));
    std::optional<raster::Grey> picture = file ? raster::decode(*file) : std::nullopt;
    if (!picture) {
        TraceError(kMethod, __LINE__, "cannot read the picture %s", name->c_str());
        return record(kMethod, DRAVIX_E_FILE);
    }
    // Double-width dots take twice the room.
    int widest = (rasterMode & 1) ? kPaperWidth / 2 : kPaperWidth;
    int wanted = width == DRAVIX_BITMAP_ORIGINAL_SIZE ? picture->width
                 : width == DRAVIX_BITMAP_PAPER_WIDTH ? widest
                                                      : width;
    raster::Grey scaled = raster::scale(*picture, std::min(wanted, widest));
    std::string bytes = escpos::command(escpos::kSelectJustification, alignment);
    bytes += raster::rasterBytes(raster::toBitmap(scaled, brightness, dither == 1), rasterMode);
    return record(kMethod, emit(std::move(bytes)));
}

int PosService::printSymbol(const char* method, const cvn_wchar* data,
                            const std::function<int(std::string_view, std::string&)>& encode) {
    std::optional<std::string> text = utf8Of(data);
    if (!text)
        return record(method, DRAVIX_E_BAD_ARGUMENT);
    std::string bytes;
    int result = encode(*text, bytes);
    if (result != DRAVIX_SUCCESS)
        return record(method, result);
    return record(method, emit(std::move(bytes)));
}

int PosService::print1DBarcode(const cvn_wchar* data, int symbology, int height, int moduleWidth,
                               int alignment, int textPosition) {
    barcodes::Linear barcode{symbology, height, moduleWidth, alignment, textPosition};
    return printSymbol("PosService::print1DBarcode", data,
                       [&](std::string_view text, std::string& out) {
                           return barcodes::encode(text, barcode, kPaperWidth, out);
                       });
}

int PosService::printQRCode(const cvn_wchar* data, int moduleSize, int errorLevel, int alignment,
                            int model) {
    symbols::QrCode symbol{moduleSize, errorLevel, alignment, model};
    return printSymbol("PosService::printQRCode", data,
                       [&](std::string_view text, std::string& out) {
                           return symbols::qrCode(text, symbol, kPaperWidth, out);
                       });
}

int PosService::printPDF417(const cvn_wchar* data, int columns, int rows, int moduleWidth,
                            int rowHeight, int errorLevel, int truncated, int alignment) {
    symbols::Pdf417 symbol{columns, rows, moduleWidth, rowHeight, errorLevel, truncated, alignment};
    return printSymbol("PosService::printPDF417", data,
                       [&](std::string_view text, std::string& out) {
                           return symbols::pdf417(text, symbol, kPaperWidth, out);
                       });
}

int PosService::printGS1Databar(const cvn_wchar* data, int type, int moduleWidth, int alignment) {
    symbols::Simple symbol{type, moduleWidth, alignment};
    return printSymbol("PosService::printGS1Databar", data,
                       [&](std::string_view text, std::string& out) {
                           return symbols::gs1DataBar(text, symbol, kPaperWidth, out);
                       });
}

int PosService::printCompositeBarcode(const cvn_wchar* data, int linearType, int moduleWidth,
                                      int alignment) {
    symbols::Simple symbol{linearType, moduleWidth, alignment};
    return printSymbol("PosService::printCompositeBarcode", data,
                       [&](std::string_view text, std::string& out) {
                           return symbols::composite(text, symbol, kPaperWidth, out);
                       });
}

int PosService::printDataMatrix(const cvn_wchar* data, int moduleSize, int alignment) {
    symbols::Simple symbol{0, moduleSize, alignment};
    return printSymbol("PosService::printDataMatrix", data,
                       [&](std::string_view text, std::string& out) {
                           return symbols::dataMatrix(text, symbol, kPaperWidth, out);
                       });
}

int PosService::checkPrinterStatus() {
    const char* kMethod = "PosService::checkPrinterStatus";
    std::shared_ptr<PrinterLink> current = link();
    if (!current)
        return record(kMethod, DRAVIX_E_NOT_OPEN);
    std::string query;
    for (char n : {escpos::kStatusPrinter, escpos::kStatusOffline, escpos::kStatusError,
                   escpos::kStatusPaper})
        query += escpos::command(escpos::kRealTimeStatus, n);
    int timeout;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        timeout = timeoutMs_;
    }
    std::optional<std::string> reply = current->exchange(
        query, [](std::string_view received) { return received.size() >= 4 ? size_t{4} : 0; },
        timeout);
    if (!reply)
        return record(kMethod, DRAVIX_E_NO_REPLY);
    int conditions =
        printerstatus::fromRealTimeStatus(reinterpret_cast<const unsigned char*>(reply->data()));
    report(conditions, printerstatus::kAllConditions & ~DRAVIX_STATUS_DISCONNECTED);
    lastResult_ = DRAVIX_SUCCESS;
    // The drawer does not keep the printer from printing.
    return conditions & ~DRAVIX_STATUS_DRAWER_HIGH;
}

int PosService::asbEnable(int enable) {
    const char* kMethod = "PosService::asbEnable";
    std::shared_ptr<PrinterLink> current = link();
    if (!current)
        return record(kMethod, DRAVIX_E_NOT_OPEN);
    return record(kMethod, current->watchStatus(enable != 0));
}

int PosService::openDrawer(int pin) {
    const char* kMethod = "PosService::openDrawer";
    if (pin != 0 && pin != 1)
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    std::string bytes = escpos::command(escpos::kDrawerPulse, pin);
    escpos::putByte(bytes, kDrawerOnTime);
    escpos::putByte(bytes, kDrawerOffTime);
    return record(kMethod, emit(std::move(bytes)));
}

int PosService::getModelName(cvn_wchar* buffer, int bufferBytes) {
    const char* kMethod = "PosService::getModelName";
    int units = bufferBytes / static_cast<int>(sizeof(cvn_wchar));
    if (buffer == nullptr || units < 1)
        return record(kMethod, DRAVIX_E_BAD_ARGUMENT);
    buffer[0] = 0;
    std::shared_ptr<PrinterLink> current = link();
    if (!current)
        return record(kMethod, DRAVIX_E_NOT_OPEN);
    int timeout;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        timeout = timeoutMs_;
    }
    std::optional<std::string> reply = current->exchange(
        escpos::command(escpos::kPrinterInfo, escpos::kInfoModelName), modelNameReply, timeout);
    if (!reply)
        return record(kMethod, DRAVIX_E_NO_REPLY);
    std::string_view name(*reply);
    name = name.substr(name.find('_'));
    name.remove_suffix(1);  // the closing NUL
    size_t count = std::min(
        {name.size(), static_cast<size_t>(units - 1), static_cast<size_t>(kModelNameLimit)});
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<cvn_wchar>(static_cast<unsigned char>(name[i]));
    buffer[count] = 0;
    return record(kMethod, DRAVIX_SUCCESS);
}

void PosService::report(int conditions, int scope) {
    DRAVIX_STATUS_CALLBACK callback;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        callback = statusCallback_;
    }
    for (int code : tracker_.update(conditions, scope)) {
        TraceWrite("PosService::report", __LINE__, "status %d", code);
        if (callback)
            callback(code);
    }
}

void PosService::onAutomaticStatus(int conditions) {
    report(conditions, printerstatus::kAllConditions & ~DRAVIX_STATUS_DISCONNECTED);
}

void PosService::onConnection(bool online) {
    report(online ? 0 : DRAVIX_STATUS_DISCONNECTED, DRAVIX_STATUS_DISCONNECTED);
}

void PosService::onData(std::string_view bytes) {
    DRAVIX_DATA_CALLBACK callback;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        callback = dataCallback_;
    }
    if (callback)
        callback(reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<int>(bytes.size()));
}
