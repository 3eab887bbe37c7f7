#include "LabelFormat.h"

namespace {

void appendIf(std::string& out, int value, const char* command) {
    if (value > 0)
        out += command + std::to_string(value);
}

// A setting given as 1, 2, ... picks the letter at that place.
void appendChoice(std::string& out, int value, const char* command, const char* letters) {
    if (value > 0) {
        out += command;
        out += letters[value - 1];
    }
}

std::string optionalNumber(int value) {
    return value > 0 ? std::to_string(value) : std::string();
}

}  // namespace

void CLabelFormat::setSize(int width, int length) {
    width_ = width;
    length_ = length;
}

void CLabelFormat::setHome(int x, int y) {
    homeX_ = x;
    homeY_ = y;
}

bool CLabelFormat::fits(const LabelArea& area) const {
    return area.x >= 0 && area.y >= 0 && area.width >= 1 && area.height >= 1 &&
           static_cast<long long>(homeX_) + area.x + area.width <= width_ &&
           static_cast<long long>(homeY_) + area.y + area.height <= length_;
}

bool CLabelFormat::allFit() const {
    for (const Element& element : elements_)
        if (element.placed && !fits(element.area))
            return false;
    return true;
}

void CLabelFormat::add(std::string zpl, const LabelArea& area) {
    elements_.push_back({std::move(zpl), true, area});
}

void CLabelFormat::addUnplaced(std::string zpl) {
    elements_.push_back({std::move(zpl), false, {}});
}

void CLabelFormat::clear() {
    elements_.clear();
    unfinished_ = false;
    rfidAccessPassword_.clear();
}

void CLabelFormat::reset() {
    *this = CLabelFormat();
}

std::string CLabelFormat::settingsZpl() const {
    const LabelSettings& s = settings_;
    std::string out = "^PW" + std::to_string(width_) + "^LL" + std::to_string(length_) + "^LH" +
                      std::to_string(homeX_) + ',' + std::to_string(homeY_);
    if (s.mediaSensing == 2)
        out += "^MNM," + std::to_string(s.markOffset);
    else
        appendChoice(out, s.mediaSensing, "^MN", "YMN");
    appendIf(out, s.maxLength, "^ML");
    appendChoice(out, s.printMethod, "^MT", "DT");
    appendChoice(out, s.afterPrint, "^MM", "TPCR");
    if (s.speed > 0) {
        out += "^PR" + std::to_string(s.speed);
        if (s.slewSpeed > 0 || s.backfeedSpeed > 0)
            out += ',' + optionalNumber(s.slewSpeed);
        if (s.backfeedSpeed > 0)
            out += ',' + optionalNumber(s.backfeedSpeed);
    }
    if (s.darkness > 0)
        out += (s.darkness < 10 ? "~SD0" : "~SD") + std::to_string(s.darkness);
    appendChoice(out, s.orientation, "^PO", "NI");
    appendChoice(out, s.mirror, "^PM", "NY");
    appendChoice(out, s.labelReverse, "^LR", "NY");
    appendChoice(out, s.reprintAfterError, "^JZ", "NY");
    if (s.rfidTagType || s.rfidPosition || s.rfidRetries || s.rfidErrorHandling) {
        out += "^RS" + optionalNumber(s.rfidTagType) + ',' +
               (s.rfidPosition > 0 ? 'F' + std::to_string(s.rfidPosition) : std::string()) + ",," +
               optionalNumber(s.rfidRetries) + ',';
        if (s.rfidErrorHandling > 0)
            out += "NPE"[s.rfidErrorHandling - 1];
    }
    return out;
}

std::string CLabelFormat::render(long long count) const {
    std::string out = "^XA^CI28" + settingsZpl();
    for (const Element& element : elements_)
        out += element.zpl;
    out += "^PQ" + std::to_string(count) + "^XZ";
    return out;
}
