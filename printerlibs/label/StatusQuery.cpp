#include "StatusQuery.h"

#include <array>
#include <cstdlib>

#include "cvnlblapi.h"
#include "platform/Text.h"

namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

// The first field of the first ~HS string is the paper-out flag, the second the pause
// flag, the twelfth the over-temperature flag; the second string has the head-up flag
// third and the ribbon-out flag fourth.
constexpr size_t kPaperOutField = 1;
constexpr size_t kPauseField = 2;
constexpr size_t kOverTemperatureField = 11;
constexpr size_t kHeadUpField = 2;
constexpr size_t kRibbonOutField = 3;

// Error flags of ~HQES (the last eight hexadecimal digits of the ERRORS line).
constexpr uint32_t kMediaOut = 0x00000001;
constexpr uint32_t kRibbonOut = 0x00000002;
constexpr uint32_t kHeadOpen = 0x00000004;
constexpr uint32_t kCutterFault = 0x00000008;
constexpr uint32_t kOverTemperature = 0x00000030;  // print head or motor
constexpr uint32_t kMediaDetection = 0x000C4000;   // paper feed error, black mark errors
constexpr uint32_t kPausedFlag = 0x00010000;

enum Condition { CoverOpen, PaperEmpty, RibbonEnd, CutterJammed, MediaDetection, Overheat, Paused };
using Conditions = std::array<bool, 7>;

constexpr int kCodes[] = {CVNLBL_STATUS_COVER_OPEN,      CVNLBL_STATUS_PAPER_EMPTY,
                          CVNLBL_STATUS_RIBBON_END,      CVNLBL_STATUS_CUTTER_JAMMED,
                          CVNLBL_STATUS_MEDIA_DETECTION, CVNLBL_STATUS_HEAD_OVERHEAT,
                          CVNLBL_STATUS_PAUSED};

// A flag field: "0" or "1"; anything else is unreadable.
std::optional<bool> flag(const std::vector<std::string>& parts, size_t index, bool optional) {
    if (index >= parts.size())
        return optional ? std::optional<bool>(false) : std::nullopt;
    const std::string& text = parts[index];
    if (text == "0" || text == "1")
        return text == "1";
    return std::nullopt;
}

bool isErrorBlock(const std::string& frame) {
    return frame.find("ERRORS:") != std::string::npos;
}

// The error flags of the ERRORS line: "<0|1> <8 hex digits> <8 hex digits>".
std::optional<uint32_t> errorFlags(const std::string& frame) {
    size_t at = frame.find("ERRORS:") + 7;
    const char* text = frame.c_str() + at;
    char* end = nullptr;
    long present = std::strtol(text, &end, 10);
    if (end == text || (present != 0 && present != 1))
        return std::nullopt;
    text = end;
    std::strtoul(text, &end, 16);  // the second group: no flag we report lives there
    if (end == text)
        return std::nullopt;
    text = end;
    unsigned long flags = std::strtoul(text, &end, 16);
    if (end == text)
        return std::nullopt;
    return present ? static_cast<uint32_t>(flags) : 0;
}

}  // namespace

namespace printerreply {

std::vector<std::string> frames(std::string_view bytes, std::string* rest) {
    std::vector<std::string> out;
    size_t consumed = 0;
    for (;;) {
        size_t start = bytes.find(kStx, consumed);
        if (start == std::string_view::npos)
            break;
        size_t end = bytes.find(kEtx, start + 1);
        if (end == std::string_view::npos) {
            consumed = start;
            break;
        }
        out.emplace_back(bytes.substr(start + 1, end - start - 1));
        consumed = end + 1;
    }
    if (rest) {
        // Keep an unfinished frame; bytes between frames (line ends) are dropped.
        size_t open = bytes.find(kStx, consumed);
        *rest = open == std::string_view::npos ? std::string() : std::string(bytes.substr(open));
    }
    return out;
}

std::optional<std::string> modelName(std::string_view bytes) {
    std::vector<std::string> found = frames(bytes);
    if (found.empty())
        return std::nullopt;
    std::string name = found.front().substr(0, found.front().find(','));
    std::string clean;
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            clean += c;
    size_t first = clean.find_first_not_of(' ');
    size_t last = clean.find_last_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return clean.substr(first, last - first + 1);
}

}  // namespace printerreply

CStatusQuery::CStatusQuery(int64_t askedAt, Timing timing) : timing_(timing), askedAt_(askedAt) {}

void CStatusQuery::feed(std::string_view bytes, int64_t now) {
    if (bytes.empty())
        return;
    unframed_.append(bytes);
    std::string rest;
    for (std::string& frame : printerreply::frames(unframed_, &rest)) {
        if (isErrorBlock(frame)) {
            errorFlags_ = errorFlags(frame);
            if (!errorFlags_)
                unreadable_ = true;
        } else if (hostStatus_.size() < 3) {
            hostStatus_.push_back(std::move(frame));
            if (hostStatus_.size() == 3)
                hostStatusCompleteAt_ = now;
        }
    }
    unframed_ = std::move(rest);
}

std::optional<int> CStatusQuery::result(int64_t now) const {
    if (unreadable_)
        return CVNLBL_STATUS_BAD_ANSWER;
    if (errorFlags_)
        return code();
    if (hostStatusCompleteAt_ && now >= *hostStatusCompleteAt_ + timing_.errorsGraceMs)
        return code();
    if (now >= askedAt_ + timing_.answerMs)
        return hostStatusCompleteAt_ ? code() : CVNLBL_STATUS_NO_ANSWER;
    return std::nullopt;
}

int64_t CStatusQuery::decisionAt() const {
    int64_t deadline = askedAt_ + timing_.answerMs;
    if (hostStatusCompleteAt_)
        deadline = std::min(deadline, *hostStatusCompleteAt_ + timing_.errorsGraceMs);
    return deadline;
}

int CStatusQuery::code() const {
    Conditions conditions{};
    if (hostStatus_.size() == 3) {
        std::vector<std::string> first = platform::splitFields(hostStatus_[0], ',');
        std::vector<std::string> second = platform::splitFields(hostStatus_[1], ',');
        auto paper = flag(first, kPaperOutField, false);
        auto pause = flag(first, kPauseField, false);
        auto hot = flag(first, kOverTemperatureField, true);
        auto head = flag(second, kHeadUpField, false);
        auto ribbon = flag(second, kRibbonOutField, false);
        if (!paper || !pause || !hot || !head || !ribbon)
            return CVNLBL_STATUS_BAD_ANSWER;
        conditions[PaperEmpty] = *paper;
        conditions[Paused] = *pause;
        conditions[Overheat] = *hot;
        conditions[CoverOpen] = *head;
        conditions[RibbonEnd] = *ribbon;
    }
    if (errorFlags_) {
        uint32_t flags = *errorFlags_;
        conditions[PaperEmpty] = conditions[PaperEmpty] || (flags & kMediaOut);
        conditions[RibbonEnd] = conditions[RibbonEnd] || (flags & kRibbonOut);
        conditions[CoverOpen] = conditions[CoverOpen] || (flags & kHeadOpen);
        conditions[CutterJammed] = flags & kCutterFault;
        conditions[Overheat] = conditions[Overheat] || (flags & kOverTemperature);
        conditions[MediaDetection] = flags & kMediaDetection;
        conditions[Paused] = conditions[Paused] || (flags & kPausedFlag);
    }
    for (size_t i = 0; i < conditions.size(); ++i)
        if (conditions[i])
            return kCodes[i];
    return CVNLBL_STATUS_OK;
}
