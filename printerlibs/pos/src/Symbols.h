// Two-dimensional symbols through GS ( k: QR Code, PDF417, Data Matrix, GS1 DataBar
// (stacked) and composite symbols. Each is the settings, the data stored, and the print
// command, checked first against the symbol's capacity and the paper's width.
#pragma once

#include <string>
#include <string_view>

namespace symbols {

struct QrCode {
    int moduleSize;
    int errorLevel;
    int alignment;
    int model;
};

struct Pdf417 {
    int columns;
    int rows;
    int moduleWidth;
    int rowHeight;
    int errorLevel;
    int truncated;
    int alignment;
};

struct Simple {
    int type;  // DRAVIX_DATABAR_* or DRAVIX_COMPOSITE_*; unused for Data Matrix
    int moduleWidth;
    int alignment;
};

// Each returns DRAVIX_SUCCESS with the bytes appended to `out`, or a DRAVIX_E_* result
// with `out` unchanged. `data` is the symbol's bytes (UTF-8 where texts are not ASCII).
int qrCode(std::string_view data, const QrCode& symbol, int paperWidth, std::string& out);
int pdf417(std::string_view data, const Pdf417& symbol, int paperWidth, std::string& out);
int dataMatrix(std::string_view data, const Simple& symbol, int paperWidth, std::string& out);
int gs1DataBar(std::string_view data, const Simple& symbol, int paperWidth, std::string& out);
int composite(std::string_view data, const Simple& symbol, int paperWidth, std::string& out);

// Smallest QR Code version (1 to 40) that holds the data at the error level; 0 when
// none does.
int qrVersion(std::string_view data, int errorLevel);

}  // namespace symbols
