#include "CVNTokenizer.h"

#include "SecureZero.h"

CCVNTokenizer::CCVNTokenizer(std::string_view text, std::string_view delimiters)
    : text_(text), delimiters_(delimiters) {}

CCVNTokenizer::~CCVNTokenizer() {
    secureZero(text_.data(), text_.size());
    secureZero(delimiters_.data(), delimiters_.size());
    secureZero(token_.data(), token_.size());
}

bool CCVNTokenizer::next() {
    size_t start = text_.find_first_not_of(delimiters_, position_);
    if (start == std::string::npos) {
        position_ = text_.size();
        secureZero(token_.data(), token_.size());
        token_.clear();
        return false;
    }
    size_t end = text_.find_first_of(delimiters_, start);
    if (end == std::string::npos)
        end = text_.size();
    secureZero(token_.data(), token_.size());
    token_.assign(text_, start, end - start);
    position_ = end;
    return true;
}
