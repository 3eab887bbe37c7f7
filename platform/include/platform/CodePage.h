// Conversion between Unicode and the code pages printers understand (437, 1252, 932,
// 949, 65001, ...), named by their Windows code page numbers.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True when texts can be converted to and from the code page on this system.
bool codePageAvailable(int codePage);
// UTF-16 (valid, no lone surrogates) to the code page; a character the code page lacks
// becomes '?'. Empty for an unavailable code page.
std::string utf16ToCodePage(std::u16string_view text, int codePage);
// Bytes in the code page to UTF-8; a byte sequence that is not valid becomes '?'.
std::string codePageToUtf8(std::string_view bytes, int codePage);

}  // namespace platform
