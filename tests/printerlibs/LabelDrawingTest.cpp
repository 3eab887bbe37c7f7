// Rasterised text and pictures: the graphic fields they become.
#include <fstream>

#include "LabelTestSupport.h"
#include "TempHome.h"
#include "TextRasterizer.h"
#include "cvnlblapi.h"
#include "platform/Files.h"

namespace {

constexpr const char* kFixedFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct GraphicField {
    int origin[2] = {0, 0};
    int bytes = 0;
    int bytesPerRow = 0;
    std::string hex;
};

// The one graphic field of a label: "^FOx,y^GFA,b,b,r,HEX^FS".
GraphicField graphicFieldOf(const std::string& label) {
    GraphicField field;
    size_t at = label.find("^FO");
    size_t gfa = label.find("^GFA,");
    EXPECT_NE(at, std::string::npos);
    EXPECT_NE(gfa, std::string::npos);
    if (at == std::string::npos || gfa == std::string::npos)
        return field;
    std::sscanf(label.c_str() + at, "^FO%d,%d", &field.origin[0], &field.origin[1]);
    int total = 0;
    int consumed = 0;
    std::sscanf(label.c_str() + gfa, "^GFA,%d,%d,%d,%n", &field.bytes, &total, &field.bytesPerRow,
                &consumed);
    size_t start = gfa + static_cast<size_t>(consumed);
    field.hex = label.substr(start, label.find('^', start) - start);
    return field;
}

uint64_t fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// A 24-bit BMP of black (1) and white (0) pixels, rows given top first.
void writeBmp(const std::string& path, const std::vector<std::string>& rows) {
    int width = static_cast<int>(rows[0].size());
    int height = static_cast<int>(rows.size());
    int stride = (width * 3 + 3) / 4 * 4;
    auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    std::string file = "BM";
    le(file, 54 + stride * height, 4);
    le(file, 0, 4);
    le(file, 54, 4);
    le(file, 40, 4);
    le(file, width, 4);
    le(file, height, 4);
    le(file, 1, 2);
    le(file, 24, 2);
    le(file, 0, 4);
    le(file, stride * height, 4);
    le(file, 2835, 4);
    le(file, 2835, 4);
    le(file, 0, 4);
    le(file, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (char dot : rows[y])
            row.append(3, dot == '1' ? '\0' : '\xFF');
        row.resize(stride, '\0');
        file += row;
    }
    std::ofstream(path, std::ios::binary) << file;
}

class LabelDrawing : public LabelLibraryTest {
protected:
    std::string printed(const std::function<int(CLabelPrinter&)>& call) {
        EXPECT_EQ(call(*printer), 1);
        EXPECT_EQ(printer->prints(1, 1), 1);
        return device->written();
    }
    TempHome home;
};

TEST_F(LabelDrawing, TrueTypeWordWithAFixedFontHasItsKnownBitmap) {
    if (!platform::canOpenForReading(kFixedFont))
        GTEST_SKIP() << kFixedFont << " is not installed";
    connect();
    CLabelPrinter::DrawnTextField field;
    field.x = 10;
    field.y = 20;
    field.face = kFixedFont;
    field.height = 32;
    GraphicField regular = graphicFieldOf(
        printed([&](CLabelPrinter& p) { return p.drawnText("t", field, "Vembrix"); }));
    EXPECT_EQ(regular.origin[0], 10);
    EXPECT_EQ(regular.origin[1], 20);
    EXPECT_EQ(regular.bytesPerRow, 17);
    EXPECT_EQ(regular.bytes, 17 * 38);
    EXPECT_EQ(fnv1a(regular.hex), 2569296847044608354ull);
}

TEST_F(LabelDrawing, RightJustifiedDrawingEndsAtXAndRotationTurnsIt) {
    if (!platform::canOpenForReading(kFixedFont))
        GTEST_SKIP() << kFixedFont << " is not installed";
    connect();
    CLabelPrinter::DrawnTextField field;
    field.face = kFixedFont;
    field.x = 400;
    field.y = 20;
    field.justification = 1;
    field.rotation = 1;
    GraphicField turned = graphicFieldOf(
        printed([&](CLabelPrinter& p) { return p.drawnText("t", field, "Wide text"); }));
    int width = turned.bytesPerRow * 8;
    int height = turned.bytes / turned.bytesPerRow;
    EXPECT_GT(height, width) << "a quarter turn stands the line on end";
    EXPECT_LE(400 - turned.origin[0], width);
    EXPECT_GT(400 - turned.origin[0], width - 8);
}

TEST_F(LabelDrawing, TextThePrinterFontsCannotShowIsDrawnInAnyInstalledScript) {
    if (!CTextRasterizer::render(U"\uD55C", TextStyle{}))
        GTEST_SKIP() << "no Hangul font installed";
    connect();
    // The face named in Korean is not installed: a face that has the characters stands in.
    CLabelPrinter::DrawnTextField field;
    field.x = 100;
    field.y = 380;
    field.face = "\xEB\x8F\x8B\xEC\x9B\x80\xEC\xB2\xB4";
    field.height = 50;
    field.bold = 1;
    ASSERT_EQ(printer->drawnText("t", field, "\xED\x95\x9C\xEA\xB8\x80 Label"), 1);
    // The device font call with the same word is drawn, not sent as printer text.
    ASSERT_EQ(printer->deviceText("t", {100, 620, CVNLBL_FONT_ANY_SCRIPT, 2, 2, 0, 1, 0},
                                  "\xED\x95\x9C\xEA\xB8\x80"),
              1);
    ASSERT_EQ(printer->deviceText("t", {100, 700, 4, 1, 1, 0, 0, 0}, "\xED\x95\x9C"), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    std::string label = device->written();
    EXPECT_EQ(label.find("^FD"), std::string::npos) << "no printer text field";
    size_t fields = 0;
    for (size_t at = label.find("^GFA"); at != std::string::npos; at = label.find("^GFA", at + 1))
        ++fields;
    EXPECT_EQ(fields, 3u);
    EXPECT_NE(label.find("^FO100,620^FR^GFA"), std::string::npos);
}

TEST_F(LabelDrawing, PictureIsDitheredMagnifiedAndRotatedDotForDot) {
    std::string path = home.file("dots.bmp");
    writeBmp(path, {"1010", "0011"});
    connect();
    CLabelPrinter::PictureField field;
    field.x = 5;
    field.y = 6;
    field.path = path;
    field.dithering = 1;
    ASSERT_EQ(printer->picture("t", field), 1);
    field.dithering = 0;
    field.hMag = 2;
    ASSERT_EQ(printer->picture("t", field), 1);
    field.hMag = 1;
    field.rotation = 1;
    ASSERT_EQ(printer->picture("t", field), 1);
    field.rotation = 0;
    field.width = 8;  // the height follows the proportions
    ASSERT_EQ(printer->picture("t", field), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->written(), labelOf("^FO5,6^GFA,2,2,1,A030^FS"
                                         "^FO5,6^GFA,2,2,1,CC0F^FS"
                                         "^FO5,6^GFA,4,4,1,4000C080^FS"
                                         "^FO5,6^GFA,4,4,1,CCCC0F0F^FS"));
}

TEST_F(LabelDrawing, TestPictureBesideTheProgramIsFoundByItsName) {
    connect();
    CLabelPrinter::PictureField field;
    field.x = 100;
    field.y = 900;
    field.path = "CORVANE.bmp";
    GraphicField picture =
        graphicFieldOf(printed([&](CLabelPrinter& p) { return p.picture("t", field); }));
    EXPECT_EQ(picture.bytesPerRow, 20);
    EXPECT_EQ(picture.bytes, 20 * 120);
    EXPECT_EQ(picture.hex.size(), 2u * 20 * 120);
}

TEST_F(LabelDrawing, PictureThatDoesNotFitIsRefused) {
    std::string path = home.file("dots.bmp");
    writeBmp(path, {"1010", "0011"});
    connect();
    CLabelPrinter::PictureField field;
    field.x = 810;
    field.path = path;
    EXPECT_EQ(printer->picture("t", field), CVNLBL_E_OUTSIDE_LABEL);
    home.writeFile("fake.png", "not a picture");
    field.x = 0;
    field.path = home.file("fake.png");
    EXPECT_EQ(printer->picture("t", field), CVNLBL_E_FILE);
}

}  // namespace
