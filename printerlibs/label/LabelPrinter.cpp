#include "LabelPrinter.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "MonoBitmap.h"
#include "PictureReader.h"
#include "ZplText.h"
#include "cvnlblapi.h"
#include "platform/Files.h"

namespace {

// cvnport port types.
constexpr int kPortWireless = 1;
constexpr int kPortNetwork = 2;
constexpr int kPortBluetooth = 4;
constexpr int kPortUsb = 16;
constexpr int kPortSerial = 32;
constexpr int kPortParallel = 64;

constexpr int kDefaultTcpPort = 9100;
constexpr long long kMaxLabelCount = 99'999'999;
constexpr size_t kMaxFileBytes = 64u << 20;
constexpr int kMaxSpacing = 100;
constexpr int kMaxTextHeight = 2000;
constexpr int kMaxPositionMm = 999;
constexpr const char* kIdentityQuestion = "~HI";

// The printer's fonts: ZPL font name and cell (height x width in dots) per number.
struct DeviceFont {
    int number;
    char name;
    int height;
    int width;
};
constexpr DeviceFont kDeviceFonts[] = {
    {CVNLBL_FONT_SCALABLE, '0', 24, 24},   {CVNLBL_FONT_9X5, 'A', 9, 5},
    {CVNLBL_FONT_11X7, 'B', 11, 7},        {CVNLBL_FONT_18X10, 'D', 18, 10},
    {CVNLBL_FONT_28X15, 'E', 28, 15},      {CVNLBL_FONT_26X13, 'F', 26, 13},
    {CVNLBL_FONT_60X40, 'G', 60, 40},      {CVNLBL_FONT_21X13, 'H', 21, 13},
    {CVNLBL_FONT_ANY_SCRIPT, '0', 24, 24},
};
constexpr char32_t kLastPrinterCharacter = 0xFF;  // printer fonts end with Latin-1

const DeviceFont* deviceFont(int number) {
    for (const DeviceFont& font : kDeviceFonts)
        if (font.number == number)
            return &font;
    return nullptr;
}

bool between(long long value, long long low, long long high) {
    return value >= low && value <= high;
}

bool isSwitch(int value) {
    return value == 0 || value == 1;
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string fieldOrigin(int x, int y, int justification) {
    std::string out = "^FO" + std::to_string(x) + ',' + std::to_string(y);
    if (justification != 0)
        out += ',' + std::to_string(justification);
    return out;
}

// "-3", "+2", "5" or "" (0).
std::optional<int> spacingOf(const std::string& text) {
    if (text.empty())
        return 0;
    size_t start = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (start == text.size() || text.size() - start > 3 ||
        text.find_first_not_of("0123456789", start) != std::string::npos)
        return std::nullopt;
    int value = std::stoi(text.substr(start));
    if (value > kMaxSpacing)
        return std::nullopt;
    return text[0] == '-' ? -value : value;
}

bool isHex(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

bool isPassword(const std::string& text) {
    return text.size() == 8 && isHex(text);
}

// A relative name is looked up beside the program, then in the folder of the files the
// program keeps (VEMBRIX_HOME when that is set).
std::string resolvePath(const std::string& path) {
    if (path.empty() || path[0] == platform::kPathSeparator)
        return path;
    std::string executable = platform::executablePath();
    std::string besideProgram =
        platform::joinPath(executable.substr(0, executable.rfind(platform::kPathSeparator)), path);
    if (platform::canOpenForReading(besideProgram))
        return besideProgram;
    std::string inHome = platform::joinPath(platform::programDirectory(), path);
    return platform::canOpenForReading(inHome) ? inHome : besideProgram;
}

// The cvnport port type and name for a printer of the label bridge's interface numbers.
struct PortRequest {
    int portType = 0;
    std::string portName;
    std::string problem;
};

PortRequest portRequest(int interfaceNumber, const std::string& portName, int baudRate,
                        int dataBits, int parity, int stopBits) {
    if (portName.empty())
        return {0, {}, "no port name"};
    bool plainName = portName.find(':') == std::string::npos;
    switch (interfaceNumber) {
        case CVNLBL_INTERFACE_SERIAL:
            if (!plainName || baudRate <= 0 || !between(dataBits, 5, 8) || !between(parity, 0, 4) ||
                !between(stopBits, 0, 2))
                return {0, {}, "serial settings out of range"};
            return {kPortSerial,
                    portName + ':' + std::to_string(baudRate) + ':' + std::to_string(dataBits) +
                        ':' + std::to_string(parity) + ':' + std::to_string(stopBits),
                    {}};
        case CVNLBL_INTERFACE_PARALLEL:
            return {kPortParallel, portName, {}};
        case CVNLBL_INTERFACE_USB:
            return {kPortUsb, portName, {}};
        case CVNLBL_INTERFACE_NETWORK:
        case CVNLBL_INTERFACE_WIRELESS: {
            if (!plainName || !between(baudRate, 0, 65535))
                return {0, {}, "network address or TCP port out of range"};
            int tcpPort = baudRate == 0 ? kDefaultTcpPort : baudRate;
            int type = interfaceNumber == CVNLBL_INTERFACE_NETWORK ? kPortNetwork : kPortWireless;
            return {type, portName + ':' + std::to_string(tcpPort), {}};
        }
        case CVNLBL_INTERFACE_BLUETOOTH:
            if (!plainName || baudRate <= 0)
                return {0, {}, "Bluetooth port name or baud rate out of range"};
            return {kPortBluetooth, portName + ':' + std::to_string(baudRate), {}};
        default:
            return {0, {}, "unknown interface number"};
    }
}

// Cut to fit `size` bytes with the terminating zero, never inside a UTF-8 sequence.
void copyCut(const std::string& text, char* buffer, int size) {
    size_t keep = std::min(text.size(), static_cast<size_t>(size - 1));
    while (keep > 0 && keep < text.size() &&
           (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
        --keep;
    std::memcpy(buffer, text.data(), keep);
    buffer[keep] = '\0';
}

}  // namespace

CLabelPrinter::CLabelPrinter(std::unique_ptr<CLabelPortOpener> opener, Timing timing)
    : opener_(std::move(opener)), timing_(timing) {}

CLabelPrinter::CLabelPrinter(std::unique_ptr<CLabelPortOpener> opener)
    : CLabelPrinter(std::move(opener), Timing()) {}

CLabelPrinter::~CLabelPrinter() = default;

// ---- Connection ----

int CLabelPrinter::openPort(const char* method, int portType, const std::string& portName) {
    closePort();
    port_ = opener_->open(portType, portName);
    if (!port_) {
        TraceError(method, __LINE__, "Port open error: %s (port type %d)", portName.c_str(),
                   portType);
        return CVNLBL_E_PORT_OPEN;
    }
    TraceWrite(method, __LINE__, "opened %s (port type %d)", portName.c_str(), portType);
    return CVNLBL_SUCCESS;
}

void CLabelPrinter::closePort() {
    if (port_)
        TraceWrite("CLabelPrinter::closePort", __LINE__, "closing the printer");
    port_.reset();
    label_.reset();
    pendingStatus_.reset();
}

int CLabelPrinter::connect(int interfaceNumber, const std::string& portName, int baudRate,
                           int dataBits, int parity, int stopBits) {
    static constexpr const char* kMethod = "CLabelPrinter::ConnectPrinter";
    Lock lock(mutex_);
    PortRequest request =
        portRequest(interfaceNumber, portName, baudRate, dataBits, parity, stopBits);
    if (!request.problem.empty()) {
        TraceError(kMethod, __LINE__, "%s (interface %d, port %s)", request.problem.c_str(),
                   interfaceNumber, portName.c_str());
        return CVNLBL_E_INVALID_ARGUMENT;
    }
    return openPort(kMethod, request.portType, request.portName);
}

int CLabelPrinter::connectWithName(int interfaceNumber, const std::string& physicalName,
                                   const std::string& portName, int baudRate, int dataBits,
                                   int parity, int stopBits) {
    static constexpr const char* kMethod = "CLabelPrinter::ConnectPrinterWithName";
    if (interfaceNumber != CVNLBL_INTERFACE_USB || physicalName.empty())
        return connect(interfaceNumber, portName, baudRate, dataBits, parity, stopBits);
    Lock lock(mutex_);
    std::string path = opener_->findUsbPrinter(physicalName);
    if (!path.empty())
        return openPort(kMethod, kPortUsb, path);
    if (portName.empty()) {
        TraceError(kMethod, __LINE__, "Unknown printer name: %s", physicalName.c_str());
        closePort();
        return CVNLBL_E_UNKNOWN_PRINTER;
    }
    TraceWrite(kMethod, __LINE__, "no attached printer is called %s: opening %s",
               physicalName.c_str(), portName.c_str());
    return openPort(kMethod, kPortUsb, portName);
}

int CLabelPrinter::disconnect() {
    Lock lock(mutex_);
    if (!connected("CLabelPrinter::DisconnectPrinter", __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    closePort();
    return CVNLBL_SUCCESS;
}

bool CLabelPrinter::connected(const char* method, int line) {
    if (port_)
        return true;
    TraceError(method, line, "no printer is connected");
    return false;
}

int CLabelPrinter::reject(const char* method, int line, int code, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TraceError(method, line, "%s (result %d)", text, code);
    label_.markUnfinished();
    return code;
}

int CLabelPrinter::offLabel(const char* method, int x, int y) {
    return reject(method, __LINE__, CVNLBL_E_OUTSIDE_LABEL, "origin %d,%d is off the label", x, y);
}

int CLabelPrinter::missingText(const char* method) {
    Lock lock(mutex_);
    return reject(method, __LINE__, CVNLBL_E_INVALID_ARGUMENT, "a text argument is missing");
}

int CLabelPrinter::send(const char* method, std::string_view bytes) {
    if (bytes.empty() || port_->write(bytes))
        return CVNLBL_SUCCESS;
    TraceError(method, __LINE__, "the printer did not take all %zu bytes", bytes.size());
    return CVNLBL_E_WRITE;
}

// ---- Questions to the printer ----

int CLabelPrinter::answerOf(CStatusQuery& query, int64_t waitUntil) {
    for (;;) {
        int64_t now = nowMs();
        if (std::optional<int> code = query.result(now))
            return *code;
        if (now >= waitUntil)
            return CVNLBL_STATUS_PENDING;
        int64_t wait = std::min(query.decisionAt(), waitUntil) - now;
        std::string bytes = port_->receive(std::chrono::milliseconds(std::max<int64_t>(wait, 1)));
        query.feed(bytes, nowMs());
    }
}

int CLabelPrinter::checkStatus() {
    static constexpr const char* kMethod = "CLabelPrinter::checkStatus";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    pendingStatus_.reset();
    port_->discardReceived();
    if (send(kMethod, CStatusQuery::kQuestion) != CVNLBL_SUCCESS)
        return CVNLBL_STATUS_NO_ANSWER;
    CStatusQuery query(nowMs(), timing_.status);
    int code = answerOf(query, query.decisionAt());
    if (code != CVNLBL_STATUS_OK)
        TraceError(kMethod, __LINE__, "printer status %d", code);
    return code;
}

int CLabelPrinter::readStatus() {
    static constexpr const char* kMethod = "CLabelPrinter::ReadStatus";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!pendingStatus_) {
        port_->discardReceived();
        if (send(kMethod, CStatusQuery::kQuestion) != CVNLBL_SUCCESS)
            return CVNLBL_STATUS_NO_ANSWER;
        pendingStatus_.emplace(nowMs(), timing_.status);
    }
    int code = answerOf(*pendingStatus_, nowMs() + timing_.shortWaitMs);
    if (code != CVNLBL_STATUS_PENDING) {
        pendingStatus_.reset();
        if (code != CVNLBL_STATUS_OK)
            TraceError(kMethod, __LINE__, "printer status %d", code);
    }
    return code;
}

int CLabelPrinter::printerName(char* buffer, int bufferSize) {
    static constexpr const char* kMethod = "CLabelPrinter::GetPrinterName";
    Lock lock(mutex_);
    if (!buffer || bufferSize < 1) {
        TraceError(kMethod, __LINE__, "no buffer");
        return 0;
    }
    buffer[0] = '\0';
    if (!connected(kMethod, __LINE__))
        return 0;
    pendingStatus_.reset();
    port_->discardReceived();
    if (send(kMethod, kIdentityQuestion) != CVNLBL_SUCCESS)
        return 0;
    std::string answer;
    int64_t deadline = nowMs() + timing_.status.answerMs;
    std::optional<std::string> model;
    while (!(model = printerreply::modelName(answer))) {
        int64_t left = deadline - nowMs();
        if (left <= 0) {
            TraceError(kMethod, __LINE__, "no answer to %s", kIdentityQuestion);
            return 0;
        }
        answer += port_->receive(std::chrono::milliseconds(left));
    }
    if (model->empty()) {
        TraceError(kMethod, __LINE__, "the printer's answer names no model");
        return 0;
    }
    copyCut(*model, buffer, bufferSize);
    TraceWrite(kMethod, __LINE__, "printer name %s", buffer);
    return 1;
}

// ---- Label and settings ----

int CLabelPrinter::clearBuffer() {
    Lock lock(mutex_);
    if (!connected("CLabelPrinter::ClearBuffer", __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    label_.clear();
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::prints(int quantity, int copies) {
    static constexpr const char* kMethod = "CLabelPrinter::Prints";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    long long count = static_cast<long long>(quantity) * copies;
    if (quantity < 1 || copies < 1 || count > kMaxLabelCount)
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "quantity %d and copies %d out of range", quantity, copies);
    if (label_.unfinished()) {
        TraceError(kMethod, __LINE__, "a job function failed since ClearBuffer: label not sent");
        return CVNLBL_E_LABEL_UNFINISHED;
    }
    if (!label_.allFit())
        return reject(kMethod, __LINE__, CVNLBL_E_OUTSIDE_LABEL,
                      "an element lies outside the %d x %d dot label", label_.width(),
                      label_.length());
    int result = send(kMethod, label_.render(count));
    if (result == CVNLBL_SUCCESS)
        label_.clear();
    return result;
}

int CLabelPrinter::setConfig(int speed, int darkness, int printMethod, int afterPrint,
                             int orientation, int mirror) {
    static constexpr const char* kMethod = "CLabelPrinter::SetConfigOfPrinter";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!between(speed, 0, 14) || !between(darkness, 0, 30) || !between(printMethod, 0, 2) ||
        !between(afterPrint, 0, 4) || !between(orientation, 0, 2) || !between(mirror, 0, 2))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "settings out of range (%d, %d, %d, %d, %d, %d)", speed, darkness,
                      printMethod, afterPrint, orientation, mirror);
    LabelSettings& s = label_.settings();
    s.speed = speed;
    s.darkness = darkness;
    s.printMethod = printMethod;
    s.afterPrint = afterPrint;
    s.orientation = orientation;
    s.mirror = mirror;
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::setConfigII(int labelReverse, int reprintAfterError, int slewSpeed,
                               int backfeedSpeed, int reserved) {
    static constexpr const char* kMethod = "CLabelPrinter::SetConfigOfPrinterII";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    LabelSettings& s = label_.settings();
    if (!between(labelReverse, 0, 2) || !between(reprintAfterError, 0, 2) ||
        !between(slewSpeed, 0, 14) || !between(backfeedSpeed, 0, 14) || reserved != 0 ||
        ((slewSpeed || backfeedSpeed) && s.speed == 0))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "settings out of range (%d, %d, %d, %d, %d)", labelReverse, reprintAfterError,
                      slewSpeed, backfeedSpeed, reserved);
    s.labelReverse = labelReverse;
    s.reprintAfterError = reprintAfterError;
    s.slewSpeed = slewSpeed;
    s.backfeedSpeed = backfeedSpeed;
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::setPaper(int width, int length, int homeX, int homeY, int mediaSensing,
                            int markOffset, int maxLength) {
    static constexpr const char* kMethod = "CLabelPrinter::SetPaper";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    const int most = CLabelFormat::kMaxDots;
    if (!between(width, 0, most) || !between(length, 0, most) || !between(homeX, 0, most) ||
        !between(homeY, 0, most) || !between(mediaSensing, 0, 3) || !between(markOffset, 0, 283) ||
        !between(maxLength, 0, most))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "paper settings out of range (%d, %d, %d, %d, %d, %d, %d)", width, length,
                      homeX, homeY, mediaSensing, markOffset, maxLength);
    label_.setSize(width ? width : label_.width(), length ? length : label_.length());
    label_.setHome(homeX, homeY);
    LabelSettings& s = label_.settings();
    s.mediaSensing = mediaSensing;
    s.markOffset = markOffset;
    s.maxLength = maxLength;
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::setPaperMillimetres(int widthMm, int lengthMm, int dotsPerMm, int homeXMm,
                                       int homeYMm) {
    static constexpr const char* kMethod = "CLabelPrinter::SetPaperII";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    bool knownResolution = dotsPerMm == 6 || dotsPerMm == 8 || dotsPerMm == 12 || dotsPerMm == 24;
    if (!knownResolution || !between(widthMm, 0, 1000) || !between(lengthMm, 0, 1000) ||
        !between(homeXMm, 0, 1000) || !between(homeYMm, 0, 1000))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "paper settings out of range (%d, %d, %d, %d, %d)", widthMm, lengthMm,
                      dotsPerMm, homeXMm, homeYMm);
    label_.setSize(widthMm ? widthMm * dotsPerMm : label_.width(),
                   lengthMm ? lengthMm * dotsPerMm : label_.length());
    label_.setHome(homeXMm * dotsPerMm, homeYMm * dotsPerMm);
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::printDirect(const std::string& data, int sendNow) {
    static constexpr const char* kMethod = "CLabelPrinter::PrintDirect";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!isSwitch(sendNow))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT, "sendNow %d", sendNow);
    if (sendNow)
        return send(kMethod, data);
    if (!data.empty())
        label_.addUnplaced(data);
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::printBinaryFile(const std::string& path) {
    static constexpr const char* kMethod = "CLabelPrinter::PrintBinaryFile";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (path.empty())
        return reject(kMethod, __LINE__, CVNLBL_E_FILE, "no file named");
    std::string file = resolvePath(path);
    // Read with a bound: a size the file system gives is no bound (/dev/zero has none).
    std::string why;
    std::optional<std::string> bytes = platform::readFileBounded(file, kMaxFileBytes, &why);
    if (!bytes)
        return reject(kMethod, __LINE__, CVNLBL_E_FILE, "cannot send the file \"%s\": %s",
                      file.c_str(), why.c_str());
    return send(kMethod, *bytes);
}

// ---- Elements ----

int CLabelPrinter::addDrawing(const char* method, int x, int y, const CMonoBitmap& drawing,
                              int rotation, int reverse, int justification) {
    CMonoBitmap bitmap = drawing.rotated(rotation);
    int left = justification == 1 ? x - bitmap.width() : x;
    LabelArea area{left, y, bitmap.width(), bitmap.height()};
    if (!label_.fits(area))
        return reject(method, __LINE__, CVNLBL_E_OUTSIDE_LABEL,
                      "a %d x %d dot drawing at %d,%d does not fit the label", bitmap.width(),
                      bitmap.height(), left, y);
    label_.add(fieldOrigin(left, y, 0) + (reverse ? "^FR" : "") + zpl::graphicField(bitmap), area);
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::drawText(const char* method, int x, int y, const TextStyle& style, int rotation,
                            int reverse, int justification, const std::string& text) {
    std::optional<CMonoBitmap> bitmap = CTextRasterizer::render(zpl::codePoints(text), style);
    if (!bitmap)
        return reject(method, __LINE__, CVNLBL_E_TEXT_NOT_DRAWABLE,
                      "the text cannot be drawn (see the line before)");
    return addDrawing(method, x, y, *bitmap, rotation, reverse, justification);
}

int CLabelPrinter::deviceText(const char* method, const DeviceTextField& f,
                              const std::string& text) {
    Lock lock(mutex_);
    if (!connected(method, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    const DeviceFont* font = deviceFont(f.font);
    if (!font)
        return reject(method, __LINE__, CVNLBL_E_UNKNOWN_FONT, "unknown device font %d", f.font);
    if (!between(f.hMag, 1, 10) || !between(f.vMag, 1, 10) || !between(f.rotation, 0, 3) ||
        !isSwitch(f.reverse) || !between(f.justification, 0, 2))
        return reject(method, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "magnification, rotation, reverse or justification out of range");
    if (!label_.fits({f.x, f.y}))
        return offLabel(method, f.x, f.y);
    if (text.empty())
        return CVNLBL_SUCCESS;
    std::u32string characters = zpl::codePoints(text);
    bool printerShows = f.font != CVNLBL_FONT_ANY_SCRIPT &&
                        std::all_of(characters.begin(), characters.end(),
                                    [](char32_t c) { return c <= kLastPrinterCharacter; });
    if (!printerShows) {
        TextStyle style;
        style.height = font->height * f.vMag;
        style.width = font->height * f.hMag;
        return drawText(method, f.x, f.y, style, f.rotation, f.reverse, f.justification, text);
    }
    std::string zpl = fieldOrigin(f.x, f.y, f.justification) + "^A" + font->name +
                      zpl::orientation(f.rotation) + ',' + std::to_string(font->height * f.vMag) +
                      ',' + std::to_string(font->width * f.hMag) + (f.reverse ? "^FR" : "") +
                      zpl::fieldData(text);
    label_.add(std::move(zpl), {f.x, f.y});
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::drawnText(const char* method, const DrawnTextField& f, const std::string& text) {
    Lock lock(mutex_);
    if (!connected(method, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    std::optional<int> spacing = spacingOf(f.spacing);
    if (!between(f.height, 1, kMaxTextHeight) || !between(f.width, 0, kMaxTextHeight) || !spacing ||
        !between(f.rotation, 0, 3) || !isSwitch(f.bold) || !isSwitch(f.italic) ||
        !isSwitch(f.reverse) || !between(f.justification, 0, 2) || f.reserved != 0)
        return reject(method, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "height %d, width %d, spacing \"%s\" or a switch out of range", f.height,
                      f.width, f.spacing.c_str());
    if (!label_.fits({f.x, f.y}))
        return offLabel(method, f.x, f.y);
    if (text.empty())
        return CVNLBL_SUCCESS;
    TextStyle style{f.face, f.secondFace, f.height, f.width, *spacing, f.bold == 1, f.italic == 1};
    return drawText(method, f.x, f.y, style, f.rotation, f.reverse, f.justification, text);
}

int CLabelPrinter::picture(const char* method, const PictureField& f) {
    Lock lock(mutex_);
    if (!connected(method, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!between(f.hMag, 1, 10) || !between(f.vMag, 1, 10) ||
        !between(f.width, 0, CLabelFormat::kMaxDots) ||
        !between(f.height, 0, CLabelFormat::kMaxDots) || !between(f.rotation, 0, 3) ||
        !between(f.dithering, 0, 1) || f.reserved != 0)
        return reject(method, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "magnification, size, rotation or dithering out of range");
    if (!label_.fits({f.x, f.y}))
        return offLabel(method, f.x, f.y);
    std::string file = resolvePath(f.path);
    std::string reason = "no file name";
    std::optional<CMonoBitmap> bitmap;
    if (!f.path.empty())
        bitmap = CPictureReader::read(
            file, f.width, f.height,
            f.dithering == 0 ? Dithering::ErrorDiffusion : Dithering::Threshold, reason);
    if (!bitmap)
        return reject(method, __LINE__, CVNLBL_E_FILE, "cannot read the picture \"%s\": %s",
                      file.c_str(), reason.c_str());
    if (static_cast<long long>(bitmap->width()) * f.hMag > CLabelFormat::kMaxDots ||
        static_cast<long long>(bitmap->height()) * f.vMag > CLabelFormat::kMaxDots)
        return reject(method, __LINE__, CVNLBL_E_OUTSIDE_LABEL, "the picture is too large");
    return addDrawing(method, f.x, f.y, bitmap->magnified(f.hMag, f.vMag), f.rotation, 0, 0);
}

int CLabelPrinter::addBarcode(const char* method, int x, int y,
                              const std::function<barcodes::Field()>& encode) {
    Lock lock(mutex_);
    if (!connected(method, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!label_.fits({x, y}))
        return offLabel(method, x, y);
    barcodes::Field field = encode();
    if (field.result != CVNLBL_SUCCESS)
        return reject(method, __LINE__, field.result, "%s", field.reason.c_str());
    label_.add(fieldOrigin(x, y, 0) + field.zpl, {x, y});
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::linearBarcode(int x, int y, const barcodes::LinearOptions& options,
                                 const std::string& data) {
    return addBarcode("CLabelPrinter::Print1DBarcode", x, y,
                      [&] { return barcodes::linear(options, data); });
}

int CLabelPrinter::pdf417(int x, int y, const barcodes::Pdf417Options& options, int reserved1,
                          int reserved2, const std::string& data) {
    return addBarcode("CLabelPrinter::PrintPDF417", x, y, [&] {
        if (reserved1 != 0 || reserved2 != 0)
            return barcodes::Field{CVNLBL_E_INVALID_ARGUMENT, {}, "reserved parameters not 0"};
        return barcodes::pdf417(options, data);
    });
}

int CLabelPrinter::qrCode(int x, int y, int model, int errorCorrection, int magnification,
                          int rotation, const std::string& data) {
    return addBarcode("CLabelPrinter::PrintQRCode", x, y, [&] {
        return barcodes::qrCode(model, errorCorrection, magnification, rotation, data);
    });
}

int CLabelPrinter::dataMatrix(int x, int y, int moduleSize, int rotation, int symbolSize,
                              const std::string& data) {
    return addBarcode("CLabelPrinter::PrintDataMatrix", x, y,
                      [&] { return barcodes::dataMatrix(moduleSize, rotation, symbolSize, data); });
}

int CLabelPrinter::maxiCode(int x, int y, int mode, const std::string& data) {
    return addBarcode("CLabelPrinter::PrintMaxiCode", x, y,
                      [&] { return barcodes::maxiCode(mode, data); });
}

int CLabelPrinter::block(int x1, int y1, int x2, int y2, int style, int thickness) {
    static constexpr const char* kMethod = "CLabelPrinter::PrintBlock";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!between(style, 0, 4) || !between(thickness, 0, CLabelFormat::kMaxDots))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "style %d or thickness %d out of range", style, thickness);
    int line = std::max(thickness, 1);
    long long width = std::max<long long>(std::llabs(static_cast<long long>(x2) - x1), line);
    long long height = std::max<long long>(std::llabs(static_cast<long long>(y2) - y1), line);
    LabelArea area{std::min(x1, x2), std::min(y1, y2),
                   static_cast<int>(std::min<long long>(width, CLabelFormat::kMaxDots + 1)),
                   static_cast<int>(std::min<long long>(height, CLabelFormat::kMaxDots + 1))};
    if (!label_.fits(area))
        return reject(kMethod, __LINE__, CVNLBL_E_OUTSIDE_LABEL,
                      "box %d,%d to %d,%d does not fit the label", x1, y1, x2, y2);
    std::string size = std::to_string(area.width) + ',' + std::to_string(area.height) + ',';
    std::string solid = size + std::to_string(std::min(area.width, area.height));
    static constexpr const char* kPrefix[] = {"", "", "", "^FR", ""};
    std::string box;
    switch (style) {
        case 0:
            box = size + std::to_string(line);
            break;
        case 1:
        case 3:
            box = solid;
            break;
        case 2:
            box = solid + ",W";
            break;
        default:
            box = size + std::to_string(line) + ",B,4";
            break;
    }
    label_.add(fieldOrigin(area.x, area.y, 0) + kPrefix[style] + "^GB" + box + "^FS", area);
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::circle(int x, int y, int diameter, int thickness) {
    static constexpr const char* kMethod = "CLabelPrinter::PrintCircle";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!between(diameter, 3, 4095) || !between(thickness, 0, 4095))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "diameter %d or thickness %d out of range", diameter, thickness);
    LabelArea area{x, y, diameter, diameter};
    if (!label_.fits(area))
        return reject(kMethod, __LINE__, CVNLBL_E_OUTSIDE_LABEL,
                      "circle of %d dots at %d,%d does not fit the label", diameter, x, y);
    label_.add(fieldOrigin(x, y, 0) + "^GC" + std::to_string(diameter) + ',' +
                   std::to_string(std::max(thickness, 1)) + ",B^FS",
               area);
    return CVNLBL_SUCCESS;
}

// ---- RFID ----

int CLabelPrinter::rfidSetup(int tagType, int programPosition, int retries, int errorHandling) {
    static constexpr const char* kMethod = "CLabelPrinter::RFIDSetup";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    if (!between(tagType, 0, 9) || !between(programPosition, 0, kMaxPositionMm) ||
        !between(retries, 0, 10) || !between(errorHandling, 0, 3))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "RFID settings out of range (%d, %d, %d, %d)", tagType, programPosition,
                      retries, errorHandling);
    LabelSettings& s = label_.settings();
    s.rfidTagType = tagType;
    s.rfidPosition = programPosition;
    s.rfidRetries = retries;
    s.rfidErrorHandling = errorHandling;
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::rfidCalibration() {
    static constexpr const char* kMethod = "CLabelPrinter::RFIDCalibration";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    return send(kMethod, "^XA^HR^XZ");
}

int CLabelPrinter::rfidWrite(int format, int memoryBank, int startBlock, const std::string& data) {
    static constexpr const char* kMethod = "CLabelPrinter::RFIDWrite";
    constexpr size_t kMaxBytes = 512;
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    bool writableBank = memoryBank == 0 || memoryBank == 1 || memoryBank == 3;
    if (!isSwitch(format) || !writableBank || !between(startBlock, 0, 65535))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "format %d, memory bank %d or start block %d out of range", format,
                      memoryBank, startBlock);
    bool hex = format == 0;
    size_t bytes = hex ? data.size() / 2 : data.size();
    bool valid = hex ? isHex(data) && data.size() % 2 == 0
                     : !data.empty() && std::all_of(data.begin(), data.end(),
                                                    [](char c) { return c >= 0x20 && c < 0x7F; });
    if (!valid || bytes > kMaxBytes)
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      hex ? "hexadecimal tag data expected (pairs of digits, at most 512 bytes)"
                          : "ASCII tag data expected (at most 512 characters)");
    label_.addUnplaced("^RFW," + std::string(hex ? "H" : "A") + ',' + std::to_string(startBlock) +
                       ',' + std::to_string(bytes) + ',' + std::to_string(memoryBank) +
                       zpl::fieldData(data));
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::rfidPassword(const std::string& accessPassword, const std::string& killPassword,
                                const std::string& lockStyle, const std::string& currentPassword) {
    static constexpr const char* kMethod = "CLabelPrinter::RFIDPassword";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    auto passwordOrNone = [](const std::string& text) { return text.empty() || isPassword(text); };
    bool styleKnown =
        lockStyle.empty() ||
        (lockStyle.size() == 1 && std::string("ULOP").find(lockStyle) != std::string::npos);
    if (!passwordOrNone(accessPassword) || !passwordOrNone(killPassword) ||
        !passwordOrNone(currentPassword) || !styleKnown ||
        (accessPassword.empty() && killPassword.empty()) ||
        (!lockStyle.empty() && accessPassword.empty()))
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "passwords of 8 hexadecimal digits and a lock style U, L, O or P expected "
                      "(a lock needs the access password)");
    std::string zpl;
    if (!currentPassword.empty())
        zpl += "^RFS,H,P" + zpl::fieldData(currentPassword);
    zpl += "^RFW,H,P" +
           zpl::fieldData(accessPassword + (killPassword.empty() ? "" : ',' + killPassword));
    if (!lockStyle.empty()) {
        zpl += "^RZ" + accessPassword + ",A," + lockStyle;
        if (!killPassword.empty())
            zpl += "^RZ" + accessPassword + ",K," + lockStyle;
    }
    label_.addUnplaced(std::move(zpl));
    if (!accessPassword.empty())
        label_.setRfidAccessPassword(accessPassword);
    return CVNLBL_SUCCESS;
}

int CLabelPrinter::rfidLock() {
    static constexpr const char* kMethod = "CLabelPrinter::RFIDLock";
    Lock lock(mutex_);
    if (!connected(kMethod, __LINE__))
        return CVNLBL_E_NOT_CONNECTED;
    const std::string& password = label_.rfidAccessPassword();
    if (password.empty())
        return reject(kMethod, __LINE__, CVNLBL_E_INVALID_ARGUMENT,
                      "no access password on this label: call RFIDPassword first");
    label_.addUnplaced("^RZ" + password + ",E,L^RZ" + password + ",U,L");
    return CVNLBL_SUCCESS;
}
