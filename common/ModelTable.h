// The table of printer models: USB product identifier <-> model name and type code.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "CVNDeviceInfo.h"

namespace modeltable {

// A query of exactly four characters, each a hexadecimal digit or a blank, with an
// even number of digits, is a product identifier; anything else is a model name.
bool isProductIdQuery(std::string_view query);
// The first row whose model name or product identifier (by the kind of the query)
// equals the query, ignoring case; none when no row matches.
std::unique_ptr<CCVNDeviceInfo> lookup(std::string_view productIdOrName);
std::string modelName(std::string_view productIdOrName);
std::string productId(std::string_view productIdOrName);
// The printer type of a model: the tens digit of its type code, 0 with no row.
int printerType(std::string_view productIdOrName);

// The row texts of one group (0 label, 1 POS, 2 mobile, 3 gateway, 4 other), in search
// order, including the empty last slot; empty for any other group number.
inline constexpr int kModelGroupCount = 5;
std::span<const char* const> groupRows(int group);

}  // namespace modeltable
