// Printer type numbers and the names shown to the user.
#pragma once

#include <string>

namespace devicetypes {

inline constexpr int kUnknownType = 0;
inline constexpr int kLabelPrinter = 1;
inline constexpr int kPosPrinter = 2;
inline constexpr int kMobilePrinter = 3;
inline constexpr int kRelvo = 4;
// Position of the table's empty name; also the count of named types plus one.
inline constexpr int kEmptyName = 5;
// The result for a name that is not in the table.
inline constexpr int kNotATypeName = 6;

// "Unknown type", "LabelPrinter", "POSPrinter", "MobilePrinter", "Relvo", then "".
const std::string& typeName(int number);
// The name's position in the table (exact comparison); 6 when it is not there.
int typeNumberOfName(const std::string& name);
// The name for a model table type code: the code's tens digit picks it (12 is a
// label printer). Codes outside 0 to 59 give "Unknown type".
const std::string& typeNameOfModelType(int typeCode);

}  // namespace devicetypes
