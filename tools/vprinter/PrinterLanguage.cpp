#include "PrinterLanguage.h"

#include "EscPosDecoder.h"
#include "ZplDecoder.h"

namespace vprinter {

std::string hexBytes(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::unique_ptr<LanguageDecoder> makeDecoder(const std::string& language) {
    if (language == "escpos")
        return std::make_unique<EscPosDecoder>();
    if (language == "zpl")
        return std::make_unique<ZplDecoder>();
    return nullptr;
}

std::string detectLanguage(std::string_view firstBytes) {
    // Label formats often begin with a line end or blanks left by the host's editor; the
    // first other byte tells: ZPL commands start with a caret or a tilde, which no
    // ESC/POS stream begins with.
    size_t first = firstBytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    char c = firstBytes[first];
    return c == '^' || c == '~' ? "zpl" : "escpos";
}

}  // namespace vprinter
