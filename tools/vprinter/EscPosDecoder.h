// The ESC/POS side of the virtual printer. Commands sit in a prefix tree of bytes; each
// command reads its own arguments (fixed, counted or terminated) and says what it was.
// Attribute commands shape the text elements that follow; everything else is an element
// of its own, so that no parameter byte is ever taken for text. Pictures (raster, column
// and stored graphics) are journaled with their dots for the preview.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PrinterLanguage.h"

namespace vprinter {

class EscPosDecoder : public LanguageDecoder {
public:
    // ESC 2: 1/6 inch at 180 dots an inch.
    static constexpr int kDefaultLineSpacing = 30;
    // A column image stripe is 24 dots high in every mode (8-dot modes print each bit 3
    // dots high).
    static constexpr int kStripeRows = 24;
    // No received picture is larger; a larger command is skipped and journaled as refused.
    static constexpr uint64_t kMaxCommandBytes = 16 * 1024 * 1024;
    // Text without a line end is journaled at this many bytes.
    static constexpr size_t kMaxTextRun = 4096;

    EscPosDecoder();

    const char* language() const override { return "escpos"; }
    void feed(std::string_view bytes, DecoderContext& context) override;
    void finish(DecoderContext& context) override;
    std::string statusReport(const PrinterCondition& condition, int mask) const override;

    // The answer to DLE EOT n (1 to 4).
    static char realTimeStatus(const PrinterCondition& condition, int n);
    static std::string automaticStatusBlock(const PrinterCondition& condition);

private:
    // Reads a command's arguments; the bytes it used, or nothing while they are incomplete.
    using Handler = std::function<std::optional<size_t>(std::string_view args, DecoderContext&)>;
    struct Node {
        Handler handler;
        std::map<unsigned char, std::unique_ptr<Node>> next;
    };
    struct Style {
        int align = 0;
        bool rotated = false;
        int font = 0;
        bool bold = false;
        int underline = 0;
        bool reverse = false;
        bool upsideDown = false;
        int width = 1;
        int height = 1;
        bool smoothing = false;
        int spacing = 0;
    };
    struct Symbol {
        Json::Value settings{Json::objectValue};
        std::string data;
        std::string linear;
    };

    void add(std::string_view prefix, Handler handler);
    // A command with fixed arguments whose values go to `apply`.
    void addFixed(std::string_view prefix, size_t count,
                  std::function<void(std::string_view, DecoderContext&)> apply);
    void addStyle(std::string_view prefix, std::function<void(Style&, int)> apply);
    // Counted commands whose length would hold more than any picture are skipped as
    // their bytes arrive, not gathered.
    std::optional<size_t> counted(std::string_view args, size_t header, uint64_t dataBytes,
                                  const char* command, DecoderContext& context);
    void addCommands();
    void addLayout();
    void addOtherCommands();
    void addRealTime();
    void addSymbols();
    void addQueries();
    void addImages();
    void addStoredGraphics();

    // Decodes one element from the front of `pending`: the bytes it took, 0 when the
    // rest of a command has not arrived.
    size_t step(std::string_view pending, DecoderContext& context);
    void flushText(DecoderContext& context, bool newline);
    void flushImage(DecoderContext& context);
    // A feed after a column image stripe ends the stripe's line instead of feeding:
    // true when it did.
    bool endStripeLine(int feedDots);
    // A picture of `dots` (printed dots) joins the one being gathered when it continues
    // it (same kind and width), or starts a new one.
    void gatherImage(const char* command, MonoImage dots, int mode, DecoderContext& context);
    void printImage(const char* command, const MonoImage& dots, DecoderContext& context);
    std::optional<size_t> graphics(std::string_view body, DecoderContext& context);
    // Text and pictures end where anything else begins.
    void flushAll(DecoderContext& context);
    void element(DecoderContext& context, Json::Value value);
    int codePage() const;
    std::optional<size_t> raster(std::string_view args, DecoderContext& context);
    std::optional<size_t> columnImage(std::string_view args, DecoderContext& context);
    std::optional<size_t> barcode(std::string_view args, DecoderContext& context);
    std::optional<size_t> symbol(std::string_view args, DecoderContext& context);
    std::optional<size_t> query(const char* command, int n, std::string reply,
                                DecoderContext& context);

    Node root_;
    std::string pending_;
    std::string text_;
    Style style_;
    int table_ = 0;
    bool kanji_ = false;
    int kanjiSystem_ = -1;
    bool utf8_ = false;
    bool pageMode_ = false;
    int hri_ = 0;
    int hriFont_ = 0;
    int barHeight_ = 162;
    int barWidth_ = 3;
    int lineSpacing_ = kDefaultLineSpacing;
    Json::Value image_;  // the picture being gathered from consecutive bands
    MonoImage imageDots_;
    std::vector<Json::Value> afterImage_;  // elements made while the image was gathered
    // A column image's stripe line was ended by a feed: the next stripe continues the
    // picture below this many blank rows.
    std::optional<int> stripeGap_;
    MonoImage graphicsBuffer_;                         // GS ( L function 112
    std::map<std::string, MonoImage> storedGraphics_;  // NV and download graphics by key
    MonoImage downloadedImage_;                        // GS *
    std::map<int, MonoImage> nvImages_;                // FS q
    uint64_t skip_ = 0;                                // bytes of a refused command still to come
    std::map<int, Symbol> symbols_;
};

}  // namespace vprinter
