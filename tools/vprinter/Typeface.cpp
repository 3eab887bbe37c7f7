#include "Typeface.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace vprinter {
namespace {

// Fontconfig names of the faces, in the order a character is looked for.
constexpr const char* kCellFace = "DejaVu Sans Mono";
constexpr const char* kCellBoldFace = "DejaVu Sans Mono:bold";
constexpr const char* kScalableFace = "DejaVu Sans Condensed:bold";
constexpr const char* kFallbackFaces[] = {"DejaVu Sans", "Droid Sans Fallback", "NanumGothic"};
// Scalable glyphs stand on a baseline this far down an em (in hundredths), with room for
// accents above capitals and descenders below up to the line's height.
constexpr int kScalableBaseline = 82;
// A double-width glyph's em and baseline in hundredths of its box.
constexpr int kWideEm = 92;
constexpr int kWideBaseline = 84;
// Kept glyphs before the cache starts over.
constexpr size_t kMaxGlyphs = 8192;

std::string findFile(const char* name) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name));
    if (!pattern)
        return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string file;
    FcChar8* value = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch && value)
        file = reinterpret_cast<const char*>(value);
    if (match)
        FcPatternDestroy(match);
    return file;
}

struct Glyph {
    int left = 0;
    int top = 0;  // from the box's top
    MonoImage dots;
    int advance = 0;
};

class Faces {
public:
    static Faces& instance() {
        static Faces faces;
        return faces;
    }

    std::string file(const std::string& role) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (role == "cell")
            return files_[0];
        if (role == "scalable")
            return files_[2];
        return files_.size() > 4 ? files_[4] : std::string();
    }

    // The glyph of `character` for the box, drawn on first use.
    Glyph glyph(char32_t character, const GlyphBox& box, FaceKind kind) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto key = std::make_tuple(character, box.width, box.height, box.bold, kind);
        auto found = glyphs_.find(key);
        if (found != glyphs_.end())
            return found->second;
        if (glyphs_.size() >= kMaxGlyphs)
            glyphs_.clear();
        return glyphs_[key] = render(character, box, kind);
    }

private:
    Faces() {
        FT_Init_FreeType(&library_);
        FcInit();
        files_ = {findFile(kCellFace), findFile(kCellBoldFace), findFile(kScalableFace)};
        for (const char* name : kFallbackFaces)
            files_.push_back(findFile(name));
        for (const std::string& file : files_) {
            FT_Face face = nullptr;
            if (library_ && !file.empty() && FT_New_Face(library_, file.c_str(), 0, &face) != 0)
                face = nullptr;
            faces_.push_back(face);
        }
    }
    ~Faces() {
        for (FT_Face face : faces_)
            if (face)
                FT_Done_Face(face);
        if (library_)
            FT_Done_FreeType(library_);
        FcFini();
    }

    // The first face with the character: the kind's own, then the fallbacks.
    FT_Face faceFor(char32_t character, const GlyphBox& box, FaceKind kind) {
        std::vector<size_t> order{kind == FaceKind::Scalable ? 2u : box.bold ? 1u : 0u};
        for (size_t i = 3; i < faces_.size(); ++i)
            order.push_back(i);
        for (size_t i : order)
            if (faces_[i] && FT_Get_Char_Index(faces_[i], character) != 0)
                return faces_[i];
        return faces_[order[0]];
    }

    Glyph render(char32_t character, const GlyphBox& box, FaceKind kind) {
        Glyph out;
        FT_Face face = faceFor(character, box, kind);
        if (!face || box.width <= 0 || box.height <= 0)
            return out;
        int baseline;
        if (kind == FaceKind::Cell) {
            // The em is chosen so that an advance fills the box's width and ascent plus
            // descent its height.
            FT_Set_Char_Size(face, 0, 64 * 64, 0, 0);
            FT_Load_Char(face, 'M', FT_LOAD_NO_BITMAP);
            double advance = face->glyph->advance.x / 64.0 / 64.0;
            double extent =
                (face->ascender - face->descender) / static_cast<double>(face->units_per_EM);
            double emX = box.width / advance;
            double emY = box.height / extent;
            bool wideGlyph = Typeface::wide(character);
            // Double-width glyphs are a whole em wide and stand in an em square.
            if (wideGlyph) {
                emX = box.width * kWideEm / 100.0;
                emY = box.height * kWideEm / 100.0;
            }
            FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(std::max(1.0, emX)),
                               static_cast<FT_UInt>(std::max(1.0, emY)));
            baseline = wideGlyph ? box.height * kWideBaseline / 100
                                 : static_cast<int>(face->size->metrics.ascender >> 6);
        } else {
            FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(box.width),
                               static_cast<FT_UInt>(box.height));
            baseline = box.height * kScalableBaseline / 100;
        }
        if (FT_Load_Char(
                face, character,
                FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO | FT_LOAD_RENDER | FT_LOAD_MONOCHROME) != 0)
            return out;
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        out.left = slot->bitmap_left;
        out.top = baseline - slot->bitmap_top;
        out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        out.dots = MonoImage(static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows));
        for (int y = 0; y < out.dots.height(); ++y)
            for (int x = 0; x < out.dots.width(); ++x)
                if (bitmap.buffer[y * bitmap.pitch + x / 8] & (0x80 >> (x % 8)))
                    out.dots.set(x, y);
        return out;
    }

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    std::vector<std::string> files_;
    std::vector<FT_Face> faces_;
    std::map<std::tuple<char32_t, int, int, bool, FaceKind>, Glyph> glyphs_;
};

}  // namespace

void Typeface::draw(MonoImage& canvas, char32_t character, int x, int y, const GlyphBox& box,
                    FaceKind kind, bool reverse) {
    if (character <= 0x20)
        return;
    Glyph glyph = Faces::instance().glyph(character, box, kind);
    for (int gy = 0; gy < glyph.dots.height(); ++gy)
        for (int gx = 0; gx < glyph.dots.width(); ++gx)
            if (glyph.dots.black(gx, gy)) {
                int px = x + glyph.left + gx;
                int py = y + glyph.top + gy;
                // A cell glyph never leaves its cell.
                if (kind == FaceKind::Cell &&
                    (px < x || px >= x + box.width || py < y || py >= y + box.height))
                    continue;
                if (reverse)
                    canvas.flip(px, py);
                else
                    canvas.set(px, py);
            }
}

int Typeface::advance(char32_t character, int width, int height) {
    return Faces::instance().glyph(character, {width, height, false}, FaceKind::Scalable).advance;
}

bool Typeface::wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

std::string Typeface::faceFile(const std::string& role) {
    return Faces::instance().file(role);
}

std::u32string codePoints(const std::string& utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > utf8.size()) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        char32_t value = length == 1 ? c : c & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            value = value << 6 | (next & 0x3F);
        }
        out += valid ? value : U'\uFFFD';
        i += valid ? length : 1;
    }
    return out;
}

}  // namespace vprinter
