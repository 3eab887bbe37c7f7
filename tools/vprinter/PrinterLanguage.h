// What a printer language's decoder needs from the virtual printer, and what it offers.
// A decoder turns one stream of bytes (a connection, or one channel of a gateway) into
// journal elements, answers the queries it finds, and keeps whatever it cannot decode
// as an "unknown" element with the bytes in hex. The virtual printer picks a decoder per
// listening port, or by the first bytes of a connection.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>
#include <string_view>

#include "MonoImage.h"

namespace vprinter {

// The printer's condition, as faults put it.
struct PrinterCondition {
    bool coverOpen = false;
    bool paperOut = false;
    bool paperLow = false;
    bool offline = false;
    bool error = false;
    bool drawerHigh = false;
    // Label printers: the print head lifted, the ribbon used up, printing paused.
    bool headOpen = false;
    bool ribbonOut = false;
    bool paused = false;
};

struct PrinterIdentity {
    std::string model = "VPRINTER-M1";
    // What double-byte mode (FS &) prints: the printer's built-in font.
    int doubleByteCodePage = 949;
    // A gateway answers the gateway probe (GS I 4) as one.
    bool gateway = false;
};

class DecoderContext {
public:
    virtual ~DecoderContext() = default;
    // The element gets the connection's (and channel's) fields and goes to the journal.
    virtual void journal(Json::Value element) = 0;
    // An element with the dots it prints (a picture, a graphic field), for the preview;
    // the journal gets the element alone.
    virtual void journalPicture(Json::Value element, std::shared_ptr<const MonoImage> dots) {
        (void)dots;
        journal(std::move(element));
    }
    virtual void reply(std::string_view bytes) = 0;
    virtual PrinterCondition condition() const = 0;
    virtual const PrinterIdentity& identity() const = 0;
    // The host asked for automatic status with this mask (0 stops it).
    virtual void automaticStatus(int mask) = 0;
};

class LanguageDecoder {
public:
    virtual ~LanguageDecoder() = default;
    virtual const char* language() const = 0;
    // The next bytes of the stream; a command not complete yet waits for the rest.
    virtual void feed(std::string_view bytes, DecoderContext& context) = 0;
    // The stream ended: pending text is journaled, an incomplete command as unknown.
    virtual void finish(DecoderContext& context) = 0;
    // The bytes the printer sends on its own when its condition changed while the host
    // asked for automatic status with `mask`.
    virtual std::string statusReport(const PrinterCondition& condition, int mask) const = 0;
};

// "escpos" or "zpl"; nothing for a language the printer does not speak.
std::unique_ptr<LanguageDecoder> makeDecoder(const std::string& language);
// The language a connection speaks, judged by its first bytes; empty while they are
// only blanks and line ends and so tell nothing yet.
std::string detectLanguage(std::string_view firstBytes);

// Hexadecimal bytes separated by blanks, as unknown elements show them.
std::string hexBytes(std::string_view bytes);

}  // namespace vprinter
