// The automatic text encoding: every character goes out in a single-byte character table
// that holds it, and the printer is switched to another table only where the text needs
// one its current table lacks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "TextCoding.h"

namespace textcoding {

// setTextEncoding's number for the automatic encoding; it is the default.
inline constexpr int kAutomatic = 0;

// A text as the printer gets it.
struct EncodedText {
    // Puts the printer into the table the text starts in; empty when it is there already.
    std::string select;
    // The characters, with the switches between tables where they fall.
    std::string text;
    // The table the printer is in after the text.
    CodePage last;
};

// Encodes a checked text (see checkedText) for a printer in `printerPage` (nullopt when
// its table is not known; `fromUtf8` says it reads UTF-8). Where tables reach equally far,
// the one first in the library's list wins, so a text 437 holds goes out in 437. nullopt
// when a character is in no table.
std::optional<EncodedText> encodeAutomatic(std::u16string_view text,
                                           std::optional<CodePage> printerPage, bool fromUtf8);

}  // namespace textcoding
