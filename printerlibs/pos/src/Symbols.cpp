#include "Symbols.h"

#include <algorithm>
#include <array>

#include "EscPos.h"
#include "dravix.h"

namespace symbols {
namespace {

constexpr int kPdf417 = 48;
constexpr int kQr = 49;
constexpr int kDataBar = 51;
constexpr int kComposite = 52;
constexpr int kDataMatrix = 54;

constexpr int kSetColumns = 65;
constexpr int kSetRows = 66;
constexpr int kSetModule = 67;
constexpr int kSetRowHeight = 68;
constexpr int kSetErrorLevel = 69;
constexpr int kSetOptions = 70;
constexpr int kSetModel = 65;
constexpr int kSetMatrixType = 66;
constexpr int kStore = 80;
constexpr int kPrint = 81;
constexpr int kStoreMode = 48;
constexpr int kQrModel2 = 50;

// Data codewords of QR Code model 2, versions 1 to 40, at error levels L, M, Q, H.
constexpr std::array<std::array<int, 4>, 40> kQrDataCodewords{{
    {19, 16, 13, 9},          {34, 28, 22, 16},         {55, 44, 34, 26},
    {80, 64, 48, 36},         {108, 86, 62, 46},        {136, 108, 76, 60},
    {156, 124, 88, 66},       {194, 154, 110, 86},      {232, 182, 132, 100},
    {274, 216, 154, 122},     {324, 254, 180, 140},     {370, 290, 206, 158},
    {428, 334, 244, 180},     {461, 365, 261, 197},     {523, 415, 295, 223},
    {589, 453, 325, 253},     {647, 507, 367, 283},     {721, 563, 397, 313},
    {795, 627, 445, 341},     {861, 669, 485, 385},     {932, 714, 512, 406},
    {1006, 782, 568, 442},    {1094, 860, 614, 464},    {1174, 914, 664, 514},
    {1276, 1000, 718, 538},   {1370, 1062, 754, 596},   {1468, 1128, 808, 628},
    {1531, 1193, 871, 661},   {1631, 1267, 911, 701},   {1735, 1373, 985, 745},
    {1843, 1455, 1033, 793},  {1955, 1541, 1115, 845},  {2071, 1631, 1171, 901},
    {2191, 1725, 1231, 961},  {2306, 1812, 1286, 986},  {2434, 1914, 1354, 1054},
    {2566, 1992, 1426, 1096}, {2702, 2102, 1502, 1142}, {2812, 2216, 1582, 1222},
    {2956, 2334, 1666, 1276},
}};

// Square ECC 200 Data Matrix sizes and their data codewords.
struct MatrixSize {
    int modules;
    int codewords;
};
constexpr std::array<MatrixSize, 24> kMatrixSizes{{
    {10, 3},   {12, 5},   {14, 8},   {16, 12},  {18, 18},   {20, 22},    {22, 30},    {24, 36},
    {26, 44},  {32, 62},  {36, 86},  {40, 114}, {44, 144},  {48, 174},   {52, 204},   {64, 280},
    {72, 368}, {80, 456}, {88, 576}, {96, 696}, {104, 816}, {120, 1050}, {132, 1304}, {144, 1558},
}};

constexpr int kPdf417MaxCodewords = 928;
constexpr int kPdf417MaxColumns = 30;
constexpr int kPdf417MaxRows = 90;
constexpr int kPdf417MinRows = 3;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view data) {
    return !data.empty() && std::all_of(data.begin(), data.end(), isDigit);
}

bool isAlphanumeric(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'Z') ||
           std::string_view(" $%*+-./:").find(c) != std::string_view::npos;
}

bool printableAscii(std::string_view data) {
    return !data.empty() &&
           std::all_of(data.begin(), data.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool alignmentValid(int alignment) {
    return alignment >= DRAVIX_ALIGN_LEFT && alignment <= DRAVIX_ALIGN_RIGHT;
}

std::string oneByte(int value) {
    std::string out;
    escpos::putByte(out, value);
    return out;
}

std::string storeCommand(int cn, std::string_view prefix, std::string_view data) {
    std::string parameters(prefix);
    parameters.append(data);
    return escpos::symbolCommand(cn, kStore, parameters);
}

std::string printCommand(int cn) {
    return escpos::symbolCommand(cn, kPrint, oneByte(kStoreMode));
}

// Data bits of a QR Code segment in one mode, with the count field at the version's size.
int qrBits(std::string_view data, int version) {
    int size = static_cast<int>(data.size());
    int band = version <= 9 ? 0 : version <= 26 ? 1 : 2;
    if (allDigits(data))
        return 4 + std::array{10, 12, 14}[band] + size / 3 * 10 + std::array{0, 4, 7}[size % 3];
    if (std::all_of(data.begin(), data.end(), isAlphanumeric))
        return 4 + std::array{9, 11, 13}[band] + size / 2 * 11 + size % 2 * 6;
    return 4 + std::array{8, 16, 16}[band] + size * 8;
}

// ASCII encodation of Data Matrix: digit pairs share a codeword, upper half bytes take two.
int matrixCodewords(std::string_view data) {
    int count = 0;
    for (size_t i = 0; i < data.size(); ++count) {
        if (i + 1 < data.size() && isDigit(data[i]) && isDigit(data[i + 1]))
            i += 2;
        else
            count += static_cast<unsigned char>(data[i++]) >= 0x80 ? 1 : 0;
    }
    return count;
}

// Fewest PDF417 data codewords the printer's compaction can reach (numeric, text or
// byte), so that no code the printer could make is refused.
int pdf417Codewords(std::string_view data) {
    int size = static_cast<int>(data.size());
    if (allDigits(data))
        return (size + 43) / 44 * 15 + 1;
    if (printableAscii(data))
        return (size + 1) / 2 + 1;
    return size / 6 * 5 + size % 6 + 1;
}

}  // namespace

int qrVersion(std::string_view data, int errorLevel) {
    for (int version = 1; version <= 40; ++version)
        if (qrBits(data, version) <= kQrDataCodewords[version - 1][errorLevel] * 8)
            return version;
    return 0;
}

int qrCode(std::string_view data, const QrCode& symbol, int paperWidth, std::string& out) {
    if (symbol.model != 0 && symbol.model != 2)
        return DRAVIX_E_NOT_SUPPORTED;
    if (data.empty() || symbol.moduleSize < 1 || symbol.moduleSize > 16 || symbol.errorLevel < 0 ||
        symbol.errorLevel > 3 || !alignmentValid(symbol.alignment))
        return DRAVIX_E_BAD_ARGUMENT;
    int version = qrVersion(data, symbol.errorLevel);
    if (version == 0 || (17 + 4 * version) * symbol.moduleSize > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, symbol.alignment);
    out += escpos::symbolCommand(kQr, kSetModel, oneByte(kQrModel2) + oneByte(0));
    out += escpos::symbolCommand(kQr, kSetModule, oneByte(symbol.moduleSize));
    out += escpos::symbolCommand(kQr, kSetErrorLevel, oneByte(48 + symbol.errorLevel));
    out += storeCommand(kQr, oneByte(kStoreMode), data);
    out += printCommand(kQr);
    return DRAVIX_SUCCESS;
}

int pdf417(std::string_view data, const Pdf417& symbol, int paperWidth, std::string& out) {
    if (data.empty() || symbol.columns < 0 || symbol.columns > kPdf417MaxColumns ||
        symbol.rows < 0 || (symbol.rows > 0 && symbol.rows < kPdf417MinRows) ||
        symbol.rows > kPdf417MaxRows || symbol.moduleWidth < 2 || symbol.moduleWidth > 8 ||
        symbol.rowHeight < 2 || symbol.rowHeight > 8 || symbol.errorLevel < 0 ||
        symbol.errorLevel > 8 || symbol.truncated < 0 || symbol.truncated > 1 ||
        !alignmentValid(symbol.alignment))
        return DRAVIX_E_BAD_ARGUMENT;
    int needed = pdf417Codewords(data) + (2 << symbol.errorLevel);
    int columns = std::max(symbol.columns, 1);
    int capacity = symbol.columns > 0 && symbol.rows > 0 ? symbol.columns * symbol.rows
                   : symbol.columns > 0                  ? symbol.columns * kPdf417MaxRows
                                                         : kPdf417MaxCodewords;
    // Start, stop and the row indicators frame the data columns.
    int width = (17 * (columns + 4) + 1) * symbol.moduleWidth;
    if (needed > std::min(capacity, kPdf417MaxCodewords) || width > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, symbol.alignment);
    out += escpos::symbolCommand(kPdf417, kSetColumns, oneByte(symbol.columns));
    out += escpos::symbolCommand(kPdf417, kSetRows, oneByte(symbol.rows));
    out += escpos::symbolCommand(kPdf417, kSetModule, oneByte(symbol.moduleWidth));
    out += escpos::symbolCommand(kPdf417, kSetRowHeight, oneByte(symbol.rowHeight));
    out += escpos::symbolCommand(kPdf417, kSetErrorLevel,
                                 oneByte(48) + oneByte(48 + symbol.errorLevel));
    out += escpos::symbolCommand(kPdf417, kSetOptions, oneByte(symbol.truncated));
    out += storeCommand(kPdf417, oneByte(kStoreMode), data);
    out += printCommand(kPdf417);
    return DRAVIX_SUCCESS;
}

int dataMatrix(std::string_view data, const Simple& symbol, int paperWidth, std::string& out) {
    if (data.empty() || symbol.moduleWidth < 2 || symbol.moduleWidth > 16 ||
        !alignmentValid(symbol.alignment))
        return DRAVIX_E_BAD_ARGUMENT;
    int codewords = matrixCodewords(data);
    auto size = std::find_if(kMatrixSizes.begin(), kMatrixSizes.end(),
                             [codewords](const MatrixSize& s) { return s.codewords >= codewords; });
    if (size == kMatrixSizes.end() || size->modules * symbol.moduleWidth > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, symbol.alignment);
    // Square symbol, columns and rows chosen by the printer.
    out +=
        escpos::symbolCommand(kDataMatrix, kSetMatrixType, oneByte(48) + oneByte(0) + oneByte(0));
    out += escpos::symbolCommand(kDataMatrix, kSetModule, oneByte(symbol.moduleWidth));
    out += storeCommand(kDataMatrix, oneByte(kStoreMode), data);
    out += printCommand(kDataMatrix);
    return DRAVIX_SUCCESS;
}

int gs1DataBar(std::string_view data, const Simple& symbol, int paperWidth, std::string& out) {
    static constexpr std::array kTypes{72, 73, 76};
    if (symbol.type < 0 || symbol.type >= static_cast<int>(kTypes.size()) ||
        symbol.moduleWidth < 2 || symbol.moduleWidth > 8 || !alignmentValid(symbol.alignment))
        return DRAVIX_E_BAD_ARGUMENT;
    bool expanded = symbol.type == DRAVIX_DATABAR_EXPANDED_STACKED;
    bool valid = expanded ? printableAscii(data) && data.size() <= 255
                          : allDigits(data) && data.size() == 13;
    if (!valid)
        return DRAVIX_E_BAD_ARGUMENT;
    // The stacked forms are 50 modules wide; expanded stacked rows wrap to the paper.
    if (!expanded && 50 * symbol.moduleWidth > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, symbol.alignment);
    out += escpos::symbolCommand(kDataBar, kSetModule, oneByte(symbol.moduleWidth));
    out += storeCommand(kDataBar, oneByte(kStoreMode) + oneByte(kTypes[symbol.type]), data);
    out += printCommand(kDataBar);
    return DRAVIX_SUCCESS;
}

int composite(std::string_view data, const Simple& symbol, int paperWidth, std::string& out) {
    // Digits of the linear element per type; 0 for a free length.
    static constexpr std::array kLinearDigits{7, 12, 11, 6, 11, 13, 13, 13, 13, 13, 0, 0, 0};
    if (symbol.type < 0 || symbol.type >= static_cast<int>(kLinearDigits.size()) ||
        symbol.moduleWidth < 2 || symbol.moduleWidth > 8 || !alignmentValid(symbol.alignment))
        return DRAVIX_E_BAD_ARGUMENT;
    size_t bar = data.find('|');
    if (bar == std::string_view::npos)
        return DRAVIX_E_BAD_ARGUMENT;
    std::string_view linear = data.substr(0, bar);
    std::string_view twoD = data.substr(bar + 1);
    int digits = kLinearDigits[symbol.type];
    bool linearValid = digits > 0 ? allDigits(linear) && linear.size() == size_t(digits)
                                  : printableAscii(linear) && linear.size() <= 255;
    if (!linearValid || !printableAscii(twoD) || twoD.size() > 2000)
        return DRAVIX_E_BAD_ARGUMENT;
    // The linear elements are at most 102 modules wide but for the free-length ones.
    if (digits > 0 && 102 * symbol.moduleWidth > paperWidth)
        return DRAVIX_E_DOES_NOT_FIT;
    out += escpos::command(escpos::kSelectJustification, symbol.alignment);
    out += escpos::symbolCommand(kComposite, kSetModule, oneByte(symbol.moduleWidth));
    out += storeCommand(kComposite, oneByte(kStoreMode) + oneByte(48) + oneByte(65 + symbol.type),
                        linear);
    // 2D element type 65: the printer picks the composite component.
    out += storeCommand(kComposite, oneByte(kStoreMode) + oneByte(49) + oneByte(65), twoD);
    out += printCommand(kComposite);
    return DRAVIX_SUCCESS;
}

}  // namespace symbols
