// The ZPL II side of the virtual printer. The stream is cut into commands (a caret or a
// tilde, two letters, the parameters up to the next command) and runs of other text.
// Commands between ^FO/^FT and ^FS gather one field, journaled when ^FS ends it: text
// with its font, a barcode, a graphic, a box, a circle or an RFID write. Label settings,
// quantity, RFID setup and locks are elements of their own; ~HS, ~HI and ~HQES are
// answered from the printer's condition and identity. Anything else, and text that is
// no ZPL at all, is journaled as unknown with its text.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "PrinterLanguage.h"

namespace vprinter {

class ZplDecoder : public LanguageDecoder {
public:
    // No command is longer: the largest graphic in ASCII hex, with room for line ends.
    static constexpr size_t kMaxCommandBytes = 20 * 1024 * 1024;

    ZplDecoder();

    const char* language() const override { return "zpl"; }
    void feed(std::string_view bytes, DecoderContext& context) override;
    void finish(DecoderContext& context) override;
    // A ZPL printer reports only when asked.
    std::string statusReport(const PrinterCondition&, int) const override { return {}; }

    // The answers to ~HS (three framed strings), ~HQES (the framed error and warning
    // block) and ~HI (the framed identity).
    static std::string hostStatus(const PrinterCondition& condition);
    static std::string errorStatus(const PrinterCondition& condition);
    static std::string identityAnswer(const PrinterIdentity& identity);

private:
    using Handler = std::function<void(const std::string& params, DecoderContext&)>;

    // The field between ^FO/^FT and ^FS.
    struct Field {
        Json::Value element{Json::objectValue};  // what the field's commands said
        std::string kind;                        // "" for text, else the element type
        std::optional<char> hexIndicator;        // set by ^FH
        std::optional<std::string> data;         // the raw ^FD bytes
        bool fontSet = false;
        std::shared_ptr<const MonoImage> dots;  // a graphic's
    };
    struct Font {
        std::string name = "0";
        int height = 0;
        int width = 0;
    };

    void addFieldCommands();
    void addFieldKinds();
    void addLabelCommands();
    void addQueries();
    // `tilde` marks the immediate commands (~HS), the others start with a caret.
    void add(const std::string& code, Handler handler, bool tilde = false);
    void addSetting(const std::string& code, const char* name, bool tilde = false);
    void addBarcode(const std::string& code, const char* symbology);
    void addRfid(const std::string& code);

    // Decodes one command or text run from the front of `pending`: the bytes it took,
    // 0 while its end has not arrived (at the stream's end, everything left is taken).
    size_t step(std::string_view pending, bool ending, DecoderContext& context);
    size_t textRun(std::string_view pending, bool ending, DecoderContext& context);
    std::optional<size_t> commandLength(std::string_view pending, bool ending) const;
    void execute(char prefix, const std::string& code, const std::string& params,
                 DecoderContext& context);
    void endField(DecoderContext& context);
    void reply(DecoderContext& context, const std::string& command, const std::string& answer);
    void element(DecoderContext& context, Json::Value value);
    Json::Value withLabel(Json::Value value) const;
    // A field's ^FD bytes as UTF-8 text: ^FH escapes resolved, then read in the ^CI
    // encoding.
    std::string fieldText(const Field& field) const;

    std::map<std::string, Handler> handlers_;  // by prefix and code: "^FO", "~HS"
    std::string pending_;
    Field field_;
    Font defaultFont_;
    Json::Value barDefaults_{Json::objectValue};  // ^BY
    bool utf8_ = false;                           // ^CI28
    std::string orientation_ = "N";               // ^FW
    int justification_ = 0;                       // ^FW
    bool discarding_ = false;                     // a refused command's bytes still arrive
    int label_ = 0;                               // the labels begun so far
    bool inLabel_ = false;
};

}  // namespace vprinter
