// The ESC/POS commands that place things (positions, margins, line spacing), the
// real-time commands, and every other command of the receipt printers' command set that
// the virtual printer has no use for: each is consumed by its own length (fixed, counted
// or terminated) and journaled by name, so that none of its bytes turns into text.
#include <array>

#include "EscPosBytes.h"
#include "EscPosDecoder.h"

namespace vprinter {
namespace {

using escpos::alignName;
using escpos::byteAt;
using escpos::signedWord;
using escpos::word;

// The mnemonic of a command's prefix: "ESC =", "GS ( E".
std::string mnemonic(std::string_view prefix) {
    static const std::map<unsigned char, const char*> kNames{
        {0x10, "DLE"}, {0x14, "DC4"}, {0x05, "ENQ"}, {0x1b, "ESC"}, {0x1c, "FS"},
        {0x1d, "GS"},  {0x0c, "FF"},  {0x18, "CAN"}, {0x09, "HT"},  {0x20, "SP"}};
    std::string out;
    for (unsigned char c : prefix) {
        if (!out.empty())
            out += ' ';
        auto name = kNames.find(c);
        if (name != kNames.end())
            out += name->second;
        else if (c > 0x20 && c < 0x7f)
            out += static_cast<char>(c);
        else
            out += std::to_string(c);
    }
    return out;
}

Json::Value numbers(std::string_view args) {
    Json::Value out(Json::arrayValue);
    for (unsigned char c : args)
        out.append(c);
    return out;
}

struct FixedCommand {
    const char* prefix;
    size_t arguments;
    const char* name;
};

// Commands with fixed arguments that change nothing the virtual printer shows.
constexpr std::array kFixedCommands{
    FixedCommand{"\x1b%", 1, "select user-defined character set"},
    FixedCommand{"\x1b?", 1, "cancel user-defined character"},
    FixedCommand{"\x1b=", 1, "select peripheral device"},
    FixedCommand{"\x1b"
                 "c0",
                 1, "select paper type for printing"},
    FixedCommand{"\x1b"
                 "c1",
                 1, "select paper type for command settings"},
    FixedCommand{"\x1b"
                 "c3",
                 1, "select paper sensors for paper-end signals"},
    FixedCommand{"\x1b"
                 "c4",
                 1, "select paper sensors to stop printing"},
    FixedCommand{"\x1b"
                 "c5",
                 1, "enable or disable panel buttons"},
    FixedCommand{"\x1b"
                 "e",
                 1, "print and reverse feed lines"},
    FixedCommand{"\x1bK", 1, "print and reverse feed"},
    FixedCommand{"\x1br", 1, "select print color"},
    FixedCommand{"\x1bU", 1, "unidirectional printing"},
    FixedCommand{"\x1b<", 0, "return home"},
    FixedCommand{"\x1c!", 1, "select double-byte print mode"},
    FixedCommand{"\x1c-", 1, "double-byte underline"},
    FixedCommand{"\x1cS", 2, "double-byte character spacing"},
    FixedCommand{"\x1cW", 1, "double-byte quadruple size"},
    FixedCommand{"\x1c?", 2, "cancel user-defined double-byte character"},
    FixedCommand{"\x1d:", 0, "start or end macro definition"},
    FixedCommand{"\x1d^", 3, "execute macro"},
    FixedCommand{"\x1d"
                 "E",
                 1, "select print head control"},
    FixedCommand{"\x1dP", 2, "set motion units"},
    FixedCommand{"\x1dT", 1, "set print position to the beginning of the line"},
    FixedCommand{"\x1d"
                 "c",
                 0, "print counter"},
    FixedCommand{"\x1dg0", 3, "initialize maintenance counter"},
    FixedCommand{"\x1dg2", 3, "transmit maintenance counter"},
    FixedCommand{"\x1dj", 1, "automatic status for ink"},
    FixedCommand{"\x1dz0", 2, "online recovery wait time"},
    FixedCommand{"\x1d"
                 "C0",
                 2, "select counter print mode"},
    FixedCommand{"\x1d"
                 "C1",
                 6, "select count mode"},
    FixedCommand{"\x1d"
                 "C2",
                 2, "set counter"},
    FixedCommand{"\x18", 0, "cancel print data in page mode"},
};

}  // namespace

std::optional<size_t> EscPosDecoder::counted(std::string_view args, size_t header,
                                             uint64_t dataBytes, const char* command,
                                             DecoderContext& context) {
    uint64_t length = header + dataBytes;
    if (length <= kMaxCommandBytes)
        return args.size() >= length ? std::optional<size_t>(length) : std::nullopt;
    flushAll(context);
    Json::Value e;
    e["type"] = "refused";
    e["command"] = command;
    e["bytes"] = static_cast<Json::Int64>(length);
    e["reason"] = "larger than " + std::to_string(kMaxCommandBytes) + " bytes: skipped";
    element(context, e);
    size_t taken = static_cast<size_t>(std::min<uint64_t>(length, args.size()));
    skip_ = length - taken;
    return taken;
}

void EscPosDecoder::addLayout() {
    auto layout = [this](const char* type, const char* member, bool relative) {
        return [this, type, member, relative](std::string_view args, DecoderContext& context) {
            Json::Value e;
            e["type"] = type;
            e[member] = relative ? signedWord(args, 0) : word(args, 0);
            element(context, e);
        };
    };
    addFixed("\x1b$", 2, layout("position", "x", false));
    addFixed("\x1b\\", 2, layout("position", "dx", true));
    addFixed("\x1d$", 2, layout("position", "y", false));
    addFixed("\x1d\\", 2, layout("position", "dy", true));
    addFixed("\x1dL", 2, layout("left_margin", "dots", false));
    addFixed("\x1dW", 2, layout("print_width", "dots", false));
    // Line spacing sits between the stripes of a column image and must not end it.
    auto spacing = [this](std::optional<int> dots) {
        return
            [this, dots](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
                if (!dots && args.empty())
                    return std::nullopt;
                flushText(context, false);
                lineSpacing_ = dots ? *dots : byteAt(args, 0);
                Json::Value e;
                e["type"] = "line_spacing";
                e["dots"] = lineSpacing_;
                if (dots)
                    e["default"] = true;
                // Between a column image's stripes it shows after the image.
                if (image_.isNull())
                    element(context, e);
                else
                    afterImage_.push_back(e);
                return dots ? 0 : 1;
            };
    };
    add("\x1b"
        "2",
        spacing(kDefaultLineSpacing));
    add("\x1b"
        "3",
        spacing(std::nullopt));
    auto cut = [this](const char* mode) {
        return [this, mode](std::string_view, DecoderContext& context) {
            Json::Value e;
            e["type"] = "cut";
            e["mode"] = mode;
            element(context, e);
        };
    };
    addFixed("\x1bi", 0, cut("full"));
    addFixed("\x1bm", 0, cut("partial"));
}

void EscPosDecoder::addOtherCommands() {
    for (const FixedCommand& command : kFixedCommands) {
        std::string prefix = command.prefix;
        const char* name = command.name;
        addFixed(prefix, command.arguments,
                 [this, prefix, name](std::string_view args, DecoderContext& context) {
                     Json::Value e;
                     e["type"] = "command";
                     e["command"] = mnemonic(prefix);
                     e["name"] = name;
                     e["args"] = numbers(args);
                     element(context, e);
                 });
    }
    auto journalCommand = [this](std::string_view prefix, const char* name, size_t bytes,
                                 DecoderContext& context) {
        Json::Value e;
        e["type"] = "command";
        e["command"] = mnemonic(prefix);
        e["name"] = name;
        e["bytes"] = static_cast<Json::Int64>(bytes);
        element(context, e);
    };
    // Counted: ESC ( X pL pH ..., FS ( X is in addCommands, GS 8 X p1 p2 p3 p4 ...
    add("\x1b(",
        [this, journalCommand](std::string_view args,
                               DecoderContext& context) -> std::optional<size_t> {
            if (args.size() < 3 || args.size() < 3u + word(args, 1))
                return std::nullopt;
            flushAll(context);
            journalCommand(std::string("\x1b(") + args[0], "extended command", word(args, 1),
                           context);
            return 3u + word(args, 1);
        });
    // ESC & y c1 c2 [x d1 ... d(y*x)] for each character c1 to c2.
    add("\x1b&",
        [this, journalCommand](std::string_view args,
                               DecoderContext& context) -> std::optional<size_t> {
            if (args.size() < 3)
                return std::nullopt;
            size_t at = 3;
            int y = byteAt(args, 0);
            for (int c = byteAt(args, 1); c <= byteAt(args, 2); ++c) {
                if (args.size() <= at)
                    return std::nullopt;
                at += 1 + static_cast<size_t>(y) * byteAt(args, at);
            }
            if (args.size() < at)
                return std::nullopt;
            flushAll(context);
            journalCommand("\x1b&", "define user-defined characters", at, context);
            return at;
        });
    // ESC D n1 ... nk NUL: horizontal tab positions.
    add("\x1b"
        "D",
        [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
            size_t end = args.find('\0');
            if (end == std::string_view::npos)
                return args.size() > 32 ? std::optional<size_t>(32) : std::nullopt;
            flushAll(context);
            Json::Value e;
            e["type"] = "tabs";
            e["positions"] = numbers(args.substr(0, end));
            element(context, e);
            return end + 1;
        });
    // FS 2 c1 c2 d1 ... d72: a user-defined double-byte character.
    addFixed(
        "\x1c"
        "2",
        74, [journalCommand](std::string_view, DecoderContext& context) {
            journalCommand(
                "\x1c"
                "2",
                "define user-defined double-byte character", 74, context);
        });
    // FS g 1 m a1 a2 a3 a4 nL nH d1 ... dk, FS g 2 m a1 a2 a3 a4 nL nH: NV user memory.
    add("\x1cg1",
        [this, journalCommand](std::string_view args,
                               DecoderContext& context) -> std::optional<size_t> {
            if (args.size() < 7 || args.size() < 7u + word(args, 5))
                return std::nullopt;
            flushAll(context);
            journalCommand("\x1cg1", "write to NV user memory", 7u + word(args, 5), context);
            return 7u + word(args, 5);
        });
    addFixed("\x1cg2", 7, [journalCommand](std::string_view, DecoderContext& context) {
        journalCommand("\x1cg2", "read from NV user memory", 7, context);
    });
}

void EscPosDecoder::addRealTime() {
    addFixed("\x10\x05", 1, [this](std::string_view args, DecoderContext& context) {
        Json::Value e;
        e["type"] = "real_time";
        e["command"] = "DLE ENQ";
        e["n"] = byteAt(args, 0);
        element(context, e);
    });
    // DLE DC4 fn ...: its arguments depend on fn.
    add("\x10\x14",
        [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
            if (args.empty())
                return std::nullopt;
            int fn = byteAt(args, 0);
            size_t length = fn == 7 ? 2 : fn == 8 ? 8 : 3;
            if (args.size() < length)
                return std::nullopt;
            flushAll(context);
            Json::Value e;
            if (fn == 1) {
                e["type"] = "drawer";
                e["pin"] = byteAt(args, 1) % 48 == 0 ? 2 : 5;
                e["on_ms"] = byteAt(args, 2) * 100;
                e["off_ms"] = byteAt(args, 2) * 100;
                e["command"] = "DLE DC4";
                element(context, e);
                return length;
            }
            e["type"] = "real_time";
            e["command"] = "DLE DC4";
            e["fn"] = fn;
            e["args"] = numbers(args.substr(1, length - 1));
            // Clearing the buffers is answered, so that the host knows when to go on.
            std::string reply = fn == 8 ? std::string("\x37\x25\x00", 3) : std::string();
            e["reply"] = reply.empty() ? Json::Value() : Json::Value(hexBytes(reply));
            element(context, e);
            if (!reply.empty())
                context.reply(reply);
            return length;
        });
}

}  // namespace vprinter
