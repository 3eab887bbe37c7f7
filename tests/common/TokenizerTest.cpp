#include "CVNTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> tokens(std::string_view text, std::string_view delimiters) {
    CCVNTokenizer tokenizer(text, delimiters);
    std::vector<std::string> out;
    while (tokenizer.next())
        out.push_back(tokenizer.token());
    return out;
}

using Tokens = std::vector<std::string>;

TEST(Tokenizer, RunsOfDelimitersCountAsOneAndNoTokenIsEmpty) {
    EXPECT_EQ((Tokens{"a", "b", "c"}), tokens("a,,b,,,c", ","));
    EXPECT_EQ((Tokens{"a", "b"}), tokens(",,a,b,,", ","));
    EXPECT_EQ((Tokens{"x", "y", "z"}), tokens("x \t, y|z", " \t,|"));
}

TEST(Tokenizer, TextWithoutTokens) {
    EXPECT_EQ(Tokens{}, tokens("", ","));
    EXPECT_EQ(Tokens{}, tokens(",,,", ","));
    EXPECT_EQ((Tokens{"one"}), tokens("one", ","));
    EXPECT_EQ((Tokens{"a,b"}), tokens("a,b", ""));  // no delimiters: the whole text
}

// Only the delimiters are removed, so the tabs of a model row stay with the id.
TEST(Tokenizer, KeepsBlanksThatAreNoDelimiters) {
    EXPECT_EQ((Tokens{"Varo-L43", "\t\t0109", "11", "0"}), tokens("Varo-L43,\t\t0109,11,0", ","));
}

TEST(Tokenizer, StaysAtTheEndOnceExhausted) {
    CCVNTokenizer tokenizer("k=v", "=");
    EXPECT_EQ("", tokenizer.token());
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ("k", tokenizer.token());
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ("v", tokenizer.token());
    EXPECT_FALSE(tokenizer.next());
    EXPECT_EQ("", tokenizer.token());
    EXPECT_FALSE(tokenizer.next());
}

// The tokenizer keeps its own copy of the text.
TEST(Tokenizer, OutlivesTheTextItWasGiven) {
    std::string text = "left|right";
    CCVNTokenizer tokenizer(text, "|");
    text.assign(text.size(), 'X');
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ("left", tokenizer.token());
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ("right", tokenizer.token());
}

}  // namespace
