// Reading ESC/POS arguments: bytes, little-endian words, and the alignment names the
// journal uses.
#pragma once

#include <cstdint>
#include <string_view>

namespace vprinter::escpos {

inline int byteAt(std::string_view data, size_t i) {
    return static_cast<unsigned char>(data[i]);
}

inline int word(std::string_view data, size_t i) {
    return byteAt(data, i) | byteAt(data, i + 1) << 8;
}

inline int signedWord(std::string_view data, size_t i) {
    return static_cast<int16_t>(static_cast<uint16_t>(word(data, i)));
}

// ESC a n: 0 or 48 left, 1 or 49 centre, 2 or 50 right.
inline const char* alignName(int align) {
    switch (align % 48) {
        case 1:
            return "center";
        case 2:
            return "right";
        default:
            return "left";
    }
}

}  // namespace vprinter::escpos
