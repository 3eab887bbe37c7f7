#include "LabelDrawer.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "Canvas.h"
#include "Typeface.h"
#include "ZintSymbol.h"

namespace vprinter {
namespace {

// The printers' bitmap fonts at 203 dots an inch: cell height, width and the gap after
// each character.
struct CellFont {
    int height;
    int width;
    int gap;
};
const std::map<std::string, CellFont> kCellFonts{
    {"A", {9, 5, 1}},   {"B", {11, 7, 2}},  {"C", {18, 10, 2}}, {"D", {18, 10, 2}},
    {"E", {28, 15, 5}}, {"F", {26, 13, 3}}, {"G", {60, 40, 8}}, {"H", {21, 13, 6}},
};
constexpr double kHeadInches = 4.1;
constexpr double kDefaultLengthInches = 6;
constexpr int kMaxLength = 32000;

int quarterTurns(const std::string& orientation) {
    return orientation == "R" ? 1 : orientation == "I" ? 2 : orientation == "B" ? 3 : 0;
}

std::vector<std::string> parameters(const Json::Value& e) {
    std::vector<std::string> out;
    for (const Json::Value& p : e["parameters"])
        out.push_back(p.asString());
    return out;
}

std::string at(const std::vector<std::string>& parts, size_t i, const std::string& fallback = "") {
    return i < parts.size() && !parts[i].empty() ? parts[i] : fallback;
}

int number(const std::string& text, int fallback) {
    try {
        return text.empty() ? fallback : std::stoi(text);
    } catch (...) {
        return fallback;
    }
}

// One line of text in a font, unrotated.
MonoImage textLine(const std::u32string& text, const std::string& font, int height, int width) {
    auto cell = kCellFonts.find(font);
    if (cell == kCellFonts.end()) {
        // The scalable font: proportional glyphs at an em of width by height.
        int em = height > 0 ? height : 18;
        int emWidth = width > 0 ? width : em;
        int total = 0;
        for (char32_t c : text)
            total += Typeface::advance(c, emWidth, em);
        MonoImage line(std::max(total, 1), em * 21 / 20);
        int x = 0;
        for (char32_t c : text) {
            Typeface::draw(line, c, x, 0, {emWidth, em, false}, FaceKind::Scalable);
            x += Typeface::advance(c, emWidth, em);
        }
        return line;
    }
    const CellFont& f = cell->second;
    int mh = height > 0 ? std::max(1, static_cast<int>(std::lround(double(height) / f.height))) : 1;
    int mw = width > 0 ? std::max(1, static_cast<int>(std::lround(double(width) / f.width))) : mh;
    int advance = (f.width + f.gap) * mw;
    MonoImage line(std::max(1, static_cast<int>(text.size()) * advance), f.height * mh);
    for (size_t i = 0; i < text.size(); ++i)
        Typeface::draw(line, text[i], static_cast<int>(i) * advance, 0,
                       {f.width * mw, f.height * mh, false}, FaceKind::Cell);
    return line;
}

// Words of the text wrapped into lines no wider than `width`; "\&" breaks a line.
std::vector<std::u32string> wrap(const std::u32string& text, const std::string& font, int height,
                                 int fontWidth, int width) {
    std::vector<std::u32string> lines{U""};
    std::u32string word;
    auto fits = [&](const std::u32string& candidate) {
        return textLine(candidate, font, height, fontWidth).width() <= width;
    };
    auto addWord = [&] {
        if (word.empty())
            return;
        std::u32string candidate = lines.back().empty() ? word : lines.back() + U' ' + word;
        if (lines.back().empty() || fits(candidate))
            lines.back() = candidate;
        else
            lines.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\\' && i + 1 < text.size() && text[i + 1] == U'&') {
            addWord();
            lines.push_back(U"");
            ++i;
        } else if (text[i] == U' ') {
            addWord();
        } else {
            word += text[i];
        }
    }
    addWord();
    return lines;
}

}  // namespace

LabelDrawer::LabelDrawer(int dotsPerInch)
    : dpi_(dotsPerInch),
      width_(static_cast<int>(4 * dotsPerInch)),
      length_(static_cast<int>(kDefaultLengthInches * dotsPerInch)) {}

void LabelDrawer::note(const std::string& text) {
    if (std::find(notes_.begin(), notes_.end(), text) == notes_.end())
        notes_.push_back(text);
}

void LabelDrawer::add(const Json::Value& e, const std::shared_ptr<const MonoImage>& dots) {
    const std::string type = e["type"].asString();
    if (type == "setting") {
        std::vector<std::string> parts = parameters(e);
        const std::string name = e["name"].asString();
        int head = static_cast<int>(kHeadInches * dpi_);
        if (name == "print_width") {
            width_ = number(at(parts, 0), width_);
            if (width_ > head || width_ < 1) {
                note("^PW" + at(parts, 0) + " is wider than the print head: drawn " +
                     std::to_string(head) + " dots wide");
                width_ = std::clamp(width_, 1, head);
            }
        } else if (name == "label_length") {
            length_ = number(at(parts, 0), length_);
            if (length_ > kMaxLength || length_ < 1) {
                note("^LL" + at(parts, 0) + " is longer than any label: drawn " +
                     std::to_string(kMaxLength) + " dots long");
                length_ = std::clamp(length_, 1, kMaxLength);
            }
        } else if (name == "label_home") {
            homeX_ = number(at(parts, 0), 0);
            homeY_ = number(at(parts, 1), 0);
        }
    } else if (type == "field" || type == "barcode" || type == "graphic" || type == "box" ||
               type == "circle" || type == "ellipse" || type == "diagonal") {
        Json::Value placed = e;
        placed["x"] = e["x"].asInt() + homeX_;
        placed["y"] = e["y"].asInt() + homeY_;
        fields_.push_back({placed, dots});
    } else if (type == "quantity" && e["quantity"].asInt() > 1) {
        note("^PQ" + std::to_string(e["quantity"].asInt()) + ": drawn once");
    }
}

MonoImage LabelDrawer::picture() {
    MonoImage label(width_, length_);
    clipped_.clear();
    for (const Placed& placed : fields_)
        draw(label, placed);
    return label;
}

void LabelDrawer::draw(MonoImage& label, const Placed& placed) {
    const Json::Value& e = placed.element;
    const std::string type = e["type"].asString();
    MonoImage field;
    if (type == "field")
        field = textField(e);
    else if (type == "barcode")
        field = barcodeField(e);
    else if (type == "graphic")
        field = placed.dots ? *placed.dots : MonoImage();
    else
        field = shapeField(e);
    if (type == "field" || type == "barcode")
        field = turned(field, quarterTurns(e["orientation"].asString()));
    int x = e["x"].asInt();
    int y = e["y"].asInt();
    // ^FT places text by its baseline and bar codes by their bottom edge.
    if (e["origin"] == "FT" && (type == "field" || type == "barcode"))
        y -= type == "field" ? field.height() * 4 / 5 : field.height();
    if (e.get("justification", 0).asInt() == 1)
        x -= field.width();
    bool white = e.get("color", "B").asString() == "W";
    if (white && !e["reverse"].asBool()) {
        // A white shape clears what lies below its dots.
        for (int py = 0; py < field.height(); ++py)
            for (int px = 0; px < field.width(); ++px)
                if (field.black(px, py))
                    label.set(x + px, y + py, false);
    } else {
        paste(label, field, x, y, e["reverse"].asBool());
    }
    if (!field.empty() && (x < 0 || y < 0 || x + field.width() > label.width() ||
                           y + field.height() > label.height()))
        clipped_.push_back(e["seq"].asInt64());
}

MonoImage LabelDrawer::textField(const Json::Value& e) const {
    std::string font = e["font"].asString();
    int height = e["height"].asInt();
    int width = e["width"].asInt();
    if (height == 0 && kCellFonts.count(font) == 0)
        height = 9 * dpi_ / 203;
    std::u32string text = codePoints(e["text"].asString());
    if (!e.isMember("block"))
        return textLine(text, font, height, width);
    const Json::Value& block = e["block"];
    int blockWidth = std::max(1, block["width"].asInt());
    std::vector<std::u32string> lines = wrap(text, font, height, width, blockWidth);
    int maxLines = std::max(1, block["lines"].asInt());
    // Lines beyond the block's count print over its last line.
    std::vector<MonoImage> drawn;
    for (const std::u32string& line : lines)
        drawn.push_back(textLine(line, font, height, width));
    int lineHeight = drawn.empty() ? height : drawn[0].height();
    int step = lineHeight + block["spacing"].asInt();
    MonoImage out(blockWidth, step * (maxLines - 1) + lineHeight);
    std::string justification = block["justification"].asString();
    for (size_t i = 0; i < drawn.size(); ++i) {
        int row = std::min(static_cast<int>(i), maxLines - 1);
        int free = blockWidth - drawn[i].width();
        int x = justification == "C" ? free / 2 : justification == "R" ? free : 0;
        if (i > 0 && justification == "L")
            x += block["indent"].asInt();
        paste(out, drawn[i], std::max(0, x), row * step);
    }
    return out;
}

MonoImage LabelDrawer::barcodeField(const Json::Value& e) {
    std::string symbology = e["symbology"].asString();
    std::vector<std::string> p = parameters(e);
    SymbolLayout layout;
    layout.zintType = zintSymbology(symbology);
    layout.data = e["data"].asString();
    layout.module = std::max(1, e.get("module", 2).asInt());
    int barHeight = e.get("bar_height", 10).asInt();
    // Where each linear symbology keeps its height and interpretation-line switches.
    size_t heightAt = symbology == "CODE39" || symbology == "CODABAR" ? 2 : 1;
    bool linear = symbology != "QR" && symbology != "PDF417" && symbology != "DATAMATRIX" &&
                  symbology != "MAXICODE";
    bool interpretation = linear && at(p, heightAt + 1, "Y") == "Y";
    bool above = linear && at(p, heightAt + 2, "N") == "Y";
    if (linear) {
        layout.barHeight = std::max(1, number(at(p, heightAt), barHeight));
        if (symbology == "CODABAR")
            layout.data = at(p, 5, "A") + layout.data + at(p, 6, "A");
    } else if (symbology == "QR") {
        layout.module = std::clamp(number(at(p, 2), 2), 1, 100);
        std::string mode = e["qr_mode"].asString();
        static const std::string kLevels = "LMQH";
        size_t level = mode.empty() ? 1 : kLevels.find(mode[0]);
        layout.option1 = level == std::string::npos ? 2 : static_cast<int>(level) + 1;
        layout.inputMode = UNICODE_MODE;
    } else if (symbology == "PDF417") {
        layout.rowHeight = std::max(1, number(at(p, 1), barHeight));
        layout.option1 = number(at(p, 2), 0);
        layout.option2 = number(at(p, 3), 0);
        layout.option3 = number(at(p, 4), 0);
        if (at(p, 5) == "Y")
            layout.zintType = BARCODE_PDF417COMP;
    } else if (symbology == "DATAMATRIX") {
        layout.module = std::max(1, number(at(p, 1), layout.module));
        int size = number(at(p, 3), 0);
        layout.option3 = DM_SQUARE;
        if (size >= 10 && size <= 26)
            layout.option2 = size / 2 - 4;  // 10x10 is size 1, then every two modules
    } else if (symbology == "MAXICODE") {
        int mode = number(at(p, 0), 2);
        layout.option1 = mode;
        // Modes 2 and 3 lead with the class of service, country and postal code.
        size_t postal = mode == 2 ? 9 : 6;
        if ((mode == 2 || mode == 3) && layout.data.size() >= 6 + postal) {
            layout.primary =
                layout.data.substr(6, postal) + layout.data.substr(3, 3) + layout.data.substr(0, 3);
            layout.data = layout.data.substr(6 + postal);
        }
        layout.widthDots = static_cast<int>(1.11 * dpi_);
    }
    DrawnSymbol drawn = drawSymbol(layout);
    if (drawn.dots.empty()) {
        note(symbology + " not drawn: " + (drawn.error.empty() ? "nothing to draw" : drawn.error));
        return {};
    }
    if (!interpretation)
        return drawn.dots;
    // The interpretation line in a font as wide as the modules allow.
    std::u32string text = codePoints(drawn.text);
    int cellWidth = std::max(5, layout.module * 5), cellHeight = cellWidth * 2;
    MonoImage line(drawn.dots.width(), cellHeight + layout.module);
    int start = (drawn.dots.width() - static_cast<int>(text.size()) * cellWidth) / 2;
    for (size_t i = 0; i < text.size(); ++i)
        Typeface::draw(line, text[i], start + static_cast<int>(i) * cellWidth, layout.module,
                       {cellWidth, cellHeight, false}, FaceKind::Cell);
    MonoImage out(drawn.dots.width(), drawn.dots.height() + line.height());
    paste(out, drawn.dots, 0, above ? line.height() : 0);
    paste(out, line, 0, above ? 0 : drawn.dots.height());
    return out;
}

MonoImage LabelDrawer::shapeField(const Json::Value& e) const {
    const std::string type = e["type"].asString();
    int t = std::max(1, e["thickness"].asInt());
    int w = std::max(1, type == "circle" ? e["diameter"].asInt() : e["width"].asInt());
    int h = std::max(1, type == "circle" ? e["diameter"].asInt() : e["height"].asInt());
    w = std::min(w, 32000);
    h = std::min(h, 32000);
    MonoImage out(w, h);
    if (type == "diagonal") {
        bool right = e["lean"].asString() != "L";
        for (int y = 0; y < h; ++y) {
            int x = static_cast<int>(static_cast<long long>(right ? h - 1 - y : y) *
                                     std::max(0, w - t) / std::max(1, h - 1));
            fillRect(out, x, y, t, 1);
        }
        return out;
    }
    bool round = type == "circle" || type == "ellipse";
    // Corner radius of a box: rounding 1 to 8 in eighths of half the shorter side.
    double radius =
        round ? 0 : std::min(w, h) / 2.0 * std::clamp(e["rounding"].asInt(), 0, 8) / 8.0;
    auto inside = [&](double px, double py, double inset) {
        double left = inset, top = inset, right = w - inset, bottom = h - inset;
        if (px < left || px >= right || py < top || py >= bottom)
            return false;
        if (round) {
            double rx = (right - left) / 2, ry = (bottom - top) / 2;
            double dx = (px - (left + rx)) / rx, dy = (py - (top + ry)) / ry;
            return dx * dx + dy * dy <= 1.0;
        }
        double r = std::max(0.0, radius - inset);
        double cx = std::clamp(px, left + r, right - r), cy = std::clamp(py, top + r, bottom - r);
        return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (inside(x + 0.5, y + 0.5, 0) && !inside(x + 0.5, y + 0.5, t))
                out.set(x, y);
    return out;
}

}  // namespace vprinter
