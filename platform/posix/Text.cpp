#include <cstdint>

#include "platform/Text.h"

namespace platform {
namespace {

// Decodes one UTF-8 sequence starting at text[i]; advances i. Returns -1 for an
// invalid sequence (i then skips one byte).
int32_t decodeUtf8(std::string_view text, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra;
    int32_t codePoint;
    int32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return -1;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        ++i;
        return -1;
    }
    i += extra + 1;
    return codePoint;
}

void encodeUtf8(int32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        int32_t codePoint = decodeUtf8(text, i);
        if (codePoint < 0) {
            out += static_cast<char16_t>(kDefaultChar);
        } else if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
            out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            out += static_cast<char16_t>(codePoint);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            encodeUtf8(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += kDefaultChar;  // an unpaired surrogate
        } else {
            encodeUtf8(unit, out);
        }
    }
    return out;
}

// The ANSI code page of this platform is UTF-8.
WideString ansiToWide(std::string_view text) {
    return utf8ToUtf16(text);
}
std::string wideToAnsi(WideStringView text) {
    return utf16ToUtf8(text);
}
// One pass rather than the round trip through UTF-16 it equals: a job's text can be
// megabytes. Valid sequences stay as they are, anything else becomes the default
// character.
std::string utf8ToAnsi(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80)
            ++i;  // a run of ASCII goes over whole
        if (i == start && decodeUtf8(text, i) < 0)
            out += kDefaultChar;
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

namespace {
char upperOf(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char lowerOf(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = upperOf(c);
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lowerOf(c);
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerOf(a[i]) != lowerOf(b[i]))
            return false;
    return true;
}

std::vector<std::string> splitFields(std::string_view text, char delimiter) {
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == delimiter)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

}  // namespace platform
