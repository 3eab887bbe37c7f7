#include "ZplText.h"

#include "MonoBitmap.h"
#include "platform/Text.h"

namespace zpl {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, unsigned char byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

bool needsEscape(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == '^' || byte == '~' || byte == '_';
}

}  // namespace

std::string fieldData(std::string_view utf8) {
    std::string out = "^FH^FD";
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (needsEscape(byte)) {
            out += '_';
            appendHex(out, byte);
        } else {
            out += c;
        }
    }
    out += "^FS";
    return out;
}

char orientation(int rotation) {
    static constexpr char kLetters[] = {'N', 'R', 'I', 'B'};
    return kLetters[rotation & 3];
}

std::string graphicField(const CMonoBitmap& bitmap) {
    std::vector<uint8_t> bytes = bitmap.packedRows();
    std::string count = std::to_string(bytes.size());
    std::string out =
        "^GFA," + count + ',' + count + ',' + std::to_string(bitmap.bytesPerRow()) + ',';
    out.reserve(out.size() + bytes.size() * 2 + 3);
    for (uint8_t byte : bytes)
        appendHex(out, byte);
    out += "^FS";
    return out;
}

std::u32string codePoints(std::string_view utf8) {
    std::u16string units = platform::utf8ToUtf16(utf8);
    std::u32string out;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        out += unit;
    }
    return out;
}

}  // namespace zpl
