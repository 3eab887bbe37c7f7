#include "TextCoding.h"

#include <array>

#include "EscPos.h"
#include "platform/CodePage.h"

namespace textcoding {
namespace {

constexpr int kNoTable = -1;
constexpr int kShiftJisCodeSystem = 1;
constexpr int kStandardTable = 0;
// Shift JIS texts carry half-width kana as single bytes (the Katakana table) and the yen
// sign at 5C (the Japanese character set).
constexpr int kKatakanaTable = 1;
constexpr int kUsa = 0;
constexpr int kJapan = 8;
// FS ( C function 48: character encoding, 1 one byte, 2 UTF-8.
constexpr int kEncodeFunction = 48;
constexpr int kEncodeOneByte = 1;
constexpr int kEncodeUtf8 = 2;

constexpr std::array kCodePages{
    CodePage{437, Kind::SingleByte, 0},        CodePage{850, Kind::SingleByte, 2},
    CodePage{860, Kind::SingleByte, 3},        CodePage{863, Kind::SingleByte, 4},
    CodePage{865, Kind::SingleByte, 5},        CodePage{857, Kind::SingleByte, 13},
    CodePage{737, Kind::SingleByte, 14},       CodePage{1252, Kind::SingleByte, 16},
    CodePage{866, Kind::SingleByte, 17},       CodePage{852, Kind::SingleByte, 18},
    CodePage{858, Kind::SingleByte, 19},       CodePage{862, Kind::SingleByte, 36},
    CodePage{1250, Kind::SingleByte, 45},      CodePage{1251, Kind::SingleByte, 46},
    CodePage{1253, Kind::SingleByte, 47},      CodePage{1254, Kind::SingleByte, 48},
    CodePage{1255, Kind::SingleByte, 49},      CodePage{1256, Kind::SingleByte, 50},
    CodePage{1257, Kind::SingleByte, 51},      CodePage{932, Kind::DoubleByte, kShiftJisCodeSystem},
    CodePage{936, Kind::DoubleByte, kNoTable}, CodePage{949, Kind::DoubleByte, kNoTable},
    CodePage{950, Kind::DoubleByte, kNoTable}, CodePage{kUtf8, Kind::Utf8, kNoTable},
};

std::string encodeSystem(int system) {
    std::string out(escpos::kEncodeSystem);
    escpos::putWord(out, 2);
    escpos::putByte(out, kEncodeFunction);
    escpos::putByte(out, system);
    return out;
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool isControl(char16_t unit) {
    return (unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0x7F;
}

}  // namespace

std::optional<CodePage> find(int codePage) {
    for (const CodePage& page : kCodePages)
        if (page.number == codePage && platform::codePageAvailable(codePage))
            return page;
    return std::nullopt;
}

std::optional<CodePage> findByTable(int table) {
    for (const CodePage& page : kCodePages)
        if (page.kind == Kind::SingleByte && page.table == table)
            return find(page.number);
    return std::nullopt;
}

std::string selectBytes(const CodePage& target, TextModes& modes) {
    std::string out;
    if (modes.utf8 && target.kind != Kind::Utf8)
        out += encodeSystem(kEncodeOneByte);
    const bool shiftJis = target.number == 932;
    if (modes.shiftJis && !shiftJis && modes.internationalSet == kJapan) {
        out += escpos::command(escpos::kInternationalSet, kUsa);
        modes.internationalSet = kUsa;
    }
    modes.utf8 = target.kind == Kind::Utf8;
    modes.doubleByte = target.kind == Kind::DoubleByte;
    modes.shiftJis = shiftJis;
    switch (target.kind) {
        case Kind::SingleByte:
            out += escpos::kKanjiOff;
            out += escpos::command(escpos::kCodeTable, target.table);
            modes.table = target.table;
            break;
        case Kind::DoubleByte:
            out += escpos::kKanjiOn;
            if (target.table != kNoTable)
                out += escpos::command(escpos::kKanjiCodeSystem, target.table);
            if (shiftJis) {
                out += escpos::command(escpos::kCodeTable, kKatakanaTable);
                out += escpos::command(escpos::kInternationalSet, kJapan);
                modes.table = kKatakanaTable;
                modes.internationalSet = kJapan;
            }
            break;
        case Kind::Utf8:
            out += encodeSystem(kEncodeUtf8);
            break;
    }
    return out;
}

std::string standardBytes(const TextModes& modes) {
    std::string out;
    if (modes.utf8)
        out += encodeSystem(kEncodeOneByte);
    if (modes.doubleByte)
        out += escpos::kKanjiOff;
    if (modes.table != kStandardTable)
        out += escpos::command(escpos::kCodeTable, kStandardTable);
    if (modes.internationalSet != kUsa)
        out += escpos::command(escpos::kInternationalSet, kUsa);
    return out;
}

std::optional<std::u16string> checkedText(const char16_t* text, size_t maxUnits) {
    std::u16string out;
    for (size_t i = 0; text[i] != 0; ++i) {
        if (i >= maxUnits)
            return std::nullopt;
        char16_t unit = text[i];
        if (isHighSurrogate(unit)) {
            if (!isLowSurrogate(text[i + 1]))
                return std::nullopt;
            out += unit;
            out += text[++i];
            continue;
        }
        if (isLowSurrogate(unit))
            return std::nullopt;
        out += isControl(unit) ? u'?' : unit;
    }
    return out;
}

std::string encode(std::u16string_view text, const CodePage& codePage) {
    return platform::utf16ToCodePage(text, codePage.number);
}

}  // namespace textcoding
