// Receipts and labels drawn from what the decoders made of real bytes, checked by what a
// reader finds in the picture: symbols read back by scanners' decoders and compared with
// the data sent, text placed where the font's metrics put it, reverse and rotation by
// sampled dots, sizes exact.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Canvas.h"
#include "EscPosDecoder.h"
#include "LabelDrawer.h"
#include "ReceiptDrawer.h"
#include "SymbolReader.h"
#include "ZplDecoder.h"

namespace {

using namespace std::string_literals;
using vprinter::MonoImage;
using vprinter::test::Reader;
using vprinter::test::readSymbols;

// Keeps what a decoder journals, numbered, with the dots of its pictures.
struct Capture : vprinter::DecoderContext {
    struct Entry {
        Json::Value element;
        std::shared_ptr<const MonoImage> dots;
    };
    std::vector<Entry> entries;
    vprinter::PrinterIdentity who;

    void journal(Json::Value element) override { journalPicture(std::move(element), nullptr); }
    void journalPicture(Json::Value element, std::shared_ptr<const MonoImage> dots) override {
        element["seq"] = static_cast<Json::Int64>(entries.size() + 1);
        entries.push_back({element, std::move(dots)});
    }
    void reply(std::string_view) override {}
    vprinter::PrinterCondition condition() const override { return {}; }
    const vprinter::PrinterIdentity& identity() const override { return who; }
    void automaticStatus(int) override {}
};

struct Label {
    MonoImage picture;
    std::vector<long long> clipped;
    std::vector<std::string> notes;
};

Label drawLabel(const std::string& zpl, int dpi = 203) {
    Capture capture;
    vprinter::ZplDecoder decoder;
    decoder.feed(zpl, capture);
    decoder.finish(capture);
    vprinter::LabelDrawer drawer(dpi);
    for (const auto& entry : capture.entries)
        drawer.add(entry.element, entry.dots);
    Label out{drawer.picture(), {}, {}};
    out.clipped = drawer.clipped();
    out.notes = drawer.notes();
    return out;
}

MonoImage drawReceipt(const std::string& bytes, int paper = vprinter::ReceiptDrawer::kPaper80mm,
                      std::vector<std::string>* notes = nullptr) {
    Capture capture;
    vprinter::EscPosDecoder decoder;
    decoder.feed(bytes, capture);
    decoder.finish(capture);
    vprinter::ReceiptDrawer drawer(paper);
    for (const auto& entry : capture.entries)
        drawer.add(entry.element, entry.dots);
    MonoImage picture = drawer.picture();
    if (notes)
        *notes = drawer.notes();
    return picture;
}

// The rows from the first to the last with a black dot.
std::pair<int, int> inkRows(const MonoImage& image) {
    return vprinter::inkColumns(vprinter::turned(image, 3));
}

struct SymbolCase {
    const char* symbology;
    std::string zpl;   // the field's commands, placed at ^FO60,60
    std::string sent;  // what a scanner must read
    Reader reader;
};

TEST(PreviewDrawing, EveryLabelSymbologyReadsBackAsTheDataSent) {
    // What the label library emits for each family, as its tests pin it.
    const SymbolCase cases[] = {
        {"Code 128", "^BY2,3.0,80^BCN,80,Y,N,N,A^FH^FDVembrix-4711^FS", "Vembrix-4711",
         Reader::Zbar},
        {"Code 39", "^BY2,3.0,80^B3N,N,80,Y,N^FDCODE 39^FS", "CODE 39", Reader::Zbar},
        {"EAN-13", "^BY2,3.0,80^BEN,80,Y,N^FD400638133393^FS", "4006381333931", Reader::Zbar},
        {"EAN-8", "^BY2,3.0,80^B8N,80,Y,N^FD9638507^FS", "96385074", Reader::Zbar},
        {"UPC-A", "^BY2,3.0,80^BUN,80,Y,N,Y^FD03600029145^FS", "036000291452", Reader::Zbar},
        {"UPC-E", "^BY2,3.0,80^B9N,80,Y,N,Y^FD0123456^FS", "01234565", Reader::Zbar},
        {"Interleaved 2 of 5", "^BY2,3.0,80^B2N,80,Y,N,N^FD12345678^FS", "12345678", Reader::Zbar},
        {"Codabar", "^BY2,3.0,80^BKN,N,80,Y,N,A,A^FD40156^FS", "A40156A", Reader::Zbar},
        {"Code 93", "^BY2,3.0,80^BAN,80,Y,N,N^FDCODE93^FS", "CODE93", Reader::Zbar},
        {"QR", "^BQN,2,5^FH^FDMA,https://example.com/o/4711^FS", "https://example.com/o/4711",
         Reader::Zbar},
        {"Data Matrix", "^BXN,6,200,,,,`^FH^FDDM 4711^FS", "DM 4711", Reader::Dmtx},
        {"PDF417", "^BY3^B7N,8,2,4,,N^FH^FDPDF417 label data^FS", "PDF417 label data",
         Reader::Zxing},
        {"MaxiCode mode 4", "^BD4,1,1^FH^FDMaxiCode on a label^FS", "MaxiCode on a label",
         Reader::Zxing},
        {"Code 128 turned", "^BY2,3.0,80^BCR,80,Y,N,N,A^FD12345^FS", "12345", Reader::Zbar},
    };
    for (const SymbolCase& c : cases) {
        Label label = drawLabel("^XA^PW812^LL812^FO60,60" + c.zpl + "^XZ");
        EXPECT_TRUE(label.notes.empty()) << c.symbology << ": " << label.notes[0];
        std::vector<std::string> read = readSymbols(label.picture, c.reader);
        EXPECT_EQ(read, std::vector<std::string>{c.sent}) << c.symbology;
    }
}

TEST(PreviewDrawing, EveryReceiptSymbolReadsBackAsTheDataSent) {
    auto symbol = [](int cn, int fn, const std::string& parameters) {
        std::string out = "\x1d(k"s + static_cast<char>((parameters.size() + 2) & 0xFF) +
                          static_cast<char>((parameters.size() + 2) >> 8) + static_cast<char>(cn) +
                          static_cast<char>(fn) + parameters;
        return out;
    };
    const std::pair<std::string, std::string> linear[] = {
        {"\x1dk\x49\x0c{B1234{C\x38\x4e\x5a\x0c"s, "123456789012"},
        {"\x1dk\x43\x0c"
         "400638133393"s,
         "4006381333931"},
        {"\x1dk\x45\x05"
         "AB-12"s,
         "AB-12"},
        {"\x1dk\x46\x06"
         "123456"s,
         "123456"},
    };
    for (const auto& [bytes, sent] : linear) {
        MonoImage receipt = drawReceipt(
            "\x1d"
            "H\x02\x1dh\x50\x1dw\x02"s +
            bytes);
        EXPECT_EQ(readSymbols(receipt, Reader::Zbar), std::vector<std::string>{sent}) << sent;
    }
    const struct {
        std::string bytes;
        std::string sent;
        Reader reader;
    } twoD[] = {
        {symbol(49, 67, "\x06") + symbol(49, 80, "0https://example.com/r/17") + symbol(49, 81, "0"),
         "https://example.com/r/17", Reader::Zbar},
        {symbol(48, 67, "\x03") + symbol(48, 80, "0PDF417 on a receipt") + symbol(48, 81, "0"),
         "PDF417 on a receipt", Reader::Zxing},
        {symbol(54, 67, "\x06") + symbol(54, 80, "0Matrix 17") + symbol(54, 81, "0"), "Matrix 17",
         Reader::Dmtx},
    };
    for (const auto& c : twoD)
        EXPECT_EQ(readSymbols(drawReceipt(c.bytes), c.reader), std::vector<std::string>{c.sent})
            << c.sent;
}

TEST(PreviewDrawing, LabelTextStartsWhereItsFieldIsAndReverseAndRotationShow) {
    // A field at ^FO100,50 starts at x = 100 and y = 50: its ink within the font's left
    // bearing and its cell.
    Label cell = drawLabel("^XA^FO100,50^ADN,36,20^FDHHHH^FS^XZ");
    auto [left, right] = vprinter::inkColumns(cell.picture);
    auto [top, bottom] = inkRows(cell.picture);
    EXPECT_GE(left, 100);
    EXPECT_LT(left, 104);
    // Font D is 18 x 10 with 2 dots between characters: 4 characters at twice the size.
    EXPECT_LE(right, 100 + 4 * 24);
    EXPECT_GT(right, 100 + 3 * 24);
    EXPECT_GE(top, 50);
    EXPECT_LT(bottom, 50 + 36);

    Label scalable = drawLabel("^XA^FO100,50^A0N,50,50^FDHello^FS^XZ");
    EXPECT_GE(vprinter::inkColumns(scalable.picture).first, 100);
    EXPECT_LT(vprinter::inkColumns(scalable.picture).first, 100 + 50 / 8);

    // A reversed box over text: the box is black where the text is not, white where it is.
    Label reversed = drawLabel("^XA^FO100,50^ADN,36,20^FDHHHH^FS^FO90,40^FR^GB140,60,60^FS^XZ");
    EXPECT_TRUE(reversed.picture.black(92, 42));
    for (int y = 50; y < 86; ++y)
        for (int x = 100; x < 196; ++x)
            EXPECT_EQ(reversed.picture.black(x, y), !cell.picture.black(x, y));

    // Turned 90 degrees, a line of text is taller than wide; turned 180, it is the normal
    // field upside down.
    Label turned = drawLabel("^XA^FO100,50^ADR,36,20^FDHHHH^FS^XZ");
    auto [tl, tr] = vprinter::inkColumns(turned.picture);
    auto [tt, tb] = inkRows(turned.picture);
    EXPECT_GT(tb - tt, 2 * (tr - tl));
    Label inverted = drawLabel("^XA^FO100,50^ADI,36,20^FDHL^FS^XZ");
    Label upright = drawLabel("^XA^FO100,50^ADN,36,20^FDHL^FS^XZ");
    MonoImage upside = vprinter::turned(inverted.picture, 2);
    // Compare the ink of both fields, each from its own corner.
    int ux = vprinter::inkColumns(upright.picture).first, iy = inkRows(upside).first;
    int ix = vprinter::inkColumns(upside).first, uy = inkRows(upright.picture).first;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 48; ++x)
            EXPECT_EQ(upside.black(ix + x, iy + y), upright.picture.black(ux + x, uy + y));
}

TEST(PreviewDrawing, FieldsOffTheLabelAreClippedAndNamed) {
    Label label = drawLabel("^XA^PW400^LL300^FO350,10^ADN,36,20^FDcut off^FS^FO10,10^FDin^FS^XZ");
    EXPECT_EQ(label.picture.width(), 400);
    EXPECT_EQ(label.picture.height(), 300);
    EXPECT_EQ(label.clipped.size(), 1u);
    // ^PW beyond the print head, a huge ^LL and a billion copies: bounded, and said.
    Label huge = drawLabel("^XA^PW32000^LL32000^FO10,10^FDx^FS^PQ1000000000^XZ");
    EXPECT_LE(huge.picture.width(), 4.1 * 203);
    EXPECT_EQ(huge.notes.size(), 2u);
    EXPECT_NE(huge.notes[1].find("drawn once"), std::string::npos);
}

TEST(PreviewDrawing, ReceiptPicturesHaveThePapersWidthAndImagesTheirOwn) {
    // A 384-dot raster on 58 mm paper fills it exactly; every dot row of it is there.
    std::string raster = "\x1dv0\x00\x30\x00\x40\x00"s + std::string(48 * 64, '\xff');
    MonoImage receipt = drawReceipt(raster, vprinter::ReceiptDrawer::kPaper58mm);
    EXPECT_EQ(receipt.width(), 384);
    auto [first, last] = inkRows(receipt);
    EXPECT_EQ(last - first + 1, 64);
    EXPECT_EQ(vprinter::inkColumns(receipt), std::make_pair(0, 383));
    // Column stripes with 24-dot line spacing join without a gap.
    std::string stripe = "\x1b*\x21\x10\x00"s + std::string(48, '\xff');
    MonoImage stripes = drawReceipt("\x1b\x33\x18" + stripe + "\n" + stripe + "\n");
    auto [sf, sl] = inkRows(stripes);
    EXPECT_EQ(sl - sf + 1, 48);
    // Centred text sits in the middle; double width doubles its ink.
    MonoImage single = drawReceipt(
        "\x1b"
        "a\x01HHHH\n"s);
    MonoImage wide = drawReceipt(
        "\x1b"
        "a\x01\x1d!\x10HHHH\n"s);
    auto [sl1, sr1] = vprinter::inkColumns(single);
    auto [wl, wr] = vprinter::inkColumns(wide);
    EXPECT_NEAR((sl1 + sr1) / 2, 288, 8);
    EXPECT_NEAR(wr - wl, 2 * (sr1 - sl1), 6);
    // A 65,535-row raster draws up to the receipt's limit and says so.
    std::vector<std::string> notes;
    MonoImage longest =
        drawReceipt("\x1dv0\x00\x01\x00\xff\xff"s + std::string(65535, '\x80'), 576, &notes);
    EXPECT_LE(longest.height(), vprinter::ReceiptDrawer::kMaxLength);
    ASSERT_EQ(notes.size(), 1u);
}

}  // namespace
