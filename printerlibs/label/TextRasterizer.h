// Draws text with the fonts installed on this computer (FreeType, found through
// fontconfig), so that a label can carry any script as a picture.
#pragma once

#include <optional>
#include <string>

#include "MonoBitmap.h"

struct TextStyle {
    std::string face;        // family name or font file; empty: the default sans face
    std::string secondFace;  // tried next for characters the face lacks; may be empty
    int height = 24;         // em size in dots
    int width = 0;           // em width in dots; 0: as high as wide
    int spacing = 0;         // extra dots between characters, may be negative
    bool bold = false;
    bool italic = false;
};

class CTextRasterizer {
public:
    // No label is wider; a text drawn wider (or with more characters) is refused before
    // its glyphs can take the memory of a picture no printer takes.
    static constexpr int kMaxWidth = 32000;

    // One line of text, baseline and descent included. Characters the face lacks come
    // from the second face or any installed face that has them (with a trace line
    // naming it). Nothing when no installed face has some character of the text, or
    // when the text is longer or wider than kMaxWidth.
    static std::optional<CMonoBitmap> render(const std::u32string& text, const TextStyle& style);
};
