// Numbers as the dialogs' fields hold them: decimal digits, blanks around them allowed.
#pragma once

#include <optional>
#include <string_view>

namespace numberfield {

// What a dialog says about a port field that holds no port number.
inline constexpr const char* kPortRangeMessage = "Please enter an integer between 1 and 65535.";

std::optional<int> parse(std::string_view text);
// A TCP port, 1 to 65535.
std::optional<int> parsePort(std::string_view text);

}  // namespace numberfield
