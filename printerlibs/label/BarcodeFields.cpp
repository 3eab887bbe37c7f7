#include "BarcodeFields.h"

#include <algorithm>
#include <string_view>

#include "CheckDigit.h"
#include "ZplText.h"
#include "cvnlblapi.h"

namespace barcodes {
namespace {

constexpr size_t kMaxLinearData = 255;
constexpr std::string_view kCode39Characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ -.$/+%";
constexpr std::string_view kCodabarCharacters = "0123456789-:.$/+";
// The symbol's escape character of Data Matrix fields: the hex indicator of the field
// data cannot double as one.
constexpr char kDataMatrixEscape = '`';

Field invalid(const std::string& reason) {
    return {CVNLBL_E_INVALID_ARGUMENT, {}, reason};
}

Field badData(const std::string& reason) {
    return {CVNLBL_E_BARCODE_DATA, {}, reason};
}

Field field(std::string zpl) {
    return {CVNLBL_SUCCESS, std::move(zpl), {}};
}

bool between(int value, int low, int high) {
    return value >= low && value <= high;
}

bool allOf(const std::string& data, std::string_view allowed) {
    return std::all_of(data.begin(), data.end(),
                       [&](char c) { return allowed.find(c) != std::string_view::npos; });
}

bool digitsOnly(const std::string& data) {
    return !data.empty() && allOf(data, "0123456789");
}

bool printableAscii(const std::string& data) {
    return std::all_of(data.begin(), data.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool asciiOnly(const std::string& data) {
    return std::all_of(data.begin(), data.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// EAN and UPC take their digits without the check digit, which the printer adds; a
// given check digit must be right and is dropped.
bool withoutCheckDigit(std::string& data, size_t length, std::string& reason) {
    if (!digitsOnly(data) || (data.size() != length && data.size() != length + 1)) {
        reason = std::to_string(length) + " digits, or " + std::to_string(length + 1) +
                 " with the check digit, expected";
        return false;
    }
    if (data.size() == length + 1) {
        if (data.back() != gtinCheckDigit(std::string_view(data).substr(0, length))) {
            reason = "wrong check digit";
            return false;
        }
        data.pop_back();
    }
    return true;
}

// UPC-E suppresses zeros of a UPC-A number: the five-digit manufacturer code and the
// five-digit product code must follow the zero-suppression rules.
bool upcECompressible(const std::string& data) {
    if (data.size() != 10 || !digitsOnly(data))
        return false;
    std::string_view maker = std::string_view(data).substr(0, 5);
    int product = std::stoi(data.substr(5));
    if (maker.substr(2) == "000" || maker.substr(2) == "100" || maker.substr(2) == "200")
        return product <= 999;
    if (maker.substr(3) == "00")
        return product <= 99;
    if (maker[4] == '0')
        return product <= 9;
    return product >= 5 && product <= 9;
}

std::string yesNo(bool value) {
    return value ? "Y" : "N";
}

std::string ratioText(int ratio) {
    return std::to_string(ratio / 10) + '.' + std::to_string(ratio % 10);
}

// In Code 128 field data ">" starts an invocation code (">:" a subset switch, ">8" FNC1),
// so data that holds one would turn into other data; "><" is the character itself.
std::string literalCode128(const std::string& data) {
    std::string out;
    for (char c : data) {
        out += c;
        if (c == '>')
            out += '<';
    }
    return out;
}

// Checks the data of a symbology and writes its command.
bool linearCommand(const LinearOptions& o, std::string& data, std::string& command,
                   std::string& reason) {
    char orient = zpl::orientation(o.rotation);
    std::string h = std::to_string(o.height);
    std::string line = yesNo(o.readable != 0) + ',' + yesNo(o.readable == 2);
    std::string common = std::string(1, orient) + ',' + h + ',' + line;
    switch (o.type) {
        case CVNLBL_BARCODE_CODE128:
            if (!printableAscii(data)) {
                reason = "Code 128 takes printable ASCII";
                return false;
            }
            command = "^BC" + common + ",N,A";
            data = literalCode128(data);
            return true;
        case CVNLBL_BARCODE_CODE39:
            if (!allOf(data, kCode39Characters)) {
                reason = "Code 39 takes 0-9, A-Z, space and -.$/+%";
                return false;
            }
            command = std::string("^B3") + orient + ",N," + h + ',' + line;
            return true;
        case CVNLBL_BARCODE_EAN13:
            command = "^BE" + common;
            return withoutCheckDigit(data, 12, reason);
        case CVNLBL_BARCODE_EAN8:
            command = "^B8" + common;
            return withoutCheckDigit(data, 7, reason);
        case CVNLBL_BARCODE_UPCA:
            command = "^BU" + common + ",Y";
            return withoutCheckDigit(data, 11, reason);
        case CVNLBL_BARCODE_UPCE:
            if (!upcECompressible(data)) {
                reason = "UPC-E takes a 5-digit maker and 5-digit product code that compress";
                return false;
            }
            command = "^B9" + common + ",Y";
            return true;
        case CVNLBL_BARCODE_CODE93:
            if (!allOf(data, kCode39Characters)) {
                reason = "Code 93 takes 0-9, A-Z, space and -.$/+%";
                return false;
            }
            command = "^BA" + common + ",N";
            return true;
        case CVNLBL_BARCODE_CODABAR:
            if (!allOf(data, kCodabarCharacters)) {
                reason = "Codabar takes 0-9 and -:.$/+";
                return false;
            }
            command = std::string("^BK") + orient + ",N," + h + ',' + line + ",A,A";
            return true;
        default:  // CVNLBL_BARCODE_I2OF5
            if (!digitsOnly(data) || data.size() % 2 != 0) {
                reason = "Interleaved 2 of 5 takes an even number of digits";
                return false;
            }
            command = "^B2" + common + ",N";
            return true;
    }
}

}  // namespace

Field linear(const LinearOptions& o, const std::string& data) {
    if (!between(o.type, CVNLBL_BARCODE_CODE128, CVNLBL_BARCODE_I2OF5))
        return invalid("unknown barcode type " + std::to_string(o.type));
    if (!between(o.narrowWidth, 1, 10) || !(o.ratio == 0 || between(o.ratio, 20, 30)) ||
        !between(o.height, 1, 32000) || !between(o.rotation, 0, 3) || !between(o.readable, 0, 2))
        return invalid("bar width, ratio, height, rotation or text position out of range");
    if (data.empty() || data.size() > kMaxLinearData)
        return badData("1 to 255 characters expected");
    std::string encoded = data;
    std::string command;
    std::string reason;
    if (!linearCommand(o, encoded, command, reason))
        return badData(reason);
    int ratio = o.ratio == 0 ? 30 : o.ratio;
    return field("^BY" + std::to_string(o.narrowWidth) + ',' + ratioText(ratio) + ',' +
                 std::to_string(o.height) + command + zpl::fieldData(encoded));
}

Field pdf417(const Pdf417Options& o, const std::string& data) {
    constexpr size_t kMaxBytes = 1850;
    if (!between(o.moduleWidth, 1, 10) || !between(o.rowHeight, 1, 255) ||
        !between(o.securityLevel, 0, 8) || !(o.columns == 0 || between(o.columns, 1, 30)) ||
        !(o.rows == 0 || between(o.rows, 3, 90)) || !between(o.truncate, 0, 1) ||
        !between(o.rotation, 0, 3))
        return invalid(
            "module width, row height, security level, columns, rows, truncate or "
            "rotation out of range");
    if (data.empty() || data.size() > kMaxBytes)
        return badData("1 to 1850 bytes expected");
    auto optional = [](int value) { return value ? std::to_string(value) : std::string(); };
    return field("^BY" + std::to_string(o.moduleWidth) + "^B7" + zpl::orientation(o.rotation) +
                 ',' + std::to_string(o.rowHeight) + ',' + std::to_string(o.securityLevel) + ',' +
                 optional(o.columns) + ',' + optional(o.rows) + ',' + yesNo(o.truncate == 1) +
                 zpl::fieldData(data));
}

Field qrCode(int model, int errorCorrection, int magnification, int rotation,
             const std::string& data) {
    // Byte-mode capacity of the largest symbol at each error correction level.
    constexpr size_t kCapacity[] = {2953, 2331, 1663, 1273};
    constexpr char kLevels[] = {'L', 'M', 'Q', 'H'};
    if (!between(model, 1, 2) || !between(errorCorrection, 0, 3) ||
        !between(magnification, 1, 10) || rotation != 0)
        return invalid("model, error correction, magnification or rotation out of range");
    if (data.empty() || data.size() > kCapacity[errorCorrection])
        return badData("1 to " + std::to_string(kCapacity[errorCorrection]) +
                       " bytes expected at this error correction");
    return field("^BQN," + std::to_string(model) + ',' + std::to_string(magnification) +
                 zpl::fieldData(std::string(1, kLevels[errorCorrection]) + "A," + data));
}

Field dataMatrix(int moduleSize, int rotation, int symbolSize, const std::string& data) {
    constexpr size_t kMaxDigits = 3116;
    constexpr size_t kMaxBytes = 1556;
    if (!between(moduleSize, 1, 100) || !between(rotation, 0, 3) ||
        !(symbolSize == 0 || (between(symbolSize, 10, 144) && symbolSize % 2 == 0)))
        return invalid("module size, rotation or symbol size out of range");
    if (data.empty() || data.size() > (digitsOnly(data) ? kMaxDigits : kMaxBytes))
        return badData("1 to 1556 bytes (3116 digits) expected");
    if (data.find(kDataMatrixEscape) != std::string::npos)
        return badData("Data Matrix data cannot hold the character `");
    std::string size = symbolSize ? std::to_string(symbolSize) : std::string();
    return field(std::string("^BX") + zpl::orientation(rotation) + ',' +
                 std::to_string(moduleSize) + ",200," + size + ',' + size + ",," +
                 kDataMatrixEscape + zpl::fieldData(data));
}

Field maxiCode(int mode, const std::string& data) {
    if (!between(mode, 2, 6))
        return invalid("MaxiCode mode 2 to 6 expected");
    size_t limit = mode == 5 ? 77 : 93;
    if (data.empty() || data.size() > limit || !asciiOnly(data))
        return badData("1 to " + std::to_string(limit) + " ASCII characters expected");
    // Modes 2 and 3 begin with a 3-digit class of service and 3-digit country code, then
    // the postal code: 9 digits (mode 2) or 6 characters (mode 3).
    if (mode == 2 && (data.size() < 15 || !digitsOnly(data.substr(0, 15))))
        return badData("mode 2 starts with 15 digits: service class, country, postal code");
    if (mode == 3 && (data.size() < 12 || !digitsOnly(data.substr(0, 6))))
        return badData("mode 3 starts with service class, country and a 6-character postal code");
    return field("^BD" + std::to_string(mode) + ",1,1" + zpl::fieldData(data));
}

}  // namespace barcodes
