#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

namespace platform {
namespace {

constexpr int kUtf8 = 65001;
constexpr const char* kNativeUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

std::string iconvName(int codePage) {
    switch (codePage) {
        case kUtf8:
            return "UTF-8";
        case 936:
            return "GBK";
        case 949:
            return "CP949";
        case 950:
            return "BIG5";
        default:
            return "CP" + std::to_string(codePage);
    }
}

// One conversion descriptor for one call; the descriptors keep state and are not shared
// between threads.
class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : handle_(::iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok())
            ::iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts everything; an input unit the target cannot take (or an invalid input
    // sequence) costs `skip(in, left)` bytes of input and one '?' of output.
    template <typename Skip>
    std::string run(const char* in, size_t left, Skip skip) {
        std::string out;
        char buffer[1024];
        while (left > 0) {
            char* next = buffer;
            size_t room = sizeof buffer;
            char* input = const_cast<char*>(in);
            size_t result = ::iconv(handle_, &input, &left, &next, &room);
            out.append(buffer, static_cast<size_t>(next - buffer));
            in = input;
            if (result != static_cast<size_t>(-1) || errno == E2BIG)
                continue;
            size_t skipped = std::min(left, skip(in, left));
            in += skipped;
            left -= skipped;
            out += '?';
            ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        char* next = buffer;
        size_t room = sizeof buffer;
        ::iconv(handle_, nullptr, nullptr, &next, &room);
        out.append(buffer, static_cast<size_t>(next - buffer));
        return out;
    }

private:
    iconv_t handle_;
};

size_t utf16UnitBytes(const char* in, size_t left) {
    if (left < 4)
        return left < 2 ? left : 2;
    char16_t unit;
    std::memcpy(&unit, in, sizeof unit);
    return unit >= 0xD800 && unit <= 0xDBFF ? 4 : 2;
}

}  // namespace

bool codePageAvailable(int codePage) {
    if (codePage <= 0)
        return false;
    Converter converter(iconvName(codePage), kNativeUtf16);
    return converter.ok();
}

std::string utf16ToCodePage(std::u16string_view text, int codePage) {
    Converter converter(iconvName(codePage), kNativeUtf16);
    if (!converter.ok())
        return std::string();
    return converter.run(reinterpret_cast<const char*>(text.data()), text.size() * 2,
                         utf16UnitBytes);
}

std::string codePageToUtf8(std::string_view bytes, int codePage) {
    Converter converter("UTF-8", iconvName(codePage));
    if (!converter.ok())
        return std::string();
    return converter.run(bytes.data(), bytes.size(), [](const char*, size_t) { return size_t{1}; });
}

}  // namespace platform
