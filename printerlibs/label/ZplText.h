// Small pieces of ZPL II shared by every element of a label.
#pragma once

#include <string>
#include <string_view>

class CMonoBitmap;

namespace zpl {

// "^FH^FD<data>^FS". The hex indicator turns ^, ~, itself and every control byte into
// _XX, so no text can start a command or become other characters.
std::string fieldData(std::string_view utf8);
// N, R, I or B for 0 to 3 quarter turns clockwise.
char orientation(int rotation);
// "^GFA,<bytes>,<bytes>,<bytes per row>,<hex>^FS".
std::string graphicField(const CMonoBitmap& bitmap);
// The text's code points (the text is valid UTF-8, as the conversions make it).
std::u32string codePoints(std::string_view utf8);

}  // namespace zpl
