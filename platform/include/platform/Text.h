// Text conversion between UTF-8, UTF-16 and the system's ANSI code page.
// Bytes that cannot be converted become the default character '?'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

#ifdef _WIN32
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif
using WideString = std::basic_string<WideChar>;
using WideStringView = std::basic_string_view<WideChar>;

inline constexpr char kDefaultChar = '?';

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
WideString ansiToWide(std::string_view text);
std::string wideToAnsi(WideStringView text);
// Converts UTF-8 to the ANSI code page (the identity where that code page is UTF-8,
// apart from invalid bytes becoming '?').
std::string utf8ToAnsi(std::string_view text);

// Letter case of the ASCII letters only (device names, identifiers, hex digits).
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The fields of a text between its delimiters, empty ones included: "a,,b" gives "a",
// "" and "b"; the empty text gives one empty field.
std::vector<std::string> splitFields(std::string_view text, char delimiter);

}  // namespace platform
