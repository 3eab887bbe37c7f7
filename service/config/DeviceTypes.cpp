#include "DeviceTypes.h"

#include <array>

namespace devicetypes {

namespace {

const std::array<std::string, 6>& names() {
    static const std::array<std::string, 6> table = {"Unknown type",  "LabelPrinter", "POSPrinter",
                                                     "MobilePrinter", "Relvo",        ""};
    return table;
}

}  // namespace

const std::string& typeName(int number) {
    if (number < 0 || number >= static_cast<int>(names().size()))
        return names()[kUnknownType];
    return names()[static_cast<size_t>(number)];
}

int typeNumberOfName(const std::string& name) {
    for (size_t i = 0; i < names().size(); ++i) {
        if (names()[i] == name)
            return static_cast<int>(i);
    }
    return kNotATypeName;
}

const std::string& typeNameOfModelType(int typeCode) {
    if (typeCode < 0)
        return names()[kUnknownType];
    return typeName(typeCode / 10);
}

}  // namespace devicetypes
