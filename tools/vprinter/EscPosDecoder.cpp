#include "EscPosDecoder.h"

#include <array>

#include "EscPosBytes.h"
#include "platform/CodePage.h"

namespace vprinter {
namespace {

using escpos::alignName;
using escpos::byteAt;
using escpos::signedWord;
using escpos::word;

constexpr unsigned char kNul = 0x00;
constexpr unsigned char kLf = 0x0A;
constexpr int kUtf8 = 65001;
constexpr int kShiftJis = 932;

// Character tables (ESC t) and their code pages.
const std::map<int, int> kTables{
    {0, 437},   {2, 850},   {3, 860},   {4, 863},   {5, 865},   {13, 857},  {14, 737},
    {16, 1252}, {17, 866},  {18, 852},  {19, 858},  {36, 862},  {45, 1250}, {46, 1251},
    {47, 1253}, {48, 1254}, {49, 1255}, {50, 1256}, {51, 1257},
};

const char* barcodeName(int m) {
    static constexpr std::array kNames{"UPC-A", "UPC-E",   "EAN13",  "EAN8",   "CODE39",
                                       "ITF",   "CODABAR", "CODE93", "CODE128"};
    int index = m >= 65 ? m - 65 : m;
    return index >= 0 && index < static_cast<int>(kNames.size()) ? kNames[index] : "UNKNOWN";
}

const char* symbolName(int cn) {
    switch (cn) {
        case 48:
            return "PDF417";
        case 49:
            return "QR";
        case 51:
            return "GS1_DATABAR";
        case 52:
            return "COMPOSITE";
        case 54:
            return "DATAMATRIX";
        default:
            return "UNKNOWN";
    }
}

// The human data of Code 128 symbol characters: code set switches dropped, code set C
// pairs written as their two digits.
std::string code128Text(std::string_view symbols) {
    std::string out;
    char set = 'B';
    for (size_t i = 0; i < symbols.size(); ++i) {
        char c = symbols[i];
        if (c == '{' && i + 1 < symbols.size()) {
            char next = symbols[++i];
            if (next == 'A' || next == 'B' || next == 'C')
                set = next;
            else if (next == '{')
                out += '{';
            continue;
        }
        if (set == 'C') {
            int value = static_cast<unsigned char>(c);
            out += static_cast<char>('0' + value / 10 % 10);
            out += static_cast<char>('0' + value % 10);
        } else {
            out += c;
        }
    }
    return out;
}

std::string printable(std::string_view bytes) {
    // Symbol data is journaled as text when it is, and as hex otherwise.
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20)
            return hexBytes(bytes);
    return std::string(bytes);
}

}  // namespace

EscPosDecoder::EscPosDecoder() {
    addCommands();
    addLayout();
    addOtherCommands();
    addRealTime();
    addSymbols();
    addQueries();
    addImages();
    addStoredGraphics();
}

char EscPosDecoder::realTimeStatus(const PrinterCondition& c, int n) {
    bool offline = c.offline || c.coverOpen || c.paperOut;
    int value = 0x12;
    switch (n) {
        case 1:
            value |= (c.drawerHigh ? 0x04 : 0) | (offline ? 0x08 : 0);
            break;
        case 2:
            value |= (c.coverOpen ? 0x04 : 0) | (c.paperOut ? 0x20 : 0) | (c.error ? 0x40 : 0);
            break;
        case 3:
            value |= c.error ? 0x40 : 0;
            break;
        case 4:
            value |= (c.paperLow ? 0x0C : 0) | (c.paperOut ? 0x60 : 0);
            break;
        default:
            break;
    }
    return static_cast<char>(value);
}

std::string EscPosDecoder::automaticStatusBlock(const PrinterCondition& c) {
    bool offline = c.offline || c.coverOpen || c.paperOut;
    std::string block(4, '\0');
    block[0] = static_cast<char>(0x10 | (c.drawerHigh ? 0x04 : 0) | (offline ? 0x08 : 0) |
                                 (c.coverOpen ? 0x20 : 0));
    block[1] = static_cast<char>(c.error ? 0x40 : 0);
    block[2] = static_cast<char>((c.paperLow ? 0x03 : 0) | (c.paperOut ? 0x0C : 0));
    return block;
}

std::string EscPosDecoder::statusReport(const PrinterCondition& condition, int mask) const {
    return mask != 0 ? automaticStatusBlock(condition) : std::string();
}

void EscPosDecoder::add(std::string_view prefix, Handler handler) {
    Node* node = &root_;
    for (unsigned char c : prefix) {
        auto& next = node->next[c];
        if (!next)
            next = std::make_unique<Node>();
        node = next.get();
    }
    node->handler = std::move(handler);
}

void EscPosDecoder::addFixed(std::string_view prefix, size_t count,
                             std::function<void(std::string_view, DecoderContext&)> apply) {
    add(prefix,
        [this, count, apply](std::string_view args,
                             DecoderContext& context) -> std::optional<size_t> {
            if (args.size() < count)
                return std::nullopt;
            flushAll(context);
            apply(args.substr(0, count), context);
            return count;
        });
}

void EscPosDecoder::addStyle(std::string_view prefix, std::function<void(Style&, int)> apply) {
    // A style change inside a line closes the text before it.
    addFixed(prefix, 1, [this, apply](std::string_view args, DecoderContext&) {
        apply(style_, byteAt(args, 0));
    });
}

void EscPosDecoder::element(DecoderContext& context, Json::Value value) {
    context.journal(std::move(value));
}

void EscPosDecoder::addCommands() {
    addFixed("\x1b@", 0, [this](std::string_view, DecoderContext& context) {
        style_ = Style{};
        table_ = 0;
        kanji_ = false;
        pageMode_ = false;
        lineSpacing_ = kDefaultLineSpacing;
        Json::Value e;
        e["type"] = "init";
        element(context, e);
    });
    addStyle(
        "\x1b"
        "a",
        [](Style& s, int n) { s.align = n; });
    addStyle("\x1bM", [](Style& s, int n) { s.font = n % 48; });
    addStyle(
        "\x1b"
        "E",
        [](Style& s, int n) { s.bold = n & 1; });
    addStyle("\x1bG", [](Style& s, int n) { s.bold = n & 1; });
    addStyle("\x1b-", [](Style& s, int n) { s.underline = n % 48; });
    addStyle(
        "\x1d"
        "B",
        [](Style& s, int n) { s.reverse = n & 1; });
    addStyle("\x1b{", [](Style& s, int n) { s.upsideDown = n & 1; });
    addStyle("\x1bV", [](Style& s, int n) { s.rotated = n % 48 == 1 || n % 48 == 2; });
    addStyle("\x1d!", [](Style& s, int n) {
        s.width = (n >> 4 & 7) + 1;
        s.height = (n & 7) + 1;
    });
    addStyle(
        "\x1d"
        "b",
        [](Style& s, int n) { s.smoothing = n & 1; });
    addStyle("\x1b ", [](Style& s, int n) { s.spacing = n; });
    addStyle("\x1b!", [](Style& s, int n) {
        s.font = n & 1;
        s.bold = n & 0x08;
        s.height = n & 0x10 ? 2 : 1;
        s.width = n & 0x20 ? 2 : 1;
        s.underline = n & 0x80 ? 1 : 0;
    });
    addFixed("\x1bt", 1, [this](std::string_view args, DecoderContext& context) {
        table_ = byteAt(args, 0);
        Json::Value e;
        e["type"] = "codepage";
        e["table"] = table_;
        e["codepage"] = codePage();
        element(context, e);
    });
    addFixed("\x1bR", 1, [this](std::string_view args, DecoderContext& context) {
        Json::Value e;
        e["type"] = "international";
        e["set"] = byteAt(args, 0);
        element(context, e);
    });
    auto kanji = [this](bool on) {
        return [this, on](std::string_view, DecoderContext& context) {
            kanji_ = on;
            Json::Value e;
            e["type"] = "double_byte";
            e["on"] = on;
            e["codepage"] = codePage();
            element(context, e);
        };
    };
    addFixed("\x1c&", 0, kanji(true));
    addFixed("\x1c.", 0, kanji(false));
    addFixed(
        "\x1c"
        "C",
        1, [this](std::string_view args, DecoderContext& context) {
            kanjiSystem_ = byteAt(args, 0) % 48;
            Json::Value e;
            e["type"] = "double_byte_system";
            e["system"] = kanjiSystem_;
            element(context, e);
        });
    add("\x1c(", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.size() < 3 || args.size() < 3 + static_cast<size_t>(word(args, 1)))
            return std::nullopt;
        flushAll(context);
        size_t length = 3 + static_cast<size_t>(word(args, 1));
        Json::Value e;
        if (args[0] == 'C' && word(args, 1) == 2 && byteAt(args, 3) == 48) {
            utf8_ = byteAt(args, 4) % 48 == 2;
            e["type"] = "encoding";
            e["utf8"] = utf8_;
        } else {
            e["type"] = "command";
            e["command"] = std::string("FS ( ") + args[0];
            e["bytes"] = static_cast<Json::Int64>(length - 3);
            e["hex"] = hexBytes(args.substr(3, std::min<size_t>(length - 3, 64)));
        }
        element(context, e);
        return length;
    });
    addFixed(
        "\x1b"
        "d",
        1, [this](std::string_view args, DecoderContext& context) {
            Json::Value e;
            e["type"] = "feed";
            e["lines"] = byteAt(args, 0);
            element(context, e);
        });
    add("\x1bJ", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.empty())
            return std::nullopt;
        if (endStripeLine(byteAt(args, 0)))
            return 1;
        flushAll(context);
        Json::Value e;
        e["type"] = "feed";
        e["dots"] = byteAt(args, 0);
        element(context, e);
        return 1;
    });
    add("\x1dV", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.empty())
            return std::nullopt;
        int m = byteAt(args, 0);
        bool feeds = m >= 65;
        if (feeds && args.size() < 2)
            return std::nullopt;
        flushAll(context);
        Json::Value e;
        e["type"] = "cut";
        // Below 65 an even m cuts fully; the feeding forms count the other way round.
        bool full = feeds ? m % 2 == 1 : m % 2 == 0;
        e["mode"] = full ? "full" : "partial";
        if (feeds)
            e["feed"] = byteAt(args, 1);
        element(context, e);
        return feeds ? 2 : 1;
    });
    addFixed("\x1bp", 3, [this](std::string_view args, DecoderContext& context) {
        Json::Value e;
        e["type"] = "drawer";
        e["pin"] = byteAt(args, 0) % 48 == 0 ? 2 : 5;
        e["on_ms"] = byteAt(args, 1) * 2;
        e["off_ms"] = byteAt(args, 2) * 2;
        element(context, e);
    });
    auto page = [this](const char* type, bool stays) {
        return [this, type, stays](std::string_view, DecoderContext& context) {
            pageMode_ = stays;
            Json::Value e;
            e["type"] = type;
            element(context, e);
        };
    };
    addFixed("\x1bL", 0, page("page_begin", true));
    addFixed("\x1bS", 0, page("page_discard", false));
    addFixed("\x1b\x0c", 0, page("page_print", true));
    addFixed("\x0c", 0, [this, page](std::string_view args, DecoderContext& context) {
        page(pageMode_ ? "page_print_leave" : "form_feed", false)(args, context);
    });
    addFixed("\x1bW", 8, [this](std::string_view args, DecoderContext& context) {
        Json::Value e;
        e["type"] = "page_area";
        e["x"] = word(args, 0);
        e["y"] = word(args, 2);
        e["width"] = word(args, 4);
        e["height"] = word(args, 6);
        element(context, e);
    });
    addFixed("\x1bT", 1, [this](std::string_view args, DecoderContext& context) {
        Json::Value e;
        e["type"] = "page_direction";
        e["direction"] = byteAt(args, 0) % 48;
        element(context, e);
    });
    addFixed("\x0d", 0, [](std::string_view, DecoderContext&) {});
}

void EscPosDecoder::addSymbols() {
    addStyle("\x1dH", [this](Style&, int n) { hri_ = n % 48; });
    addStyle("\x1dh", [this](Style&, int n) { barHeight_ = n; });
    addStyle("\x1dw", [this](Style&, int n) { barWidth_ = n; });
    addStyle(
        "\x1d"
        "f",
        [this](Style&, int n) { hriFont_ = n % 48; });
    add("\x1dk",
        [this](std::string_view args, DecoderContext& context) { return barcode(args, context); });
    add("\x1d(", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.size() < 3 || args.size() < 3 + static_cast<size_t>(word(args, 1)))
            return std::nullopt;
        flushAll(context);
        size_t length = 3 + static_cast<size_t>(word(args, 1));
        if (args[0] == 'k' && length >= 5)
            return symbol(args.substr(3, length - 3), context).value_or(0) + 3;
        if (args[0] == 'L' && length >= 5)
            return graphics(args.substr(3, length - 3), context).value_or(0) + 3;
        Json::Value e;
        e["type"] = "command";
        e["command"] = std::string("GS ( ") + args[0];
        e["bytes"] = static_cast<Json::Int64>(length - 3);
        e["hex"] = hexBytes(args.substr(3, std::min<size_t>(length - 3, 64)));
        element(context, e);
        return length;
    });
}

void EscPosDecoder::addQueries() {
    add("\x10\x04",
        [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
            if (args.empty())
                return std::nullopt;
            int n = byteAt(args, 0);
            return query("DLE EOT", n, std::string(1, realTimeStatus(context.condition(), n)),
                         context);
        });
    add("\x1dr", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.empty())
            return std::nullopt;
        int n = byteAt(args, 0);
        PrinterCondition c = context.condition();
        int value = n % 48 == 1 ? (c.paperLow ? 0x03 : 0) | (c.paperOut ? 0x0C : 0)
                                : (c.drawerHigh ? 0x01 : 0);
        return query("GS r", n, std::string(1, static_cast<char>(value)), context);
    });
    add("\x1dI", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.empty())
            return std::nullopt;
        int n = byteAt(args, 0);
        std::string reply;
        switch (n) {
            case 1:
            case 49:
                reply = "\x20";  // model identifier
                break;
            case 2:
            case 50:
                reply = "\x02";  // type: auto-cutter fitted
                break;
            case 3:
            case 51:
                reply = "\x01";  // firmware version
                break;
            case 65:
                reply = std::string("_1.00", 5) + '\0';
                break;
            case 66:
                reply = std::string("_Vembrix") + '\0';
                break;
            case 67:
                reply = "_" + context.identity().model + '\0';
                break;
            case 68:
                reply = std::string("_VP000001") + '\0';
                break;
            case 4:
                // The gateway probe: a gateway answers with its flag (0x10) in byte 5.
                if (context.identity().gateway)
                    reply = std::string("_CVG\x10", 5) + '\0';
                break;
            default:
                // A plain printer has no answer for the rest, the gateway probe among them.
                break;
        }
        return query("GS I", n, reply, context);
    });
    addFixed(
        "\x1d"
        "a",
        1, [](std::string_view args, DecoderContext& context) {
            Json::Value e;
            e["type"] = "automatic_status";
            e["mask"] = byteAt(args, 0);
            context.journal(e);
            context.automaticStatus(byteAt(args, 0));
        });
}

std::optional<size_t> EscPosDecoder::query(const char* command, int n, std::string reply,
                                           DecoderContext& context) {
    flushAll(context);
    Json::Value e;
    e["type"] = "status_query";
    e["command"] = command;
    e["n"] = n;
    e["reply"] = reply.empty() ? Json::Value() : Json::Value(hexBytes(reply));
    element(context, e);
    if (!reply.empty())
        context.reply(reply);
    return 1;
}

std::optional<size_t> EscPosDecoder::barcode(std::string_view args, DecoderContext& context) {
    if (args.empty())
        return std::nullopt;
    int m = byteAt(args, 0);
    std::string_view data;
    size_t used;
    if (m <= 6) {
        size_t end = args.find('\0', 1);
        if (end == std::string_view::npos)
            return std::nullopt;
        data = args.substr(1, end - 1);
        used = end + 1;
    } else {
        if (args.size() < 2 || args.size() < 2 + static_cast<size_t>(byteAt(args, 1)))
            return std::nullopt;
        data = args.substr(2, static_cast<size_t>(byteAt(args, 1)));
        used = 2 + data.size();
    }
    flushAll(context);
    static constexpr std::array kHri{"none", "above", "below", "both"};
    Json::Value e;
    e["type"] = "barcode";
    e["symbology"] = barcodeName(m);
    e["data"] = m == 73 ? code128Text(data) : std::string(data);
    e["height"] = barHeight_;
    e["module"] = barWidth_;
    e["hri"] = kHri[static_cast<size_t>(hri_ & 3)];
    e["hri_font"] = hriFont_ == 1 ? "B" : "A";
    e["align"] = alignName(style_.align);
    element(context, e);
    return used;
}

std::optional<size_t> EscPosDecoder::symbol(std::string_view body, DecoderContext& context) {
    // body: cn fn parameters
    int cn = byteAt(body, 0);
    int fn = byteAt(body, 1);
    std::string_view params = body.substr(2);
    Symbol& symbol = symbols_[cn];
    auto setting = [&](const char* name) {
        if (!params.empty())
            symbol.settings[name] = byteAt(params, 0);
    };
    switch (fn) {
        case 65:
            setting(cn == 49 ? "model" : "columns");
            break;
        case 66:
            setting(cn == 54 ? "shape" : "rows");
            break;
        case 67:
            setting("module");
            break;
        case 68:
            setting("row_height");
            break;
        case 69:
            if (!params.empty())
                symbol.settings["error_level"] = byteAt(params, params.size() - 1) - 48;
            break;
        case 70:
            setting("options");
            break;
        case 71:
            setting("max_width");
            break;
        case 80: {
            // m, then: DataBar its type; composite which element and its type.
            size_t skip = cn == 51 ? 2 : cn == 52 ? 3 : 1;
            std::string_view data =
                params.size() >= skip ? params.substr(skip) : std::string_view();
            if (cn == 51 && params.size() >= 2)
                symbol.settings["symbol_type"] = byteAt(params, 1);
            if (cn == 52 && params.size() >= 3 && byteAt(params, 1) == 48) {
                symbol.settings["linear_type"] = byteAt(params, 2);
                symbol.linear = std::string(data);
            } else {
                symbol.data = std::string(data);
            }
            break;
        }
        case 81: {
            Json::Value e = symbol.settings;
            e["type"] = "2d";
            e["symbology"] = symbolName(cn);
            e["data"] = printable(symbol.data);
            if (cn == 52)
                e["linear"] = printable(symbol.linear);
            e["align"] = alignName(style_.align);
            element(context, e);
            break;
        }
        default: {
            Json::Value e;
            e["type"] = "unknown";
            e["hex"] = hexBytes(std::string("\x1d(k") + std::string(body));
            element(context, e);
            break;
        }
    }
    return body.size();
}

int EscPosDecoder::codePage() const {
    if (utf8_)
        return kUtf8;
    if (kanji_)
        return kanjiSystem_ == 1 ? kShiftJis : 0;
    auto found = kTables.find(table_);
    return found == kTables.end() ? 437 : found->second;
}

void EscPosDecoder::flushText(DecoderContext& context, bool newline) {
    if (text_.empty() && !newline)
        return;
    if (text_.empty()) {
        flushImage(context);
        Json::Value e;
        e["type"] = "feed";
        e["lines"] = 1;
        element(context, e);
        return;
    }
    int page = codePage();
    if (page == 0)
        page = context.identity().doubleByteCodePage;
    Json::Value e;
    e["type"] = "text";
    e["text"] = platform::codePageToUtf8(text_, page);
    e["codepage"] = page;
    e["align"] = alignName(style_.align);
    e["font"] = std::string(1, static_cast<char>('A' + style_.font % 3));
    e["bold"] = style_.bold;
    e["underline"] = style_.underline;
    e["reverse"] = style_.reverse;
    e["upside_down"] = style_.upsideDown;
    e["rotated"] = style_.rotated;
    e["width"] = style_.width;
    e["height"] = style_.height;
    e["smoothing"] = style_.smoothing;
    e["spacing"] = style_.spacing;
    e["newline"] = newline;
    text_.clear();
    element(context, e);
}

bool EscPosDecoder::endStripeLine(int feedDots) {
    if (image_.isNull() || image_["command"] != "ESC *" || stripeGap_ || !text_.empty())
        return false;
    stripeGap_ = std::max(feedDots, kStripeRows) - kStripeRows;
    return true;
}

void EscPosDecoder::flushAll(DecoderContext& context) {
    flushImage(context);
    flushText(context, false);
}

size_t EscPosDecoder::step(std::string_view pending, DecoderContext& context) {
    unsigned char first = static_cast<unsigned char>(pending[0]);
    if (first == kNul) {
        flushAll(context);
        Json::Value e;
        e["type"] = "idle_probe";
        element(context, e);
        return 1;
    }
    if (first == kLf) {
        // A line feed after a column image stripe ends its line: the next stripe goes below.
        if (endStripeLine(lineSpacing_))
            return 1;
        flushImage(context);
        flushText(context, true);
        return 1;
    }
    if (first >= 0x20 || first == '\t') {
        flushImage(context);
        size_t end = 1;
        size_t room = kMaxTextRun - std::min(kMaxTextRun, text_.size());
        while (end < pending.size() && end < room &&
               (static_cast<unsigned char>(pending[end]) >= 0x20 || pending[end] == '\t'))
            ++end;
        text_.append(pending.substr(0, end));
        if (text_.size() >= kMaxTextRun)
            flushText(context, false);
        return end;
    }
    const Node* node = &root_;
    size_t at = 0;
    while (!node->handler) {
        if (at == pending.size())
            return 0;
        auto next = node->next.find(static_cast<unsigned char>(pending[at]));
        ++at;
        if (next == node->next.end()) {
            flushAll(context);
            Json::Value e;
            e["type"] = "unknown";
            e["hex"] = hexBytes(pending.substr(0, at));
            element(context, e);
            return at;
        }
        node = next->second.get();
    }
    std::optional<size_t> used = node->handler(pending.substr(at), context);
    return used ? at + *used : 0;
}

void EscPosDecoder::feed(std::string_view bytes, DecoderContext& context) {
    if (skip_ > 0) {
        size_t skipped = static_cast<size_t>(std::min<uint64_t>(skip_, bytes.size()));
        skip_ -= skipped;
        bytes.remove_prefix(skipped);
    }
    pending_.append(bytes);
    size_t done = 0;
    while (done < pending_.size()) {
        size_t used = step(std::string_view(pending_).substr(done), context);
        if (used == 0)
            break;
        done += used;
    }
    pending_.erase(0, done);
}

void EscPosDecoder::finish(DecoderContext& context) {
    flushAll(context);
    if (pending_.empty())
        return;
    Json::Value e;
    e["type"] = "unknown";
    e["hex"] = hexBytes(pending_);
    e["incomplete"] = true;
    element(context, e);
    pending_.clear();
}

}  // namespace vprinter
