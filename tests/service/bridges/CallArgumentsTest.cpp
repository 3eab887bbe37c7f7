#include "CallArguments.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::optional<int> integerOf(const std::string& text, IntegerSyntax syntax) {
    CallArguments args;
    if (!args.read({"1", "f", text}, "f", 1, {}, syntax, "Test::read"))
        return std::nullopt;
    return args.i(0);
}

// The label bridge takes digits only; the POS bridge also one minus sign, reading the
// value from the text's start. Neither wraps a value beyond 32 bits.
TEST(CallArgumentsTest, IntegerTypingOfBothBridges) {
    struct Row {
        std::string text;
        std::optional<int> digitsOnly;
        std::optional<int> oneMinusSign;
    };
    const Row rows[] = {
        {"007", 7, 7},
        {"", 0, 0},
        {"true", 1, 1},
        {"TRUE", 1, 1},
        {"false", 0, 0},
        {"FALSE", 0, 0},
        {"True", std::nullopt, std::nullopt},
        {"-3", std::nullopt, -3},
        {"5-", std::nullopt, 5},
        {"-", std::nullopt, 0},
        {"--3", std::nullopt, std::nullopt},
        {"-3-", std::nullopt, std::nullopt},
        {"+3", std::nullopt, std::nullopt},
        {" 3", std::nullopt, std::nullopt},
        {"1.500000", std::nullopt, std::nullopt},
        {"2147483647", 2147483647, 2147483647},
        {"2147483648", std::nullopt, std::nullopt},
        {"-2147483648", std::nullopt, -2147483647 - 1},
        {"-2147483649", std::nullopt, std::nullopt},
        {"4294967297", std::nullopt, std::nullopt},
        {"99999999999999999999999", std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(integerOf(row.text, IntegerSyntax::DigitsOnly), row.digitsOnly) << row.text;
        EXPECT_EQ(integerOf(row.text, IntegerSyntax::OneMinusSign), row.oneMinusSign) << row.text;
    }
}

}  // namespace
