#include "TextRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <memory>
#include <vector>

#include "TraceLog.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr const char* kMethod = "CTextRasterizer::render";
constexpr const char* kDefaultFace = "sans-serif";
// A slant of about 12 degrees for italic (16.16 fixed point).
constexpr FT_Fixed kItalicShear = 0x0366A;

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FreeTypeLibrary() { FT_Init_FreeType(&library); }
    ~FreeTypeLibrary() {
        if (library)
            FT_Done_FreeType(library);
    }
};

// One face that may draw characters of the text, opened on first use.
struct Candidate {
    std::string file;
    int index = 0;
    std::string family;
    FcCharSet* charset = nullptr;  // owned by the pattern set; null for a file given by name
    FT_Face face = nullptr;
    bool failed = false;
};

// fontconfig's state lives from the first drawing to the end of the process; FcFini
// hands back what FcInit took.
struct FontConfigSession {
    FontConfigSession() { FcInit(); }
    ~FontConfigSession() { FcFini(); }
};

FcConfig* fontConfig() {
    static FontConfigSession session;
    return FcConfigGetCurrent();
}

std::string stringOf(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) == FcResultMatch && value)
        return reinterpret_cast<const char*>(value);
    return {};
}

class FaceList {
public:
    FaceList(FT_Library library, const TextStyle& style) : library_(library) {
        if (!style.face.empty() && style.face.find('/') != std::string::npos &&
            platform::canOpenForReading(style.face))
            candidates_.push_back({style.face, 0, style.face, nullptr, nullptr, false});
        else
            addSorted(style.face.empty() ? kDefaultFace : style.face, true);
        if (!style.secondFace.empty())
            addSorted(style.secondFace, false);
        addSorted(kDefaultFace, true);
    }
    ~FaceList() {
        for (Candidate& candidate : candidates_)
            if (candidate.face)
                FT_Done_Face(candidate.face);
        for (FcFontSet* set : sets_)
            FcFontSetDestroy(set);
    }
    FaceList(const FaceList&) = delete;
    FaceList& operator=(const FaceList&) = delete;

    // The first candidate with a glyph for the character.
    Candidate* faceFor(char32_t character) {
        for (Candidate& candidate : candidates_) {
            if (candidate.charset && !FcCharSetHasChar(candidate.charset, character))
                continue;
            if (!open(candidate))
                continue;
            if (FT_Get_Char_Index(candidate.face, character) != 0)
                return &candidate;
        }
        return nullptr;
    }
    const Candidate* first() const { return candidates_.empty() ? nullptr : &candidates_[0]; }

private:
    // The faces fontconfig ranks for the name; `all` keeps the whole ranking, otherwise
    // only the best match.
    void addSorted(const std::string& name, bool all) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
        if (!pattern)
            return;
        FcConfigSubstitute(fontConfig(), pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* set = FcFontSort(fontConfig(), pattern, FcTrue, nullptr, &result);
        FcPatternDestroy(pattern);
        if (!set)
            return;
        sets_.push_back(set);
        for (int i = 0; i < set->nfont && (all || i == 0); ++i) {
            FcPattern* font = set->fonts[i];
            Candidate candidate;
            candidate.file = stringOf(font, FC_FILE);
            FcPatternGetInteger(font, FC_INDEX, 0, &candidate.index);
            candidate.family = stringOf(font, FC_FAMILY);
            FcPatternGetCharSet(font, FC_CHARSET, 0, &candidate.charset);
            if (!candidate.file.empty())
                candidates_.push_back(std::move(candidate));
        }
    }

    bool open(Candidate& candidate) {
        if (candidate.face)
            return true;
        if (candidate.failed)
            return false;
        if (FT_New_Face(library_, candidate.file.c_str(), candidate.index, &candidate.face) != 0 ||
            !FT_IS_SCALABLE(candidate.face)) {
            if (candidate.face)
                FT_Done_Face(candidate.face);
            candidate.face = nullptr;
            candidate.failed = true;
            return false;
        }
        return true;
    }

    FT_Library library_;
    std::vector<Candidate> candidates_;
    std::vector<FcFontSet*> sets_;
};

struct Glyph {
    int penX = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int pitch = 0;
    std::vector<unsigned char> bits;  // one-bit rows as FreeType renders them
};

// Sizes the face and loads, styles and renders one glyph; false when it cannot.
bool renderGlyph(FT_Face face, char32_t character, const TextStyle& style, Glyph& glyph,
                 int& advance) {
    FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(style.width), static_cast<FT_UInt>(style.height));
    FT_Matrix shear{0x10000, style.italic ? kItalicShear : 0, 0, 0x10000};
    FT_Set_Transform(face, &shear, nullptr);
    FT_UInt index = FT_Get_Char_Index(face, character);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    FT_Pos extra = 0;
    if (style.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        extra = std::max<FT_Pos>(64, static_cast<FT_Pos>(style.height) * 64 / 24);
        FT_Outline_Embolden(&slot->outline, extra);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.pitch = std::abs(bitmap.pitch);
    glyph.bits.assign(bitmap.buffer, bitmap.buffer + static_cast<size_t>(glyph.pitch) * glyph.rows);
    advance = static_cast<int>((slot->advance.x + extra + 32) >> 6);
    return true;
}

}  // namespace

std::optional<CMonoBitmap> CTextRasterizer::render(const std::u32string& text,
                                                   const TextStyle& style) {
    if (text.size() > static_cast<size_t>(kMaxWidth)) {
        TraceError(kMethod, __LINE__, "a text of %zu characters is longer than any label",
                   text.size());
        return std::nullopt;
    }
    FreeTypeLibrary freeType;
    if (!freeType.library) {
        TraceError(kMethod, __LINE__, "FreeType cannot start");
        return std::nullopt;
    }
    FaceList faces(freeType.library, style);
    const Candidate* primary = faces.first();
    if (primary && !style.face.empty() && style.face != primary->file &&
        !platform::equalsIgnoringAsciiCase(style.face, primary->family))
        TraceWrite(kMethod, __LINE__, "face \"%s\" is not installed: using \"%s\"",
                   style.face.c_str(), primary->family.c_str());
    std::vector<Glyph> glyphs;
    int pen = 0;
    int ascent = 0;
    int descent = 0;
    std::string lastSubstitute;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t character = text[i];
        if (character < 0x20)
            continue;  // one line: control characters draw nothing
        Candidate* candidate = faces.faceFor(character);
        if (!candidate) {
            TraceError(kMethod, __LINE__, "no installed face has the character U+%04X",
                       static_cast<unsigned>(character));
            return std::nullopt;
        }
        if (candidate != primary && candidate->family != lastSubstitute) {
            lastSubstitute = candidate->family;
            TraceWrite(kMethod, __LINE__, "face \"%s\" lacks characters of the text: using \"%s\"",
                       style.face.c_str(), candidate->family.c_str());
        }
        Glyph glyph;
        int advance = 0;
        if (!renderGlyph(candidate->face, character, style, glyph, advance)) {
            TraceError(kMethod, __LINE__, "cannot draw U+%04X with \"%s\"",
                       static_cast<unsigned>(character), candidate->file.c_str());
            return std::nullopt;
        }
        FT_Size_Metrics& metrics = candidate->face->size->metrics;
        ascent = std::max({ascent, static_cast<int>((metrics.ascender + 63) >> 6), glyph.top});
        descent = std::max(
            {descent, static_cast<int>((-metrics.descender + 63) >> 6), glyph.rows - glyph.top});
        glyph.penX = pen;
        pen += advance + (i + 1 < text.size() ? style.spacing : 0);
        glyphs.push_back(std::move(glyph));
        if (std::abs(pen) > kMaxWidth) {
            TraceError(kMethod, __LINE__, "the text is wider than any label (%d dots)", kMaxWidth);
            return std::nullopt;
        }
    }
    int minX = 0;
    int maxX = std::max(pen, 1);
    for (const Glyph& glyph : glyphs) {
        minX = std::min(minX, glyph.penX + glyph.left);
        maxX = std::max(maxX, glyph.penX + glyph.left + glyph.width);
    }
    CMonoBitmap bitmap(maxX - minX, std::max(ascent + descent, 1));
    for (const Glyph& glyph : glyphs) {
        for (int row = 0; row < glyph.rows; ++row) {
            int y = ascent - glyph.top + row;
            for (int column = 0; column < glyph.width; ++column) {
                unsigned char byte =
                    glyph.bits[static_cast<size_t>(row * glyph.pitch + column / 8)];
                int x = glyph.penX + glyph.left + column - minX;
                if ((byte & (0x80 >> (column % 8))) && y >= 0 && y < bitmap.height() && x >= 0 &&
                    x < bitmap.width())
                    bitmap.setBlack(x, y);
            }
        }
    }
    return bitmap;
}
