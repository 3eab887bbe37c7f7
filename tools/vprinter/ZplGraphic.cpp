#include "ZplGraphic.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace vprinter {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// G to Y repeat the next digit 1 to 19 times, g to z 20 to 400 times; they add up.
int runLength(char c) {
    if (c >= 'G' && c <= 'Y')
        return c - 'G' + 1;
    if (c >= 'g' && c <= 'z')
        return (c - 'g' + 1) * 20;
    return 0;
}

// Hex digits with run-length letters; a comma ends a row with zeros, an exclamation
// mark with ones, a colon repeats the row before.
GraphicData unpackHex(std::string_view data, size_t totalBytes, size_t bytesPerRow) {
    GraphicData out;
    size_t rowDigits = bytesPerRow * 2;
    std::string digits;  // the nibbles of the whole graphic
    std::string row;     // the nibbles of the row being read
    size_t limit = totalBytes * 2;
    auto endRow = [&](char fill) {
        if (rowDigits == 0)
            return;
        if (row.size() < rowDigits)
            row.append(rowDigits - row.size(), fill);
        digits += row.substr(0, rowDigits);
        row.clear();
    };
    int repeat = 0;
    std::string previous;
    for (char c : data) {
        if (digits.size() >= limit)
            break;
        if (int count = runLength(c)) {
            out.compression = "run-length";
            repeat += count;
            continue;
        }
        if (c == ',' || c == '!') {
            out.compression = "run-length";
            endRow(c == ',' ? '0' : 'F');
            previous = digits.substr(digits.size() - rowDigits);
        } else if (c == ':') {
            out.compression = "run-length";
            if (!row.empty())
                endRow('0');
            digits += previous.empty() ? std::string(rowDigits, '0') : previous;
        } else if (hexDigit(c) >= 0) {
            row.append(repeat > 0 ? static_cast<size_t>(repeat) : 1, c);
            while (rowDigits > 0 && row.size() >= rowDigits) {
                digits += row.substr(0, rowDigits);
                previous = row.substr(0, rowDigits);
                row.erase(0, rowDigits);
            }
        }
        repeat = 0;
    }
    if (!row.empty())
        endRow('0');
    if (rowDigits == 0)
        digits = row;
    digits.resize(std::min(digits.size(), limit) & ~size_t(1));
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.bytes += static_cast<char>(hexDigit(digits[i]) << 4 | hexDigit(digits[i + 1]));
    return out;
}

bool base64(std::string_view text, std::string& out) {
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else if (c == '=' || c == '\r' || c == '\n')
            continue;
        else
            return false;
        buffer = buffer << 6 | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(buffer >> bits & 0xFF);
        }
    }
    return true;
}

// The CRC the printer checks after the data (CRC-16/XMODEM over the base64 text).
uint16_t crc16(std::string_view text) {
    uint16_t crc = 0;
    for (unsigned char c : text) {
        crc ^= static_cast<uint16_t>(c << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return crc;
}

bool inflate(std::string_view packed, size_t limit, std::string& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    out.assign(limit, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(limit);
    int result = ::inflate(&stream, Z_FINISH);
    out.resize(limit - stream.avail_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END || (result == Z_BUF_ERROR && stream.avail_out == 0);
}

// ":Z64:<base64>:<crc>" or ":B64:<base64>:<crc>".
GraphicData unpackBase64(std::string_view data, size_t totalBytes) {
    GraphicData out;
    out.compression = std::string(data.substr(1, 3));
    std::string_view body = data.substr(5);
    size_t colon = body.find(':');
    std::string_view text = body.substr(0, colon);
    std::string decoded;
    out.damaged = !base64(text, decoded);
    if (colon != std::string_view::npos && body.size() >= colon + 5) {
        char expected[5];
        std::snprintf(expected, sizeof expected, "%04X", crc16(text));
        std::string given(body.substr(colon + 1, 4));
        for (char& c : given)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        out.damaged = out.damaged || given != expected;
    }
    if (out.compression == "Z64")
        out.damaged = !inflate(decoded, totalBytes, out.bytes) || out.damaged;
    else
        out.bytes = decoded.substr(0, totalBytes);
    return out;
}

}  // namespace

GraphicData unpackGraphic(std::string_view format, std::string_view data, size_t totalBytes,
                          size_t bytesPerRow) {
    if (data.starts_with(":Z64:") || data.starts_with(":B64:"))
        return unpackBase64(data, totalBytes);
    if (format == "A")
        return unpackHex(data, totalBytes, bytesPerRow);
    GraphicData out;
    out.bytes = std::string(data.substr(0, totalBytes));
    return out;
}

}  // namespace vprinter
