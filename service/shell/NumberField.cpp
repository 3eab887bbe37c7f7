#include "NumberField.h"

#include <charconv>

namespace numberfield {

namespace {

constexpr int kMaxPort = 65535;

}  // namespace

std::optional<int> parse(std::string_view text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return std::nullopt;
    text = text.substr(begin, text.find_last_not_of(' ') + 1 - begin);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int> parsePort(std::string_view text) {
    std::optional<int> port = parse(text);
    if (port && (*port < 1 || *port > kMaxPort))
        return std::nullopt;
    return port;
}

}  // namespace numberfield
