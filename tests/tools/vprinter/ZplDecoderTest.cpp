// The virtual printer's ZPL decoder: what each kind of command journals, the same whether
// the bytes come whole or one at a time, and its answers to status questions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DecoderRecorder.h"
#include "JournalMatch.h"
#include "PrinterLanguage.h"
#include "ZplDecoder.h"

namespace {

using vprinter::test::Recorder;
using namespace std::string_literals;

Recorder decode(const std::string& bytes, bool byteByByte) {
    Recorder context;
    vprinter::ZplDecoder decoder;
    if (byteByByte) {
        for (char c : bytes)
            decoder.feed(std::string_view(&c, 1), context);
    } else {
        decoder.feed(bytes, context);
    }
    decoder.finish(context);
    return context;
}

struct Case {
    const char* fault;  // what goes wrong when the case fails
    std::string zpl;
    std::vector<std::string> journal;
};

const Case kCases[] = {
    {"^FH escapes of the caret, tilde and underscore not turned back into their characters",
     "^XA^CI28^FO10,20^AEN,28,15^FH^FDGr\xC3\xBC\xC3\x9F"
     "e _5E_7EJA_5F^FS^XZ",
     {R"({"type":"label_start","label":1})", R"({"type":"setting","name":"encoding"})",
      R"({"type":"field","x":10,"y":20,"font":"E","orientation":"N","height":28,"width":15,
          "text":"Grüße ^~JA_","hex_escapes":true,"label":1})",
      R"({"type":"label_end"})"}},
    {"field data read as UTF-8 without ^CI28, where the printer reads a single-byte set",
     "^XA^FO1,2^FD\x81^FS^XZ",
     {R"({"type":"label_start"})", R"({"type":"field","text":"ü","font":"0"})",
      R"({"type":"label_end"})"}},
    {"an unknown command, or text that is no ZPL, dropped instead of kept",
     "hello printer\r\n^XA^ZZ1,2 B2100,680,'x'^XZ",
     {R"({"type":"unknown","text":"hello printer"})", R"({"type":"label_start"})",
      R"({"type":"unknown","command":"^ZZ","text":"^ZZ1,2 B2100,680,'x'"})",
      R"({"type":"label_end"})"}},
    {"barcodes without their symbology, data or ^BY module; QR data with its mode left on",
     "^XA^BY3,2.5,80^FO5,6^BCN,100,Y,N,N,A^FH^FD12_5F34^FS"
     "^FO7,8^BQN,2,4^FH^FDQA,QR 1^FS^FO9,9^BD2,1,1^FDmaxi^FS^XZ",
     {R"({"type":"label_start"})",
      R"({"type":"barcode","symbology":"CODE128","x":5,"y":6,"data":"12_34","module":3,
          "ratio":"2.5","orientation":"N","parameters":["N","100","Y","N","N","A"]})",
      R"({"type":"barcode","symbology":"QR","data":"QR 1","qr_mode":"QA"})",
      R"({"type":"barcode","symbology":"MAXICODE","data":"maxi","parameters":["2","1","1"]})",
      R"({"type":"label_end"})"}},
    {"graphics, boxes and circles misread: their size, checksum or reverse printing lost",
     "^XA^FO9,8^FR^GFA,4,4,2,\r\nFF00F00F^FS^FO1,2^GB450,5,5,B,4^FS^FO3,4^GC50,2^FS"
     "^FO0,0^GFB,2,2,1,^~^FS^XZ",
     {R"({"type":"label_start"})",
      R"({"type":"graphic","x":9,"y":8,"reverse":true,"bytes":4,"bytes_per_row":2,"rows":2,
          "data_bytes":4,"black":16,"checksum":"552AC753"})",
      R"({"type":"box","width":450,"height":5,"thickness":5,"color":"B","rounding":4})",
      R"({"type":"circle","x":3,"y":4,"diameter":50,"thickness":2})",
      R"({"type":"graphic","format":"B","data_bytes":2})", R"({"type":"label_end"})"}},
    {"a binary graphic's absurd byte count taken as given, swallowing every later command",
     "^XA^FO0,0^GFB,2000000000,2,1,^FS^FO1,2^FDafter^FS^XZ",
     {R"({"type":"label_start"})", R"({"type":"graphic","format":"B","data_bytes":0})",
      R"({"type":"field","text":"after"})", R"({"type":"label_end"})"}},
    {"settings, quantity and RFID writes missing from the journal",
     "^XA^PW812^LL1218~SD15^RS8,,,1^RFW,H,1,2^FH^FD0102^FS^RZ1234,A,L^PQ2,0,1,Y^XZ",
     {R"({"type":"label_start"})", R"({"type":"setting","name":"print_width"})",
      R"({"type":"setting","name":"label_length","parameters":["1218"]})",
      R"({"type":"setting","name":"darkness","command":"~SD"})",
      R"({"type":"rfid","command":"^RS","parameters":["8","","","1"]})",
      R"({"type":"rfid","command":"^RF","operation":"W","data":"0102"})",
      R"({"type":"rfid","command":"^RZ","parameters":["1234","A","L"]})",
      R"({"type":"quantity","quantity":2,"replicates":1,"override":"Y"})",
      R"({"type":"label_end"})"}},
    {"compressed graphics not unpacked to the bytes their plain form has",
     "^XA^FO1,1^GFA,4,4,2,HFH0FH0F^FS^FO1,1^GFA,4,4,2,:Z64:eJz7z/CBHwAF7wH/:2BB3^FS"
     "^FO1,1^GFA,4,4,2,FF,:^FS^FO1,1^GFA,4,4,2,:Z64:eJz7z/CBHwAF7wH/:0000^FS^XZ",
     {R"({"type":"label_start"})",
      R"({"type":"graphic","checksum":"552AC753","compression":"run-length","black":16})",
      R"({"type":"graphic","checksum":"552AC753","compression":"Z64","data_bytes":4})",
      R"({"type":"graphic","data_bytes":4,"black":16,"checksum":"A41E77BD"})",
      R"({"type":"graphic","data_bytes":4,"damaged":true})", R"({"type":"label_end"})"}},
    {"field blocks, comments, ^FW orientation, ^CF font and ^BY defaults not inherited",
     "^XA^FXshipping label^FWR^CF0,40^BY3,2.0,55^FO10,10^FB400,3,5,C,2^FDa b c^FS"
     "^FO20,20^BC,,Y^FD123^FS^BY4^FO30,30^B3N^FDAB^FS^FO0,0^GD100,50,3,B,L^FS"
     "^FO0,0^GE80,40,2^FS^XZ",
     {R"({"type":"label_start"})", R"({"type":"comment","text":"shipping label"})",
      R"({"type":"setting","name":"field_orientation"})",
      R"({"type":"setting","name":"default_font"})",
      R"({"type":"field","font":"0","height":40,"orientation":"R","text":"a b c",
          "block":{"width":400,"lines":3,"spacing":5,"justification":"C","indent":2}})",
      R"({"type":"barcode","orientation":"R","module":3,"ratio":"2.0","bar_height":55})",
      R"({"type":"barcode","orientation":"N","module":4,"ratio":"2.0","bar_height":55})",
      R"({"type":"diagonal","width":100,"height":50,"thickness":3,"lean":"L"})",
      R"({"type":"ellipse","width":80,"height":40,"thickness":2})", R"({"type":"label_end"})"}},
    {"a label cut off by the end of the connection lost",
     "^XA^FO1,1^FDhalf",
     {R"({"type":"label_start"})", R"({"type":"field","text":"half"})",
      R"({"type":"label_end","incomplete":true})"}},
};

TEST(ZplDecoder, EachKindOfCommandJournalsTheSameWholeOrSplitAcrossReads) {
    for (const Case& c : kCases) {
        Recorder whole = decode(c.zpl, false);
        Recorder split = decode(c.zpl, true);
        EXPECT_EQ(journalmatch::mismatch(whole.elements, c.journal), "") << c.fault;
        EXPECT_EQ(split.lines(), whole.lines()) << c.fault;
    }
}

TEST(ZplDecoder, StatusAnswersCarryTheConditionInTheirFlagFields) {
    // The flag a fault must raise: ~HS string 1 (paper out, pause), string 2 (head up,
    // ribbon out), and the error flags of ~HQES.
    struct Fault {
        void (*set)(vprinter::PrinterCondition&);
        std::string hostStatus;
        const char* errorFlags;
    };
    const Fault faults[] = {
        {[](vprinter::PrinterCondition&) {},
         "030,0,0,1218,000,0,0,0,000,0,0,0\x03\r\n\x02"
         "000,0,0,0",
         "0 00000000 00000000"},
        {[](vprinter::PrinterCondition& c) { c.paperOut = true; }, "030,1,0,",
         "1 00000000 00000001"},
        {[](vprinter::PrinterCondition& c) { c.paused = true; }, "030,0,1,", "1 00000000 00010000"},
        {[](vprinter::PrinterCondition& c) { c.coverOpen = true; },
         "\x02"
         "000,0,1,0,",
         "1 00000000 00000004"},
        {[](vprinter::PrinterCondition& c) { c.headOpen = true; },
         "\x02"
         "000,0,1,0,",
         "1 00000000 00000004"},
        {[](vprinter::PrinterCondition& c) { c.ribbonOut = true; },
         "\x02"
         "000,0,0,1,",
         "1 00000000 00000002"},
    };
    for (const Fault& f : faults) {
        Recorder context;
        f.set(context.state);
        context.who.model = "LBL-77";
        vprinter::ZplDecoder decoder;
        decoder.feed("~HS~HQES~HI", context);
        std::string answer = context.replies;
        EXPECT_NE(answer.find(f.hostStatus), std::string::npos) << answer;
        EXPECT_NE(answer.find(f.errorFlags), std::string::npos) << answer;
        EXPECT_NE(answer.find("\x02LBL-77,"), std::string::npos) << answer;
        ASSERT_EQ(context.elements.size(), 3u);
        EXPECT_EQ(context.elements[1]["command"].asString(), "~HQES");
    }
}

TEST(ZplDecoder, AutoDetectionKnowsZplBehindLeadingLineEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"^XA^XZ", "zpl"},   {"\r\n  ~HS", "zpl"}, {"\x1b@", "escpos"},
        {"hello", "escpos"}, {"\r\n ", ""},        {"\0"s, "escpos"},
    };
    for (const auto& [bytes, language] : cases)
        EXPECT_EQ(vprinter::detectLanguage(bytes), language) << vprinter::hexBytes(bytes);
}

}  // namespace
