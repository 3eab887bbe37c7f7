// The ESC/POS side of the virtual printer. Commands sit in a prefix tree of bytes; each
// command reads its own arguments and says what it was. Attribute commands shape the
// text elements that follow; everything else is an element of its own.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "PrinterLanguage.h"

namespace vprinter {

class EscPosDecoder : public LanguageDecoder {
public:
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
    void addCommands();
    void addSymbols();
    void addQueries();

    // Decodes one element from the front of `pending`: the bytes it took, 0 when the
    // rest of a command has not arrived.
    size_t step(std::string_view pending, DecoderContext& context);
    void flushText(DecoderContext& context, bool newline);
    void flushImage(DecoderContext& context);
    // Text and pictures end where anything else begins.
    void flushAll(DecoderContext& context);
    void element(DecoderContext& context, Json::Value value);
    int codePage() const;
    std::optional<size_t> raster(std::string_view args, DecoderContext& context);
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
    int barHeight_ = 162;
    int barWidth_ = 3;
    Json::Value image_;  // the picture being gathered from consecutive bands
    std::map<int, Symbol> symbols_;
};

}  // namespace vprinter
