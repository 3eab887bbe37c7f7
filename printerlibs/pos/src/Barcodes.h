// One-dimensional bar codes (GS k): data checks, the Code 128 code sets, and whether a
// symbol fits the paper.
#pragma once

#include <string>
#include <string_view>

namespace barcodes {

struct Linear {
    int symbology;  // DRAVIX_BARCODE_*
    int height;
    int moduleWidth;
    int alignment;
    int textPosition;
};

// The bytes that print `data` (ASCII) as asked, or a DRAVIX_E_* result: bad data or
// settings, an unknown symbology, or a symbol wider than `paperWidth` dots.
int encode(std::string_view data, const Linear& barcode, int paperWidth, std::string& out);

// Code 128 symbol characters for GS k: "{B"/"{C" code set prefixes, switches, and digit
// pairs in code set C as one byte each. Empty when a character is not ASCII.
std::string code128Data(std::string_view data);
// Width in modules of a symbol (bars and spaces, no quiet zones); 0 for bad data.
int modules(std::string_view data, int symbology);

}  // namespace barcodes
