#include "ReceiptDrawer.h"

#include <zint.h>

#include <algorithm>

#include "Canvas.h"
#include "Typeface.h"
#include "ZintSymbol.h"

namespace vprinter {
namespace {

struct CellFont {
    int width;
    int height;
};
constexpr CellFont kFontA{12, 24};
constexpr CellFont kFontB{9, 17};
constexpr int kTabCells = 8;
constexpr int kBottomMargin = 24;
constexpr int kCutDash = 8;
// Paper before a cut: from the print head to the cutter for the feeding cuts, a little
// otherwise.
constexpr int kCutterDistance = 48;
constexpr int kCutGap = 8;

CellFont cellFont(const std::string& name) {
    return name == "A" ? kFontA : kFontB;
}

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// A DataBar or composite element's zint type: ESC/POS names the type by a letter code.
int dataBarType(int type) {
    switch (type) {
        case 67:
            return BARCODE_DBAR_LTD;
        case 68:
            return BARCODE_DBAR_EXP;
        case 72:
            return BARCODE_DBAR_STK;
        case 73:
            return BARCODE_DBAR_OMNSTK;
        case 76:
            return BARCODE_DBAR_EXPSTK;
        default:
            return BARCODE_DBAR_OMN;
    }
}

int compositeType(int linearType) {
    static constexpr int kTypes[] = {
        BARCODE_EANX_CC,        BARCODE_EANX_CC,     BARCODE_UPCA_CC,     BARCODE_UPCE_CC,
        BARCODE_UPCE_CC,        BARCODE_DBAR_OMN_CC, BARCODE_DBAR_OMN_CC, BARCODE_DBAR_STK_CC,
        BARCODE_DBAR_OMNSTK_CC, BARCODE_DBAR_LTD_CC, BARCODE_DBAR_EXP_CC, BARCODE_DBAR_EXPSTK_CC,
        BARCODE_GS1_128_CC};
    int index = linearType - 65;
    return index >= 0 && index < 13 ? kTypes[index] : BARCODE_GS1_128_CC;
}

// GS1 data as zint takes it: application identifiers in brackets.
std::string gs1(const std::string& data) {
    return data.find('(') != std::string::npos || data.find('[') != std::string::npos
               ? data
               : "[01]" + data;
}

}  // namespace

ReceiptDrawer::ReceiptDrawer(int paperDots)
    : paper_(paperDots), sheet_(paperDots, 0), width_(paperDots) {}

void ReceiptDrawer::note(const std::string& text) {
    if (std::find(notes_.begin(), notes_.end(), text) == notes_.end())
        notes_.push_back(text);
}

void ReceiptDrawer::grow(int bottom) {
    if (bottom > sheet_.height())
        sheet_.appendBlankRows(std::min(bottom, kMaxLength) - sheet_.height());
}

void ReceiptDrawer::add(const Json::Value& e, const std::shared_ptr<const MonoImage>& dots) {
    const std::string type = e["type"].asString();
    if (type == "text") {
        text(e);
    } else if (type == "feed") {
        if (e.isMember("dots"))
            endLine(e["dots"].asInt());
        else
            for (int i = 0; i < std::max(1, e["lines"].asInt()); ++i)
                endLine(lineSpacing_);
    } else if (type == "image" && dots) {
        endLine(0);
        place(*dots, e["align"].asString());
    } else if (type == "barcode" || type == "2d") {
        endLine(0);
        symbol(e);
    } else if (type == "cut") {
        // The feeding cuts move the last line past the cutter first.
        endLine(e.isMember("feed") ? kCutterDistance + e["feed"].asInt() : kCutGap);
        cut();
    } else if (type == "position") {
        if (e.isMember("x"))
            cursor_ = e["x"].asInt();
        else if (e.isMember("dx"))
            cursor_ = std::max(0, cursor_ + e["dx"].asInt());
        positioned_ = positioned_ || e.isMember("x") || e.isMember("dx");
    } else if (type == "left_margin") {
        margin_ = std::min(e["dots"].asInt(), paper_ - 1);
    } else if (type == "print_width") {
        width_ = std::max(1, e["dots"].asInt());
    } else if (type == "line_spacing") {
        lineSpacing_ = e["dots"].asInt();
    } else if (type == "init") {
        margin_ = 0;
        width_ = paper_;
        lineSpacing_ = 30;
    }
}

void ReceiptDrawer::text(const Json::Value& e) {
    CellFont font = cellFont(e["font"].asString());
    int wm = std::clamp(e["width"].asInt(), 1, 8);
    int hm = std::clamp(e["height"].asInt(), 1, 8);
    bool rotated = e["rotated"].asBool();
    int cellW = font.width * wm, cellH = font.height * hm;
    int spacing = e["spacing"].asInt() * wm;
    std::u32string characters = codePoints(e["text"].asString());
    if (line_.empty()) {
        lineAlign_ = e["align"].asString();
        lineUpsideDown_ = e["upside_down"].asBool();
    }
    int width = 0;
    for (char32_t c : characters)
        width += (c == U'\t'          ? kTabCells
                  : Typeface::wide(c) ? 2
                                      : 1) *
                     (rotated ? cellH : cellW) +
                 spacing;
    MonoImage piece(std::max(width, 1), rotated ? cellW : cellH);
    int x = 0;
    for (char32_t c : characters) {
        if (c == U'\t') {
            int tab = kTabCells * cellW;
            x = (cursor_ + x) / tab * tab + tab - cursor_;
            continue;
        }
        int cells = Typeface::wide(c) ? 2 : 1;
        GlyphBox box{cellW * cells, cellH, e["bold"].asBool()};
        if (rotated) {
            MonoImage glyph(box.width, box.height);
            Typeface::draw(glyph, c, 0, 0, box, FaceKind::Cell);
            paste(piece, turned(glyph, 1), x, 0);
            x += cellH * cells + spacing;
        } else {
            Typeface::draw(piece, c, x, 0, box, FaceKind::Cell);
            x += box.width + spacing;
        }
    }
    int underline = e["underline"].asInt();
    if (underline > 0)
        fillRect(piece, 0, piece.height() - underline, x, underline);
    if (e["reverse"].asBool())
        fillRect(piece, 0, 0, piece.width(), piece.height(), true);
    line_.push_back({cursor_, std::move(piece)});
    cursor_ += x;
    if (e["newline"].asBool())
        endLine(lineSpacing_);
}

void ReceiptDrawer::endLine(int feedDots) {
    if (line_.empty()) {
        grow(y_ + feedDots);
        y_ = std::min(y_ + feedDots, kMaxLength);
        return;
    }
    int height = 0, right = 0;
    for (const Piece& piece : line_) {
        height = std::max(height, piece.dots.height());
        right = std::max(right, piece.x + piece.dots.width());
    }
    MonoImage line(std::max(right, 1), height);
    // Characters of different heights share their bottom edge.
    for (const Piece& piece : line_)
        paste(line, piece.dots, piece.x, height - piece.dots.height());
    if (lineUpsideDown_)
        line = turned(line, 2);
    int shift = 0;
    if (!positioned_ && right < width_)
        shift = lineAlign_ == "center"  ? (width_ - right) / 2
                : lineAlign_ == "right" ? width_ - right
                                        : 0;
    grow(y_ + std::max(height, feedDots));
    paste(sheet_, line, margin_ + shift, y_);
    if (margin_ + right > paper_)
        note("text runs past the paper's right edge");
    y_ = std::min(y_ + std::max(height, feedDots), kMaxLength);
    line_.clear();
    cursor_ = 0;
    positioned_ = false;
}

void ReceiptDrawer::place(const MonoImage& dots, const std::string& align) {
    int x = margin_;
    if (dots.width() < width_)
        x += align == "center"  ? (width_ - dots.width()) / 2
             : align == "right" ? width_ - dots.width()
                                : 0;
    if (margin_ + dots.width() > paper_)
        note("a picture is wider than the paper: cut off at its edge");
    if (y_ + dots.height() > kMaxLength)
        note("the receipt is longer than " + std::to_string(kMaxLength) +
             " dots: drawn up to there");
    grow(y_ + dots.height());
    paste(sheet_, dots, x, y_);
    y_ = std::min(y_ + dots.height(), kMaxLength);
}

void ReceiptDrawer::symbol(const Json::Value& e) {
    std::string name = e["symbology"].asString();
    std::string data = e["data"].asString();
    if (e["data_encoding"] == "hex")
        data = fromHex(data);
    SymbolLayout layout;
    layout.zintType = zintSymbology(name);
    layout.data = data;
    layout.module = std::max(1, e.get("module", 3).asInt());
    if (e["type"] == "barcode") {
        layout.barHeight = std::max(1, e["height"].asInt());
        if (name == "EAN13" || name == "EAN8" || name == "UPC-A" || name == "UPC-E")
            layout.data = data.substr(0, name == "EAN13" ? 12 : name == "EAN8" ? 7 : 11);
    } else if (name == "QR") {
        layout.option1 = e.get("error_level", 1).asInt() % 4 + 1;
        layout.inputMode = UNICODE_MODE;
    } else if (name == "PDF417") {
        layout.option1 = e.get("error_level", 1).asInt();
        layout.option2 = e.get("columns", 0).asInt();
        layout.option3 = e.get("rows", 0).asInt();
        layout.rowHeight = layout.module * std::max(2, e.get("row_height", 3).asInt());
        if (e.get("options", 0).asInt() == 1)
            layout.zintType = BARCODE_PDF417COMP;
    } else if (name == "DATAMATRIX") {
        layout.option3 = DM_SQUARE;
    } else if (name == "GS1_DATABAR") {
        layout.zintType = dataBarType(e.get("symbol_type", 65).asInt());
        if (layout.zintType == BARCODE_DBAR_EXP || layout.zintType == BARCODE_DBAR_EXPSTK) {
            layout.data = gs1(data);
            layout.inputMode = GS1_MODE | GS1PARENS_MODE * (data.find('(') != std::string::npos);
        }
        layout.barHeight = 0;
    } else if (name == "COMPOSITE") {
        layout.zintType = compositeType(e.get("linear_type", 65).asInt());
        layout.primary = e["linear"].asString();
        layout.data = gs1(data);
        layout.inputMode = GS1_MODE | GS1PARENS_MODE * (data.find('(') != std::string::npos);
        layout.option1 = -1;
    }
    DrawnSymbol drawn = drawSymbol(layout);
    if (drawn.dots.empty()) {
        note(name + " not drawn: " + (drawn.error.empty() ? "nothing to draw" : drawn.error));
        return;
    }
    std::string hri = e["hri"].asString();
    std::string align = e["align"].asString();
    CellFont font = e["hri_font"] == "B" ? kFontB : kFontA;
    auto hriLine = [&] {
        std::u32string characters = codePoints(drawn.text);
        MonoImage line(static_cast<int>(characters.size()) * font.width + 1, font.height);
        for (size_t i = 0; i < characters.size(); ++i)
            Typeface::draw(line, characters[i], static_cast<int>(i) * font.width, 0,
                           {font.width, font.height, false}, FaceKind::Cell);
        // Centred under the bars.
        MonoImage centred(drawn.dots.width(), font.height);
        paste(centred, line, (drawn.dots.width() - line.width()) / 2, 0);
        place(centred, align);
    };
    if (hri == "above" || hri == "both")
        hriLine();
    place(drawn.dots, align);
    if (hri == "below" || hri == "both")
        hriLine();
}

void ReceiptDrawer::cut() {
    // Where the cutter goes: a dashed line across the paper.
    grow(y_ + 2);
    for (int x = 0; x < paper_; x += 2 * kCutDash)
        fillRect(sheet_, x, y_, kCutDash, 1);
    y_ = std::min(y_ + 2, kMaxLength);
}

MonoImage ReceiptDrawer::picture() {
    endLine(0);
    grow(y_ + kBottomMargin);
    return sheet_;
}

}  // namespace vprinter
