#include "CallArguments.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "TraceLog.h"

namespace {

constexpr int kFirstParameter = 2;  // after the call number and the function name

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of the digits of `text` from `pos` on, times `sign`; empty beyond 32 bits.
std::optional<int> decimalValue(const std::string& text, size_t pos, int sign) {
    int64_t value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return std::nullopt;
    }
    value *= sign;
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> digitsOnly(const std::string& text) {
    for (char c : text)
        if (!isDigit(c))
            return std::nullopt;
    return decimalValue(text, 0, 1);
}

std::optional<int> oneMinusSign(const std::string& text) {
    int minusSigns = 0;
    for (char c : text) {
        if (c == '-')
            ++minusSigns;
        else if (!isDigit(c))
            return std::nullopt;
    }
    if (minusSigns > 1)
        return std::nullopt;
    bool negative = !text.empty() && text[0] == '-';
    return decimalValue(text, negative ? 1 : 0, negative ? -1 : 1);
}

std::optional<int> integerOf(const std::string& text, IntegerSyntax syntax) {
    std::optional<int> value =
        syntax == IntegerSyntax::DigitsOnly ? digitsOnly(text) : oneMinusSign(text);
    if (value)
        return value;
    if (text == "true" || text == "TRUE")
        return 1;
    if (text == "false" || text == "FALSE")
        return 0;
    return std::nullopt;
}

}  // namespace

const std::string& functionName(const ApiCall& call) {
    static const std::string none;
    return call.size() > 1 ? call[1] : none;
}

bool CallArguments::read(const ApiCall& call, const std::string& function, int count,
                         const std::vector<int>& textPositions, IntegerSyntax syntax,
                         const char* method) {
    int present = static_cast<int>(call.size()) - kFirstParameter;
    if (present < count) {
        TraceError(method, __LINE__, "mismatch parameters count(%d/%d) at %s", present, count,
                   function.c_str());
        return false;
    }
    auto nextText = textPositions.begin();
    size_t textCount = 0, integerCount = 0;
    for (int j = 0; j < count; ++j) {
        const std::string& text = call[j + kFirstParameter];
        if (nextText != textPositions.end() && *nextText == j) {
            texts.at(textCount++) = text;
            ++nextText;
            continue;
        }
        std::optional<int> value = integerOf(text, syntax);
        if (!value) {
            TraceError(method, __LINE__, "mismatch parameter type(idx=%d,%s) at %s", j,
                       text.c_str(), function.c_str());
            return false;
        }
        integers.at(integerCount++) = *value;
    }
    return true;
}
