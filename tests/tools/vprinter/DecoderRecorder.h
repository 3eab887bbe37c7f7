// A decoder's surroundings for tests: it keeps the elements and the replies, and plays
// the condition and identity a test sets.
#pragma once

#include <string>
#include <vector>

#include "Journal.h"
#include "PrinterLanguage.h"

namespace vprinter::test {

struct Recorder : DecoderContext {
    std::vector<Json::Value> elements;
    std::string replies;
    PrinterCondition state;
    PrinterIdentity who;
    int mask = 0;

    void journal(Json::Value element) override { elements.push_back(element); }
    void reply(std::string_view bytes) override { replies.append(bytes); }
    PrinterCondition condition() const override { return state; }
    const PrinterIdentity& identity() const override { return who; }
    void automaticStatus(int m) override { mask = m; }

    std::string lines() const {
        std::string out;
        for (const auto& e : elements)
            out += Journal::line(e) + "\n";
        return out;
    }
};

}  // namespace vprinter::test
