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

// The printer's text settings as a handle's functions left them: what the next select
// must undo first, and what the end of a job puts back.
struct TextModes {
    bool utf8 = false;         // FS ( C: UTF-8 rather than one byte a character
    bool doubleByte = false;   // FS &
    bool shiftJis = false;     // the Japanese table and character set that 932 selects
    int table = 0;             // ESC t
    int internationalSet = 0;  // ESC R
};

// The bytes that make the printer read texts in `target`, from the modes the handle left
// it in; `modes` becomes what they leave.
std::string selectBytes(const CodePage& target, TextModes& modes);
// The bytes that bring a printer in `modes` back to its standard text settings (one byte
// a character, no double-byte mode, table 0, the USA character set); nothing when it is
// there already.
std::string standardBytes(const TextModes& modes);

// The text's UTF-16 units, checked: nullopt for a lone surrogate. Control characters
// other than tab, line feed and carriage return become '?', so a text never carries a
// printer command.
std::optional<std::u16string> checkedText(const char16_t* text, size_t maxUnits);
// Converts a checked text; characters the code page lacks become '?'.
std::string encode(std::u16string_view text, const CodePage& codePage);

}  // namespace textcoding
