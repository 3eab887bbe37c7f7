#include "Barcodes.h"

#include <algorithm>

#include "CheckDigit.h"
#include "EscPos.h"
#include "dravix.h"

namespace barcodes {
namespace {

constexpr int kMaxHeight = 255;
// GS w takes 2 to 6; a printer ignores 1 and keeps whatever width it had.
constexpr int kMinPrintedModuleWidth = 2;
constexpr int kMaxModuleWidth = 6;
constexpr size_t kMaxData = 255;
// Code 128 symbol widths: every symbol 11 modules, the stop 13.
constexpr int kCode128Symbol = 11;
constexpr int kCode128Stop = 13;
// Wide elements are counted at three narrow ones, the widest ratio printers use.
constexpr int kWide = 3;

bool allOf(std::string_view data, bool (*accept)(char)) {
    return !data.empty() && std::all_of(data.begin(), data.end(), accept);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isCode39(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'Z') ||
           std::string_view(" $%*+-./").find(c) != std::string_view::npos;
}

bool isCodabar(char c) {
    return isDigit(c) || std::string_view("$+-./:").find(c) != std::string_view::npos;
}

bool isCodabarStartStop(char c) {
    return std::string_view("ABCDabcd").find(c) != std::string_view::npos;
}

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool lengthIn(std::string_view data, std::initializer_list<size_t> lengths) {
    return std::find(lengths.begin(), lengths.end(), data.size()) != lengths.end();
}

// GS k function B code of a symbology.
int systemCode(int symbology) {
    switch (symbology) {
        case DRAVIX_BARCODE_UPCA:
            return 65;
        case DRAVIX_BARCODE_UPCE:
            return 66;
        case DRAVIX_BARCODE_EAN13:
            return 67;
        case DRAVIX_BARCODE_EAN8:
            return 68;
        case DRAVIX_BARCODE_CODE39:
            return 69;
        case DRAVIX_BARCODE_ITF:
            return 70;
        case DRAVIX_BARCODE_CODABAR:
            return 71;
        case DRAVIX_BARCODE_CODE93:
            return 72;
        case DRAVIX_BARCODE_CODE128:
            return 73;
        default:
            return 0;
    }
}

int codabarModules(char c) {
    // Narrow elements 7, of which two or three are wide, and the gap after the character.
    bool threeWide = std::string_view(":/.+ABCDabcd").find(c) != std::string_view::npos;
    return 7 + (threeWide ? 3 : 2) * (kWide - 1) + 1;
}

// Digits from `at` on.
size_t digitRun(std::string_view data, size_t at) {
    size_t end = at;
    while (end < data.size() && isDigit(data[end]))
        ++end;
    return end - at;
}

}  // namespace

std::string code128Data(std::string_view data) {
    if (!allOf(data, isAscii))
        return std::string();
    std::string out;
    char set = 0;
    auto switchTo = [&](char wanted) {
        if (set != wanted)
            out += std::string("{") + wanted;
        set = wanted;
    };
    size_t i = 0;
    while (i < data.size()) {
        size_t run = digitRun(data, i);
        // Code set C pays off for four digits at either end and six in the middle.
        bool edge = i == 0 || i + run == data.size();
        bool worthC = run >= 2 && (run == data.size() || run >= (edge ? 4u : 6u));
        if (worthC) {
            // An odd run leaves its first digit to the current code set.
            if (run % 2 == 1) {
                switchTo(set == 0 ? 'B' : set == 'C' ? 'B' : set);
                out += data[i++];
                --run;
            }
            switchTo('C');
            for (size_t end = i + run; i < end; i += 2)
                escpos::putByte(out, (data[i] - '0') * 10 + (data[i + 1] - '0'));
            continue;
        }
        char c = data[i++];
        bool control = static_cast<unsigned char>(c) < 0x20;
        switchTo(control ? 'A' : (set == 'A' && c < 0x60 ? 'A' : 'B'));
        if (c == '{')
            out += '{';  // a brace in the data is doubled
        out += c;
    }
    return out;
}

int modules(std::string_view data, int symbology) {
    switch (symbology) {
        case DRAVIX_BARCODE_UPCA:
        case DRAVIX_BARCODE_EAN13:
            return 95;
        case DRAVIX_BARCODE_UPCE:
            return 51;
        case DRAVIX_BARCODE_EAN8:
            return 67;
        case DRAVIX_BARCODE_CODE39: {
            // Start and stop are added unless the data brings them.
            size_t symbols = data.size() + (data.front() == '*' ? 0 : 2);
            return static_cast<int>(symbols) * (6 + 3 * kWide + 1);
        }
        case DRAVIX_BARCODE_ITF:
            return static_cast<int>(data.size()) * (3 + 2 * kWide) + 4 + (kWide + 2);
        case DRAVIX_BARCODE_CODABAR: {
            int total = 0;
            for (char c : data)
                total += codabarModules(c);
            return total;
        }
        case DRAVIX_BARCODE_CODE93:
            return (static_cast<int>(data.size()) + 4) * 9 + 1;
        case DRAVIX_BARCODE_CODE128: {
            std::string symbols = code128Data(data);
            // Each "{x" pair is one symbol character, as is every other byte.
            int count = 0;
            for (size_t i = 0; i < symbols.size(); ++i, ++count)
                if (symbols[i] == '{')
                    ++i;
            return symbols.empty() ? 0 : (count + 1) * kCode128Symbol + kCode128Stop;
        }
        default:
            return 0;
    }
}

namespace {

// Data of `length` digits ends in a check digit, which must be the right one; shorter
// data leaves the check digit to the printer.
bool rightCheckDigit(std::string_view data, size_t length) {
    return data.size() != length || data.back() == gtinCheckDigit(data.substr(0, length - 1));
}

// The UPC-A number (without its check digit) that a UPC-E number system digit and six
// digits stand for: the zeros the short form leaves out go back where its last digit
// says.
std::string upcAOfUpcE(std::string_view data) {
    std::string numberSystem(1, data[0]);
    std::string_view d = data.substr(1, 6);
    switch (d[5]) {
        case '0':
        case '1':
        case '2':
            return numberSystem + std::string(d.substr(0, 2)) + d[5] + "0000" +
                   std::string(d.substr(2, 3));
        case '3':
            return numberSystem + std::string(d.substr(0, 3)) + "00000" +
                   std::string(d.substr(3, 2));
        case '4':
            return numberSystem + std::string(d.substr(0, 4)) + "00000" + d[4];
        default:
            return numberSystem + std::string(d.substr(0, 5)) + "0000" + d[5];
    }
}

// UPC-E carries a check digit in its 8-digit form (that of the UPC-A number it stands
// for) and in its 12-digit UPC-A form.
bool rightUpcECheckDigit(std::string_view data) {
    if (data.size() == 8)
        return data.back() == gtinCheckDigit(upcAOfUpcE(data));
    return rightCheckDigit(data, 12);
}

// Start and stop characters A to D at both ends, the data between them.
bool validCodabar(std::string_view data) {
    return data.size() >= 2 && isCodabarStartStop(data.front()) &&
           isCodabarStartStop(data.back()) &&
           std::all_of(data.begin() + 1, data.end() - 1, isCodabar);
}

bool validData(std::string_view data, int symbology) {
    if (data.empty() || data.size() > kMaxData)
        return false;
    switch (symbology) {
        case DRAVIX_BARCODE_UPCA:
            return allOf(data, isDigit) && lengthIn(data, {11, 12}) && rightCheckDigit(data, 12);
        case DRAVIX_BARCODE_UPCE:
            return allOf(data, isDigit) && lengthIn(data, {6, 7, 8, 11, 12}) &&
                   rightUpcECheckDigit(data);
        case DRAVIX_BARCODE_EAN13:
            return allOf(data, isDigit) && lengthIn(data, {12, 13}) && rightCheckDigit(data, 13);
        case DRAVIX_BARCODE_EAN8:
            return allOf(data, isDigit) && lengthIn(data, {7, 8}) && rightCheckDigit(data, 8);
        case DRAVIX_BARCODE_CODE39:
            return allOf(data, isCode39);
        case DRAVIX_BARCODE_ITF:
            return allOf(data, isDigit) && data.size() % 2 == 0;
        case DRAVIX_BARCODE_CODABAR:
            return validCodabar(data);
        case DRAVIX_BARCODE_CODE93:
        case DRAVIX_BARCODE_CODE128:
            return allOf(data, isAscii);
        default:
            return false;
    }
}

}  // namespace

int encode(std::string_view data, const Linear& barcode, int paperWidth, std::string& out) {
    if (systemCode(barcode.symbology) == 0)
        return DRAVIX_E_NOT_SUPPORTED;
    if (barcode.height < 1 || barcode.height > kMaxHeight || barcode.moduleWidth < 1 ||
        barcode.moduleWidth > kMaxModuleWidth || barcode.alignment < DRAVIX_ALIGN_LEFT ||
        barcode.alignment > DRAVIX_ALIGN_RIGHT || barcode.textPosition < DRAVIX_HRI_NONE ||
        barcode.textPosition > DRAVIX_HRI_BOTH || !validData(data, barcode.symbology))
        return DRAVIX_E_BAD_ARGUMENT;
    // The width the printer will print, for the command and for the paper check alike.
    const int moduleWidth = std::max(barcode.moduleWidth, kMinPrintedModuleWidth);
    if (modules(data, barcode.symbology) * moduleWidth > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    std::string symbols =
        barcode.symbology == DRAVIX_BARCODE_CODE128 ? code128Data(data) : std::string(data);
    if (symbols.size() > kMaxData)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, barcode.alignment);
    out += escpos::command(escpos::kHriPosition, barcode.textPosition);
    out += escpos::command(escpos::kBarcodeHeight, barcode.height);
    out += escpos::command(escpos::kBarcodeWidth, moduleWidth);
    out += escpos::command(escpos::kBarcode, systemCode(barcode.symbology));
    escpos::putByte(out, static_cast<int>(symbols.size()));
    out += symbols;
    return DRAVIX_SUCCESS;
}

}  // namespace barcodes
