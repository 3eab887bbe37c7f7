// The fonts receipts and labels are drawn in (FreeType, faces found through
// fontconfig): a monospaced face that stands in for the printers' cell fonts, a bold
// condensed face for ZPL's scalable font, and a CJK face for double-width characters;
// characters a face lacks come from the next face that has them. Glyphs are kept once
// drawn; every call may come from any thread.
#pragma once

#include <string>

#include "MonoImage.h"

namespace vprinter {

enum class FaceKind { Cell, Scalable };

struct GlyphBox {
    int width = 0;   // dots
    int height = 0;  // dots
    bool bold = false;
};

class Typeface {
public:
    // Draws the character into the box whose top left corner is at x, y: a cell face's
    // glyph fills the box; a scalable glyph is drawn at an em of box.width by box.height
    // with its baseline at 4/5 of the height. Dots already black stay black, or flip
    // with `reverse`.
    static void draw(MonoImage& canvas, char32_t character, int x, int y, const GlyphBox& box,
                     FaceKind kind, bool reverse = false);
    // A scalable glyph's advance in dots at an em of width by height.
    static int advance(char32_t character, int width, int height);
    // East Asian wide characters take two cells.
    static bool wide(char32_t character);
    // The faces found, for the README and the tests: "cell", "scalable", "wide".
    static std::string faceFile(const std::string& role);
};

// UTF-8 to code points; a byte that is no character becomes U+FFFD.
std::u32string codePoints(const std::string& utf8);

}  // namespace vprinter
