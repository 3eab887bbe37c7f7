// The ESC/POS decoder against what encoders send: every command consumed by its own
// length and journaled as what it is, so that no parameter byte turns into text, and
// pictures journaled with the dots they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecoderRecorder.h"
#include "EscPosDecoder.h"
#include "JournalMatch.h"

namespace {

using vprinter::test::Recorder;
using namespace std::string_literals;

struct Case {
    const char* fault;
    std::string bytes;
    std::vector<std::string> journal;
};

// 24-dot double-density stripe of `columns` columns, every dot black.
std::string stripe(int columns) {
    return "\x1b*\x21"s + static_cast<char>(columns) + '\0' + std::string(columns * 3, '\xff');
}

const Case kCases[] = {
    {"FS - n leaks its parameter into the next line",
     "\x1c-0Plain text\n",
     {R"({"type":"command","command":"FS -","args":[48]})",
      R"({"type":"text","text":"Plain text","newline":true})"}},
    {"GS W nL nH leaves a byte as text; GS L, ESC $ and ESC \\ not journaled as positions",
     "\x1dW\x40\x01\x1dL\x10\x00\x1b$\x20\x00\x1b\\\xf0\xff"s + "A\n",
     {R"({"type":"print_width","dots":320})", R"({"type":"left_margin","dots":16})",
      R"({"type":"position","x":32})", R"({"type":"position","dx":-16})",
      R"({"type":"text","text":"A"})"}},
    {"line spacing and character spacing lost",
     "\x1b\x33\x40\x1b\x32\x1b \x05x\n",
     {R"({"type":"line_spacing","dots":64})", R"({"type":"line_spacing","dots":30,"default":true})",
      R"({"type":"text","text":"x","spacing":5})"}},
    {"ESC * stripes with ESC 3 24 between them drawn as separate pictures, or with gaps",
     "\x1b\x33\x18" + stripe(16) + "\n" + stripe(16) + "\n\x1b\x32",
     {R"({"type":"line_spacing","dots":24})",
      R"({"type":"image","command":"ESC *","width":16,"height":48,"bands":2,"black":768})",
      R"({"type":"line_spacing","default":true})"}},
    {"8-dot single-density stripes not widened and heightened to the printed dots",
     "\x1b*\x00\x02\x00\x80\x01\n"s,
     {R"({"type":"image","command":"ESC *","width":4,"height":24,"black":12})"}},
    {"graphics stored with GS ( L function 112 not printed by function 50",
     "\x1d(L\x0e\x00\x30\x70\x30\x01\x01\x31\x10\x00\x02\x00\xff\x00\x00\xff"
     "\x1d(L\x02\x00\x30\x32"s,
     {R"({"type":"command","command":"GS ( L","fn":112})",
      R"({"type":"image","command":"GS ( L","width":16,"height":2,"black":16})"}},
    {"GS 8 L with its four-byte length taken for a two-byte one",
     "\x1d\x38L\x0b\x00\x00\x00\x30\x70\x30\x02\x02\x31\x08\x00\x01\x00\xaa"
     "\x1d(L\x02\x00\x30\x32ok\n"s,
     {R"({"type":"command","command":"GS ( L","fn":112})",
      R"({"type":"image","width":16,"height":2,"black":16})", R"({"type":"text","text":"ok"})"}},
    {"real-time commands and the double-byte set leak bytes; buffer clear unanswered",
     "\x10\x05\x02\x10\x14\x08\x01\x03\x14\x01\x06\x02\x08\x1cS\x01\x02\x1c&\x1c"
     "C\x01\x1c.b\n"s,
     {R"({"type":"real_time","command":"DLE ENQ","n":2})",
      R"({"type":"real_time","command":"DLE DC4","fn":8,"reply":"37 25 00"})",
      R"({"type":"command","command":"FS S","args":[1,2]})", R"({"type":"double_byte","on":true})",
      R"({"type":"double_byte_system","system":1})", R"({"type":"double_byte","on":false})",
      R"({"type":"text","text":"b"})"}},
    {"ESC =, GS B, GS b and ESC V misread",
     "\x1b=\x01\x1d"
     "B\x01\x1d"
     "b\x01\x1bV\x01R\n"s,
     {R"({"type":"command","command":"ESC =","args":[1]})",
      R"({"type":"text","text":"R","reverse":true,"smoothing":true,"rotated":true})"}},
    {"a raster larger than any picture gathered in memory instead of skipped",
     "\x1d\x38L\xff\xff\xff\x7f\x30\x70" + std::string(100, '\x1b') + "",
     {R"({"type":"refused","command":"GS 8 L","bytes":2147483651})"}},
    {"tab positions and user-defined characters leak into the text",
     "\x1b"
     "D\x08\x10\x00\x1b&\x03\x41\x42\x02\x01\x02\x03\x04\x05\x06\x01\x07\x08\x09T\n"s,
     {R"({"type":"tabs","positions":[8,16]})", R"({"type":"command","command":"ESC &","bytes":14})",
      R"({"type":"text","text":"T"})"}},
};

TEST(EscPosCommands, EachCommandIsConsumedByItsLengthAndJournaledAsWhatItIs) {
    for (const Case& c : kCases) {
        Recorder whole;
        vprinter::EscPosDecoder one;
        one.feed(c.bytes, whole);
        one.finish(whole);
        EXPECT_EQ(journalmatch::mismatch(whole.elements, c.journal), "") << c.fault;
        Recorder split;
        vprinter::EscPosDecoder two;
        for (char byte : c.bytes)
            two.feed(std::string_view(&byte, 1), split);
        two.finish(split);
        EXPECT_EQ(split.lines(), whole.lines()) << c.fault;
    }
}

TEST(EscPosCommands, ARefusedCommandIsSkippedAsItArrivesAndTheStreamGoesOn) {
    // Fails when the decoder keeps waiting for (and storing) 64 MiB of raster data.
    Recorder context;
    vprinter::EscPosDecoder decoder;
    decoder.feed("\x1dv0\x00\x00\x04\x00\x40"s, context);  // 1024 bytes x 16384 rows
    std::string chunk(1 << 20, '\xff');
    for (int i = 0; i < 16; ++i)
        decoder.feed(chunk, context);
    decoder.feed("after\n", context);
    ASSERT_EQ(context.elements.size(), 2u) << context.lines();
    EXPECT_EQ(context.elements[0]["type"], "refused");
    EXPECT_EQ(context.elements[1]["text"], "after");
}

}  // namespace
