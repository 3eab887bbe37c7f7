// Draws a ZPL label from the decoder's elements of one ^XA...^XZ format: the label is
// ^PW by ^LL dots at the printer's resolution; fields sit at ^FO/^FT plus ^LH in their
// orientation, text in ZPL's fonts (stand-ins with their cell sizes), field blocks, bar
// codes and 2D symbols through zint, boxes, circles, ellipses, diagonals and graphics,
// reverse fields flipping what lies below. Whatever falls off the label is clipped, and
// the fields that were are named.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "MonoImage.h"

namespace vprinter {

class LabelDrawer {
public:
    explicit LabelDrawer(int dotsPerInch = 203);

    void add(const Json::Value& element, const std::shared_ptr<const MonoImage>& dots);
    MonoImage picture();
    // The journal numbers of the fields that did not fit on the label.
    const std::vector<long long>& clipped() const { return clipped_; }
    const std::vector<std::string>& notes() const { return notes_; }
    int dotsPerInch() const { return dpi_; }

private:
    struct Placed {
        Json::Value element;
        std::shared_ptr<const MonoImage> dots;
    };

    void draw(MonoImage& label, const Placed& placed);
    MonoImage textField(const Json::Value& e) const;
    MonoImage barcodeField(const Json::Value& e);
    MonoImage shapeField(const Json::Value& e) const;
    void note(const std::string& text);

    int dpi_;
    int width_;
    int length_;
    int homeX_ = 0;
    int homeY_ = 0;
    std::vector<Placed> fields_;
    std::vector<long long> clipped_;
    std::vector<std::string> notes_;
};

}  // namespace vprinter
