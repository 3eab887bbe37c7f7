// One question to the printer about its state and the reading of its answer.
//
// The question is "~HS~HQES". ~HS answers with three framed strings (STX ... ETX):
// paper out, pause and over-temperature in the first, head up and ribbon out in the
// second. ~HQES answers with one framed block whose ERRORS line carries the error flags
// (cutter, media detection and the rest). Printers answer in that order; some leave ~HS
// unanswered while they are in error, older ones do not know ~HQES. So the answer is
// complete once the error flags are there, or a short grace after ~HS when they never
// come; with neither before the deadline there is no answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CStatusQuery {
public:
    static constexpr std::string_view kQuestion = "~HS~HQES";

    struct Timing {
        int answerMs = 2000;      // from the question to giving up
        int errorsGraceMs = 300;  // from a complete ~HS answer to giving up on ~HQES
    };

    CStatusQuery(int64_t askedAt, Timing timing);

    void feed(std::string_view bytes, int64_t now);
    // The status code once the answer is complete or the time is up; nothing while it
    // is still worth waiting.
    std::optional<int> result(int64_t now) const;
    // When result() may change without new bytes.
    int64_t decisionAt() const;

private:
    int code() const;

    Timing timing_;
    int64_t askedAt_;
    std::string unframed_;
    std::vector<std::string> hostStatus_;
    std::optional<uint32_t> errorFlags_;
    std::optional<int64_t> hostStatusCompleteAt_;
    bool unreadable_ = false;
};

namespace printerreply {

// The texts between STX and ETX, in order; `rest` keeps what follows the last ETX.
std::vector<std::string> frames(std::string_view bytes, std::string* rest = nullptr);
// The model name of a ~HI answer: its first field.
std::optional<std::string> modelName(std::string_view bytes);

}  // namespace printerreply
