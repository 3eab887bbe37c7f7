// The typed arguments of one job function call, read from its texts. Both bridges type
// parameters alike and differ only in whether an integer may carry a minus sign.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "PrinterBridge.h"
#include "platform/Text.h"

enum class IntegerSyntax {
    DigitsOnly,    // "007" is 7; "-5" is not an integer
    OneMinusSign,  // one '-' anywhere; the value is read from the start: "5-" is 5
};

struct CallArguments {
    static constexpr int kMaxIntegers = 16;
    static constexpr int kMaxTexts = 4;

    std::array<int, kMaxIntegers> integers{};
    std::array<std::string, kMaxTexts> texts;

    // Short forms for the bridges' call tables: integer k, text k, text k in UTF-16.
    int i(int k) const { return integers[k]; }
    const char* t(int k) const { return texts[k].c_str(); }
    platform::WideString w(int k) const { return platform::ansiToWide(texts[k]); }

    // Fills the record from the call's parameters (element 2 on): the positions in
    // `textPositions` (ascending, counted from 0) as texts, the others as integers, each
    // kind in call order. The empty text is the integer 0; "true"/"TRUE" and
    // "false"/"FALSE" are 1 and 0; a value beyond 32 bits is not an integer. Surplus
    // parameters are ignored. Fails with an error trace line under `method` when
    // parameters are missing or one is not an integer.
    bool read(const ApiCall& call, const std::string& function, int count,
              const std::vector<int>& textPositions, IntegerSyntax syntax, const char* method);
};

// Element 1 of a call, or the empty name of a call that has none.
const std::string& functionName(const ApiCall& call);
