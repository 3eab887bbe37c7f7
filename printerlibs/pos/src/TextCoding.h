// Texts as the printer reads them: which code pages the library offers, the bytes that
// put the printer into a code page, and the conversion of UTF-16 texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace textcoding {

inline constexpr int kDefaultCodePage = 437;
inline constexpr int kUtf8 = 65001;

enum class Kind { SingleByte, DoubleByte, Utf8 };

struct CodePage {
    int number;  // Windows code page
    Kind kind;
    int table;  // ESC t table of a single-byte page; FS C code system of 932; -1 otherwise
};

std::optional<CodePage> find(int codePage);
// The code page behind a printer character table, if the library offers it.
std::optional<CodePage> findByTable(int table);

// The bytes that make the printer read texts in `target`. `fromUtf8` says the printer was
// last put into UTF-8 by this handle, so it is put back to single bytes first.
std::string selectBytes(const CodePage& target, bool fromUtf8);

// The text's UTF-16 units, checked: nullopt for a lone surrogate. Control characters
// other than tab, line feed and carriage return become '?', so a text never carries a
// printer command.
std::optional<std::u16string> checkedText(const char16_t* text, size_t maxUnits);
// Converts a checked text; characters the code page lacks become '?'.
std::string encode(std::u16string_view text, const CodePage& codePage);

}  // namespace textcoding
