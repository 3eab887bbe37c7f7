// The data of a ZPL graphic field (^GF) unpacked into its bytes: ASCII hex with the
// run-length letters and the row shorthands, ":Z64:" (deflated, base64) and ":B64:"
// (base64), or binary as sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vprinter {

struct GraphicData {
    std::string bytes;        // the graphic's bytes, rows of bytesPerRow
    std::string compression;  // "", "run-length", "Z64" or "B64"
    bool damaged = false;     // a bad checksum, bad base64 or deflate data
};

// `format` is ^GF's first parameter (A hex, B binary, C compressed binary); no more than
// `totalBytes` bytes come out, however the data is packed.
GraphicData unpackGraphic(std::string_view format, std::string_view data, size_t totalBytes,
                          size_t bytesPerRow);

}  // namespace vprinter
