#include "ZplDecoder.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

#include "ZplGraphic.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace vprinter {
namespace {

// ZPL's own character set without ^CI28 reads its upper half like this code page.
constexpr int kDefaultCodePage = 850;
constexpr int kLabelLengthDots = 1218;
// No label holds a larger graphic; a larger count would swallow every later command.
constexpr int kMaxGraphicBytes = 8 * 1024 * 1024;

// Commands without parameters, complete as soon as their code is in; everything else
// runs to the next command.
const std::set<std::string> kBare{"^XA", "^XZ", "^FS", "^FR", "~HS", "~HI", "~JA"};
// ~HQ takes a two-letter query.
constexpr size_t kHostQueryLength = 5;

bool isPrefix(char c) {
    return c == '^' || c == '~';
}

// A command's parameters, empty ones included.
std::vector<std::string> split(std::string_view params) {
    return platform::splitFields(params, ',');
}

std::string at(const std::vector<std::string>& parts, size_t index) {
    return index < parts.size() ? parts[index] : std::string();
}

int number(const std::string& text, int fallback) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return text.empty() || end == text.c_str() ? fallback : static_cast<int>(value);
}

Json::Value array(const std::vector<std::string>& parts) {
    Json::Value out(Json::arrayValue);
    for (const std::string& part : parts)
        out.append(part);
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

uint32_t fnv1a32(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

bool validUtf8(std::string_view bytes) {
    return platform::utf16ToUtf8(platform::utf8ToUtf16(bytes)) == bytes;
}

// Text as text where it is readable UTF-8, as hex where it is not.
void putText(Json::Value& element, std::string_view bytes) {
    bool readable = validUtf8(bytes);
    for (unsigned char c : bytes)
        readable = readable && (c >= 0x20 || c == '\t' || c == '\r' || c == '\n') && c != 0x7F;
    if (readable)
        element["text"] = std::string(bytes);
    else
        element["hex"] = hexBytes(bytes);
}

std::string framed(const std::string& text) {
    return "\x02" + text + "\x03\r\n";
}

const char* flag(bool on) {
    return on ? "1" : "0";
}

// "^GFB,b,c,d,<b bytes>": binary data may hold carets, so its length comes from b.
// Nothing while the command is incomplete; `malformed` when its header breaks off at
// another command, which then ends it as usual.
std::optional<size_t> binaryGraphicLength(std::string_view pending, bool ending, bool& malformed) {
    auto whole = [&]() { return ending ? std::optional<size_t>(pending.size()) : std::nullopt; };
    size_t stop = pending.find_first_of("^~", 3);
    size_t commas[4];
    size_t from = 3;
    for (size_t& comma : commas) {
        comma = pending.find(',', from);
        if (comma > stop || (comma == std::string_view::npos && stop != std::string_view::npos)) {
            malformed = true;
            return std::nullopt;
        }
        if (comma == std::string_view::npos)
            return whole();
        from = comma + 1;
    }
    std::string count(pending.substr(commas[0] + 1, commas[1] - commas[0] - 1));
    const int bytes = number(count, 0);
    if (bytes < 0 || bytes > kMaxGraphicBytes) {
        malformed = true;
        return std::nullopt;
    }
    size_t length = commas[3] + 1 + static_cast<size_t>(bytes);
    return length <= pending.size() ? std::optional<size_t>(length) : whole();
}

}  // namespace

ZplDecoder::ZplDecoder() {
    addFieldCommands();
    addFieldKinds();
    addLabelCommands();
    addQueries();
}

std::string ZplDecoder::hostStatus(const PrinterCondition& c) {
    bool headUp = c.headOpen || c.coverOpen;
    return framed(std::string("030,") + flag(c.paperOut) + ',' + flag(c.paused) + ',' +
                  std::to_string(kLabelLengthDots) + ",000,0,0,0,000,0,0,0") +
           framed(std::string("000,0,") + flag(headUp) + ',' + flag(c.ribbonOut) +
                  ",0,2,6,0,00000000,1,000") +
           framed("1234,0");
}

std::string ZplDecoder::errorStatus(const PrinterCondition& c) {
    uint32_t flags = (c.paperOut ? 0x1u : 0) | (c.ribbonOut ? 0x2u : 0) |
                     (c.headOpen || c.coverOpen ? 0x4u : 0) | (c.paused ? 0x10000u : 0);
    return framed(std::string("\r\n  PRINTER STATUS\r\n   ERRORS:         ") + flag(flags != 0) +
                  " 00000000 " + hex8(flags) + "\r\n   WARNINGS:       0 00000000 00000000\r\n");
}

std::string ZplDecoder::identityAnswer(const PrinterIdentity& identity) {
    return framed(identity.model + ",V1.0.0,8,8192KB");
}

void ZplDecoder::add(const std::string& code, Handler handler, bool tilde) {
    handlers_[(tilde ? "~" : "^") + code] = std::move(handler);
}

Json::Value ZplDecoder::withLabel(Json::Value value) const {
    if (inLabel_)
        value["label"] = label_;
    return value;
}

void ZplDecoder::element(DecoderContext& context, Json::Value value) {
    context.journal(withLabel(std::move(value)));
}

void ZplDecoder::addFieldCommands() {
    auto origin = [this](const char* command) {
        return [this, command](const std::string& params, DecoderContext& context) {
            endField(context);  // a field left without ^FS ends where the next begins
            std::vector<std::string> parts = split(params);
            field_.element["origin"] = command;
            field_.element["x"] = number(at(parts, 0), 0);
            field_.element["y"] = number(at(parts, 1), 0);
            int justification = number(at(parts, 2), justification_);
            if (justification != 0)
                field_.element["justification"] = justification;
        };
    };
    add("FO", origin("FO"));
    add("FT", origin("FT"));
    add("A", [this](const std::string& params, DecoderContext&) {
        // "^Afo,h,w": the font's name is the letter right after ^A.
        std::vector<std::string> parts = split(params.substr(params.empty() ? 0 : 1));
        field_.fontSet = true;
        field_.element["font"] = params.substr(0, 1);
        field_.element["orientation"] = at(parts, 0).empty() ? orientation_ : at(parts, 0);
        field_.element["height"] = number(at(parts, 1), 0);
        field_.element["width"] = number(at(parts, 2), 0);
        if (!at(parts, 3).empty())
            field_.element["font_file"] = at(parts, 3);
    });
    add("FH", [this](const std::string& params, DecoderContext&) {
        field_.hexIndicator = params.empty() ? '_' : params[0];
    });
    auto data = [this](const std::string& params, DecoderContext&) { field_.data = params; };
    add("FD", data);
    add("FV", data);
    add("FR", [this](const std::string&, DecoderContext&) { field_.element["reverse"] = true; });
    // ^FBwidth,lines,spacing,justification,indent: the field's text wraps in a block.
    add("FB", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        Json::Value block;
        block["width"] = number(at(parts, 0), 0);
        block["lines"] = std::max(1, number(at(parts, 1), 1));
        block["spacing"] = number(at(parts, 2), 0);
        block["justification"] = at(parts, 3).empty() ? "L" : at(parts, 3).substr(0, 1);
        block["indent"] = number(at(parts, 4), 0);
        field_.element["block"] = block;
    });
    add("FX", [this](const std::string& params, DecoderContext& context) {
        Json::Value e;
        e["type"] = "comment";
        putText(e, params);
        element(context, e);
    });
    // ^FWr,z: the orientation (and justification) of later fields that name none.
    add("FW", [this](const std::string& params, DecoderContext& context) {
        std::vector<std::string> parts = split(params);
        if (!at(parts, 0).empty())
            orientation_ = platform::asciiUpper(at(parts, 0).substr(0, 1));
        if (!at(parts, 1).empty())
            justification_ = number(at(parts, 1), 0);
        Json::Value e;
        e["type"] = "setting";
        e["name"] = "field_orientation";
        e["command"] = "^FW";
        e["parameters"] = array(parts);
        element(context, e);
    });
    add("FS", [this](const std::string&, DecoderContext& context) { endField(context); });
}

void ZplDecoder::addFieldKinds() {
    for (auto [code, symbology] :
         std::initializer_list<std::pair<const char*, const char*>>{{"BC", "CODE128"},
                                                                    {"B3", "CODE39"},
                                                                    {"BE", "EAN13"},
                                                                    {"B8", "EAN8"},
                                                                    {"BU", "UPC-A"},
                                                                    {"B9", "UPC-E"},
                                                                    {"BA", "CODE93"},
                                                                    {"BK", "CODABAR"},
                                                                    {"B2", "ITF"},
                                                                    {"B7", "PDF417"},
                                                                    {"BQ", "QR"},
                                                                    {"BX", "DATAMATRIX"},
                                                                    {"BD", "MAXICODE"}})
        addBarcode(code, symbology);
    add("BY", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        if (!at(parts, 0).empty())
            barDefaults_["module"] = number(at(parts, 0), 2);
        if (!at(parts, 1).empty())
            barDefaults_["ratio"] = at(parts, 1);
        if (!at(parts, 2).empty())
            barDefaults_["bar_height"] = number(at(parts, 2), 10);
    });
    add("GB", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        int thickness = number(at(parts, 2), 1);
        field_.kind = "box";
        field_.element["width"] = number(at(parts, 0), thickness);
        field_.element["height"] = number(at(parts, 1), thickness);
        field_.element["thickness"] = thickness;
        field_.element["color"] = at(parts, 3).empty() ? "B" : at(parts, 3);
        field_.element["rounding"] = number(at(parts, 4), 0);
    });
    add("GC", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        field_.kind = "circle";
        field_.element["diameter"] = number(at(parts, 0), 3);
        field_.element["thickness"] = number(at(parts, 1), 1);
        field_.element["color"] = at(parts, 2).empty() ? "B" : at(parts, 2);
    });
    // ^GDw,h,t,c,o: a diagonal line, leaning right (/) or left (\).
    add("GD", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        int thickness = number(at(parts, 2), 1);
        field_.kind = "diagonal";
        field_.element["width"] = number(at(parts, 0), thickness);
        field_.element["height"] = number(at(parts, 1), thickness);
        field_.element["thickness"] = thickness;
        field_.element["color"] = at(parts, 3).empty() ? "B" : at(parts, 3);
        field_.element["lean"] = at(parts, 4).empty() ? "R" : at(parts, 4);
    });
    // ^GEw,h,t,c: an ellipse.
    add("GE", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        int thickness = number(at(parts, 2), 1);
        field_.kind = "ellipse";
        field_.element["width"] = number(at(parts, 0), thickness);
        field_.element["height"] = number(at(parts, 1), thickness);
        field_.element["thickness"] = thickness;
        field_.element["color"] = at(parts, 3).empty() ? "B" : at(parts, 3);
    });
    add("GF", [this](const std::string& params, DecoderContext&) {
        // "^GFa,b,c,d,data": format, data bytes, graphic bytes, bytes a row.
        std::vector<std::string> head;
        size_t from = 0;
        for (size_t comma; head.size() < 4 && (comma = params.find(',', from)) != std::string::npos;
             from = comma + 1)
            head.push_back(params.substr(from, comma - from));
        std::string format = platform::asciiUpper(at(head, 0));
        int total = std::clamp(number(at(head, 2), 0), 0, kMaxGraphicBytes);
        int perRow = std::clamp(number(at(head, 3), 0), 0, kMaxGraphicBytes);
        std::string data = head.size() == 4 ? params.substr(from) : std::string();
        GraphicData graphic =
            unpackGraphic(format, data, static_cast<size_t>(total), static_cast<size_t>(perRow));
        size_t black = 0;
        for (unsigned char c : graphic.bytes)
            black += std::bitset<8>(c).count();
        field_.kind = "graphic";
        field_.element["format"] = format;
        field_.element["bytes"] = total;
        field_.element["bytes_per_row"] = perRow;
        field_.element["rows"] = perRow > 0 ? total / perRow : 0;
        field_.element["data_bytes"] = static_cast<Json::Int64>(graphic.bytes.size());
        field_.element["checksum"] = hex8(fnv1a32(graphic.bytes));
        field_.element["black"] = static_cast<Json::Int64>(black);
        if (!graphic.compression.empty())
            field_.element["compression"] = graphic.compression;
        if (graphic.damaged)
            field_.element["damaged"] = true;
        if (perRow > 0) {
            auto dots = std::make_shared<MonoImage>(perRow * 8, 0);
            dots->appendRows(graphic.bytes, perRow);
            field_.dots = std::move(dots);
        }
    });
    addRfid("RS");
    addRfid("RZ");
    addRfid("HR");
    add("RF", [this](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        field_.kind = "rfid";
        field_.element["command"] = "^RF";
        field_.element["operation"] = at(parts, 0);
        field_.element["parameters"] = array(parts);
    });
}

void ZplDecoder::addBarcode(const std::string& code, const char* symbology) {
    add(code, [this, code, symbology](const std::string& params, DecoderContext&) {
        std::vector<std::string> parts = split(params);
        field_.kind = "barcode";
        field_.element["symbology"] = symbology;
        field_.element["command"] = "^" + code;
        field_.element["parameters"] = array(parts);
        // MaxiCode's first parameter is its mode; every other symbology's the orientation.
        if (code != "BD")
            field_.element["orientation"] = at(parts, 0).empty() ? orientation_ : at(parts, 0);
        for (const std::string& name : barDefaults_.getMemberNames())
            field_.element[name] = barDefaults_[name];
    });
}

void ZplDecoder::addRfid(const std::string& code) {
    add(code, [this, code](const std::string& params, DecoderContext& context) {
        Json::Value e;
        e["type"] = "rfid";
        e["command"] = "^" + code;
        e["parameters"] = array(split(params));
        element(context, e);
    });
}

void ZplDecoder::addSetting(const std::string& code, const char* name, bool tilde) {
    add(
        code,
        [this, code, name, tilde](const std::string& params, DecoderContext& context) {
            Json::Value e;
            e["type"] = "setting";
            e["name"] = name;
            e["command"] = (tilde ? "~" : "^") + code;
            e["parameters"] = array(split(params));
            element(context, e);
            if (code == "CI")
                utf8_ = split(params)[0] == "28";
            if (code == "CF") {
                std::vector<std::string> parts = split(params);
                defaultFont_.name = at(parts, 0).empty() ? defaultFont_.name : at(parts, 0);
                defaultFont_.height = number(at(parts, 1), defaultFont_.height);
                defaultFont_.width = number(at(parts, 2), defaultFont_.width);
            }
        },
        tilde);
}

void ZplDecoder::addLabelCommands() {
    add("XA", [this](const std::string&, DecoderContext& context) {
        endField(context);
        ++label_;
        inLabel_ = true;
        Json::Value e;
        e["type"] = "label_start";
        element(context, e);
    });
    add("XZ", [this](const std::string&, DecoderContext& context) {
        endField(context);
        Json::Value e;
        e["type"] = "label_end";
        element(context, e);
        inLabel_ = false;
    });
    add("PQ", [this](const std::string& params, DecoderContext& context) {
        std::vector<std::string> parts = split(params);
        Json::Value e;
        e["type"] = "quantity";
        e["quantity"] = number(at(parts, 0), 1);
        e["pause_every"] = number(at(parts, 1), 0);
        e["replicates"] = number(at(parts, 2), 0);
        e["override"] = at(parts, 3).empty() ? "N" : at(parts, 3);
        element(context, e);
    });
    for (auto [code, name] :
         std::initializer_list<std::pair<const char*, const char*>>{{"PW", "print_width"},
                                                                    {"LL", "label_length"},
                                                                    {"LH", "label_home"},
                                                                    {"LT", "label_top"},
                                                                    {"LS", "label_shift"},
                                                                    {"MN", "media_tracking"},
                                                                    {"MT", "media_type"},
                                                                    {"MM", "print_mode"},
                                                                    {"ML", "max_label_length"},
                                                                    {"PR", "print_rate"},
                                                                    {"MD", "darkness_adjust"},
                                                                    {"PO", "orientation"},
                                                                    {"PM", "mirror"},
                                                                    {"LR", "label_reverse"},
                                                                    {"JZ", "reprint_after_error"},
                                                                    {"CI", "encoding"},
                                                                    {"CF", "default_font"}})
        addSetting(code, name);
    addSetting("SD", "darkness", true);
}

void ZplDecoder::addQueries() {
    add(
        "HS",
        [this](const std::string&, DecoderContext& context) {
            reply(context, "~HS", hostStatus(context.condition()));
        },
        true);
    add(
        "HI",
        [this](const std::string&, DecoderContext& context) {
            reply(context, "~HI", identityAnswer(context.identity()));
        },
        true);
    add(
        "HQ",
        [this](const std::string& params, DecoderContext& context) {
            std::string query = platform::asciiUpper(params);
            reply(context, "~HQ" + query, query == "ES" ? errorStatus(context.condition()) : "");
        },
        true);
}

void ZplDecoder::reply(DecoderContext& context, const std::string& command,
                       const std::string& answer) {
    // Journaled before the answer goes, so a host holding the answer finds the query.
    Json::Value e;
    e["type"] = "status_query";
    e["command"] = command;
    e["reply"] = answer.empty() ? Json::Value() : Json::Value(answer);
    element(context, e);
    if (!answer.empty())
        context.reply(answer);
}

std::string ZplDecoder::fieldText(const Field& field) const {
    const std::string& raw = *field.data;
    std::string bytes;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (field.hexIndicator && raw[i] == *field.hexIndicator && i + 2 < raw.size() &&
            hexDigit(raw[i + 1]) >= 0 && hexDigit(raw[i + 2]) >= 0) {
            bytes += static_cast<char>(hexDigit(raw[i + 1]) << 4 | hexDigit(raw[i + 2]));
            i += 2;
        } else {
            bytes += raw[i];
        }
    }
    return utf8_ ? bytes : platform::codePageToUtf8(bytes, kDefaultCodePage);
}

void ZplDecoder::endField(DecoderContext& context) {
    Field field = std::move(field_);
    field_ = Field{};
    if (field.kind.empty() && !field.data)
        return;  // an origin and nothing placed there
    Json::Value e = field.element;
    e["type"] = field.kind.empty() ? "field" : field.kind;
    if (field.kind.empty() && !field.fontSet) {
        e["font"] = defaultFont_.name;
        e["orientation"] = orientation_;
        e["height"] = defaultFont_.height;
        e["width"] = defaultFont_.width;
    }
    if (field.hexIndicator)
        e["hex_escapes"] = true;
    if (field.data) {
        std::string text = fieldText(field);
        if (field.kind.empty()) {
            putText(e, text);
        } else {
            // QR data leads with its error correction and input mode: "QA,data".
            size_t comma = text.find(',');
            if (field.kind == "barcode" && e["symbology"] == "QR" && comma != std::string::npos) {
                e["qr_mode"] = text.substr(0, comma);
                text.erase(0, comma + 1);
            }
            e["data"] = text;
        }
    }
    if (field.dots)
        context.journalPicture(withLabel(e), std::move(field.dots));
    else
        element(context, e);
}

std::optional<size_t> ZplDecoder::commandLength(std::string_view pending, bool ending) const {
    auto whole = [&]() { return ending ? std::optional<size_t>(pending.size()) : std::nullopt; };
    if (pending.size() < 3)
        return whole();
    std::string key = pending[0] + platform::asciiUpper(pending.substr(1, 2));
    auto upTo = [&](const char* stops) {
        size_t end = pending.find_first_of(stops, 3);
        return end != std::string_view::npos ? std::optional<size_t>(end) : whole();
    };
    if (kBare.count(key))
        return 3;
    if (key == "~HQ")
        return pending.size() >= kHostQueryLength ? std::optional<size_t>(kHostQueryLength)
                                                  : whole();
    if (key == "^FD" || key == "^FV")
        return upTo("^");  // field data may hold a tilde
    if (key == "^GF" && pending.size() > 3 &&
        std::toupper(static_cast<unsigned char>(pending[3])) == 'B') {
        bool malformed = false;
        std::optional<size_t> length = binaryGraphicLength(pending, ending, malformed);
        if (!malformed)
            return length;
    }
    return upTo("^~");
}

size_t ZplDecoder::textRun(std::string_view pending, bool ending, DecoderContext& context) {
    size_t end = pending.find_first_of("^~");
    // Outside a label a line of raw text is whole at its line end.
    size_t line = inLabel_ ? std::string_view::npos : pending.find_first_of("\r\n");
    if (line != std::string_view::npos && (end == std::string_view::npos || line < end))
        end = line + 1;
    if (end == std::string_view::npos) {
        if (!ending)
            return 0;
        end = pending.size();
    }
    std::string_view run = pending.substr(0, end);
    size_t first = run.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return end;  // blanks and line ends between commands mean nothing
    size_t last = run.find_last_not_of("\r\n");
    Json::Value e;
    e["type"] = "unknown";
    putText(e, run.substr(0, last + 1));
    element(context, e);
    return end;
}

void ZplDecoder::execute(char prefix, const std::string& code, const std::string& params,
                         DecoderContext& context) {
    std::string key = prefix + code;
    // ^A names its font in the letter that follows it.
    if (prefix == '^' && code[0] == 'A') {
        handlers_.at("^A")(code.substr(1) + params, context);
        return;
    }
    auto handler = handlers_.find(key);
    if (handler != handlers_.end()) {
        handler->second(params, context);
        return;
    }
    Json::Value e;
    e["type"] = "unknown";
    e["command"] = key;
    putText(e, key + params);
    element(context, e);
}

size_t ZplDecoder::step(std::string_view pending, bool ending, DecoderContext& context) {
    if (!isPrefix(pending[0]))
        return textRun(pending, ending, context);
    std::optional<size_t> length = commandLength(pending, ending);
    if (!length)
        return 0;
    if (*length < 3) {
        Json::Value e;
        e["type"] = "unknown";
        e["incomplete"] = true;
        putText(e, pending.substr(0, *length));
        element(context, e);
        return *length;
    }
    std::string code = platform::asciiUpper(pending.substr(1, 2));
    std::string params(pending.substr(3, *length - 3));
    // The printer ignores line ends inside commands; field and graphic data stay as sent.
    if (code != "FD" && code != "FV" && code != "GF")
        std::erase_if(params, [](char c) { return c == '\r' || c == '\n'; });
    execute(pending[0], code, params, context);
    return *length;
}

void ZplDecoder::feed(std::string_view bytes, DecoderContext& context) {
    if (discarding_) {
        // The rest of a refused command goes up to the next command.
        size_t next = bytes.find_first_of("^~");
        if (next == std::string_view::npos)
            return;
        discarding_ = false;
        bytes.remove_prefix(next);
    }
    pending_.append(bytes);
    size_t done = 0;
    while (done < pending_.size()) {
        size_t used = step(std::string_view(pending_).substr(done), false, context);
        if (used == 0)
            break;
        done += used;
    }
    pending_.erase(0, done);
    if (pending_.size() > kMaxCommandBytes) {
        Json::Value e;
        e["type"] = "refused";
        e["command"] = pending_.substr(0, 3);
        e["bytes"] = static_cast<Json::Int64>(pending_.size());
        e["reason"] = "a command longer than " + std::to_string(kMaxCommandBytes) +
                      " bytes: skipped up to the next command";
        element(context, e);
        pending_.clear();
        discarding_ = true;
    }
}

void ZplDecoder::finish(DecoderContext& context) {
    for (size_t done = 0; done < pending_.size();)
        done += step(std::string_view(pending_).substr(done), true, context);
    pending_.clear();
    endField(context);
    if (inLabel_) {
        Json::Value e;
        e["type"] = "label_end";
        e["incomplete"] = true;
        element(context, e);
        inLabel_ = false;
    }
}

}  // namespace vprinter
