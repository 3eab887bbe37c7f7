// Splits a text at any of a set of delimiter characters. Runs of delimiters count as
// one, so no token is empty.
#pragma once

#include <string>
#include <string_view>

class CCVNTokenizer {
public:
    CCVNTokenizer(std::string_view text, std::string_view delimiters);
    ~CCVNTokenizer();
    CCVNTokenizer(const CCVNTokenizer&) = delete;
    CCVNTokenizer& operator=(const CCVNTokenizer&) = delete;

    // Moves to the next token; false when none is left.
    bool next();
    const std::string& token() const { return token_; }

private:
    std::string text_;
    std::string delimiters_;
    std::string token_;
    size_t position_ = 0;
};
