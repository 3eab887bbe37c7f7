// Draws a receipt from the ESC/POS decoder's elements, in their order, onto paper of the
// printer's width: lines of text in the cell fonts with their styles, placed by
// alignment, positions, left margin and print-area width and fed by the line spacing;
// pictures as they arrived; bar codes and 2D symbols through zint with their
// human-readable line; feeds; a dashed line where the paper is cut.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "MonoImage.h"

namespace vprinter {

class ReceiptDrawer {
public:
    static constexpr int kPaper80mm = 576;
    static constexpr int kPaper58mm = 384;
    // A receipt longer than this (about 5 m) is drawn up to here.
    static constexpr int kMaxLength = 40000;

    explicit ReceiptDrawer(int paperDots = kPaper80mm);

    void add(const Json::Value& element, const std::shared_ptr<const MonoImage>& dots);
    // The receipt so far, a margin of paper below its last line.
    MonoImage picture();
    // What could not be drawn, one sentence each.
    const std::vector<std::string>& notes() const { return notes_; }

private:
    struct Piece {
        int x;
        MonoImage dots;
    };

    void text(const Json::Value& element);
    void endLine(int feedDots);
    void place(const MonoImage& dots, const std::string& align);
    void symbol(const Json::Value& element);
    void cut();
    void grow(int bottom);
    void note(const std::string& text);

    int paper_;
    MonoImage sheet_;
    int y_ = 0;
    int margin_ = 0;
    int width_;
    int lineSpacing_ = 30;
    // The line being gathered.
    std::vector<Piece> line_;
    int cursor_ = 0;
    bool positioned_ = false;
    std::string lineAlign_ = "left";
    bool lineUpsideDown_ = false;
    std::vector<std::string> notes_;
};

}  // namespace vprinter
