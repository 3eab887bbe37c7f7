// ESC/POS command bytes, named once, and the small helpers that put numbers into
// commands. Everything the library sends is built from these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace escpos {

inline constexpr char LF = 0x0A;
inline constexpr char FF = 0x0C;
inline constexpr char DLE = 0x10;
inline constexpr char EOT = 0x04;
inline constexpr char ESC = 0x1B;
inline constexpr char FS = 0x1C;
inline constexpr char GS = 0x1D;

// Two-byte command prefixes.
inline constexpr std::string_view kSelectJustification =
    "\x1b"
    "a";  // ESC a n
inline constexpr std::string_view kSelectFont =
    "\x1b"
    "M";  // ESC M n
inline constexpr std::string_view kEmphasis =
    "\x1b"
    "E";  // ESC E n
inline constexpr std::string_view kUnderline =
    "\x1b"
    "-";  // ESC - n
inline constexpr std::string_view kUpsideDown =
    "\x1b"
    "{";  // ESC { n
inline constexpr std::string_view kRightSpacing =
    "\x1b"
    " ";  // ESC SP n
inline constexpr std::string_view kReverse =
    "\x1d"
    "B";  // GS B n
inline constexpr std::string_view kCharacterSize =
    "\x1d"
    "!";  // GS ! n
inline constexpr std::string_view kSmoothing =
    "\x1d"
    "b";  // GS b n
inline constexpr std::string_view kCodeTable =
    "\x1b"
    "t";  // ESC t n
inline constexpr std::string_view kInternationalSet =
    "\x1b"
    "R";  // ESC R n
inline constexpr std::string_view kKanjiOn =
    "\x1c"
    "&";  // FS &
inline constexpr std::string_view kKanjiOff =
    "\x1c"
    ".";  // FS .
inline constexpr std::string_view kKanjiCodeSystem =
    "\x1c"
    "C";  // FS C n
inline constexpr std::string_view kEncodeSystem =
    "\x1c"
    "(C";  // FS ( C pL pH fn m
inline constexpr std::string_view kCut =
    "\x1d"
    "V";  // GS V m [n]
inline constexpr std::string_view kDrawerPulse =
    "\x1b"
    "p";  // ESC p m t1 t2
inline constexpr std::string_view kPageMode =
    "\x1b"
    "L";  // ESC L
inline constexpr std::string_view kStandardMode =
    "\x1b"
    "S";                                                    // ESC S
inline constexpr std::string_view kPrintPage = "\x1b\x0c";  // ESC FF
inline constexpr std::string_view kPrintArea =
    "\x1b"
    "W";  // ESC W x y dx dy
inline constexpr std::string_view kPrintDirection =
    "\x1b"
    "T";  // ESC T n
inline constexpr std::string_view kAbsoluteX =
    "\x1b"
    "$";  // ESC $ nL nH
inline constexpr std::string_view kAbsoluteY =
    "\x1d"
    "$";  // GS $ nL nH
inline constexpr std::string_view kRasterImage =
    "\x1d"
    "v0";  // GS v 0 m x y
inline constexpr std::string_view kHriPosition =
    "\x1d"
    "H";  // GS H n
inline constexpr std::string_view kBarcodeHeight =
    "\x1d"
    "h";  // GS h n
inline constexpr std::string_view kBarcodeWidth =
    "\x1d"
    "w";  // GS w n
inline constexpr std::string_view kBarcode =
    "\x1d"
    "k";  // GS k m n d...
inline constexpr std::string_view kSymbol =
    "\x1d"
    "(k";                                                        // GS ( k pL pH cn fn
inline constexpr std::string_view kRealTimeStatus = "\x10\x04";  // DLE EOT n
inline constexpr std::string_view kAutomaticStatus =
    "\x1d"
    "a";  // GS a n
inline constexpr std::string_view kPrinterInfo =
    "\x1d"
    "I";  // GS I n
inline constexpr std::string_view kTransmitStatus =
    "\x1d"
    "r";  // GS r n

// GS I 67: the printer's model name, answered as "_" name NUL.
inline constexpr char kInfoModelName = 67;
// GS a bits: on-line/off-line (with the cover), errors, paper roll sensor.
inline constexpr uint8_t kAsbWatchedStatus = 0x02 | 0x04 | 0x08;
// DLE EOT n: printer, off-line cause, error cause, paper roll sensor.
inline constexpr char kStatusPrinter = 1;
inline constexpr char kStatusOffline = 2;
inline constexpr char kStatusError = 3;
inline constexpr char kStatusPaper = 4;

inline void putByte(std::string& out, int value) {
    out += static_cast<char>(static_cast<uint8_t>(value));
}

// Little-endian 16-bit number, as every ESC/POS length and position is given.
inline void putWord(std::string& out, int value) {
    putByte(out, value & 0xFF);
    putByte(out, (value >> 8) & 0xFF);
}

inline std::string command(std::string_view prefix, int argument) {
    std::string out(prefix);
    putByte(out, argument);
    return out;
}

// GS ( k pL pH cn fn followed by `parameters`; pL pH count cn, fn and the parameters.
inline std::string symbolCommand(int cn, int fn, std::string_view parameters) {
    std::string out(kSymbol);
    putWord(out, static_cast<int>(parameters.size()) + 2);
    putByte(out, cn);
    putByte(out, fn);
    out.append(parameters);
    return out;
}

}  // namespace escpos
