// Pictures through printBitmapFile: decoding, scaling to the paper, the one-bit
// conversion and the GS v 0 bands, checked byte for byte on small files written here.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "MemoryLink.h"
#include "Raster.h"
#include "TempHome.h"
#include "dravix.h"

namespace {

// A grey picture written as a 24-bit BMP (or a PNG with alpha when `alpha` is given).
std::string writePicture(const TempHome& home, const std::string& name, int width, int height,
                         uint8_t grey, int alpha = -1) {
    std::string path = home.file(name);
    if (alpha < 0) {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3, grey);
        stbi_write_bmp(path.c_str(), width, height, 3, pixels.data());
    } else {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < width * height; ++i) {
            pixels.push_back(grey);
            pixels.push_back(static_cast<uint8_t>(alpha));
        }
        stbi_write_png(path.c_str(), width, height, 2, pixels.data(), width * 2);
    }
    return path;
}

int printFile(MemoryPrinter& printer, const std::string& name, int width, int mode = 0) {
    std::u16string path(name.begin(), name.end());
    return printer.service->printBitmapFile(reinterpret_cast<const cvn_wchar*>(path.c_str()), width,
                                            DRAVIX_ALIGN_CENTER, 0, mode, 1);
}

// Header of one band: GS v 0 m xL xH yL yH.
std::string band(int mode, int rowBytes, int rows) {
    return bytes({0x1D, 'v', '0', mode, rowBytes & 0xFF, rowBytes >> 8, rows & 0xFF, rows >> 8});
}

TEST(Raster, OneBlackDotIsOneRasterBandOfOneByte) {
    TempHome home;
    writePicture(home, "dot.bmp", 1, 1, 0);
    MemoryPrinter printer;
    // A relative name is found in the program's directory.
    ASSERT_EQ(printFile(printer, "dot.bmp", DRAVIX_BITMAP_ORIGINAL_SIZE), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.sent(), bytes({0x1B, 'a', 1}) + band(0, 1, 1) + bytes({0x80}));
}

TEST(Raster, AnOddWidthPadsItsLastByteWithPaper) {
    TempHome home;
    writePicture(home, "odd.bmp", 9, 2, 0);
    MemoryPrinter printer;
    ASSERT_EQ(printFile(printer, "odd.bmp", DRAVIX_BITMAP_ORIGINAL_SIZE), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.sent(),
              bytes({0x1B, 'a', 1}) + band(0, 2, 2) + bytes({0xFF, 0x80, 0xFF, 0x80}));
}

TEST(Raster, APictureWiderThanThePaperIsScaledDownNeverCutOrWrapped) {
    TempHome home;
    writePicture(home, "wide.bmp", 1000, 300, 0);
    struct Width {
        int asked;
        int mode;
        int expectedDots;
    };
    for (Width w :
         {Width{DRAVIX_BITMAP_ORIGINAL_SIZE, 0, 576}, Width{DRAVIX_BITMAP_PAPER_WIDTH, 0, 576},
          Width{2000, 0, 576}, Width{200, 0, 200}, Width{DRAVIX_BITMAP_PAPER_WIDTH, 1, 288}}) {
        MemoryPrinter printer;
        ASSERT_EQ(printFile(printer, "wide.bmp", w.asked, w.mode), DRAVIX_SUCCESS);
        std::string sent = printer.sent();
        int rows = 300 * w.expectedDots / 1000;
        int rowBytes = (w.expectedDots + 7) / 8;
        // Bands of at most 128 rows, every one whole.
        EXPECT_EQ(sent.substr(3, 8), band(w.mode, rowBytes, std::min(rows, raster::kBandRows)))
            << w.asked;
        size_t expectedSize =
            3 + static_cast<size_t>((rows + raster::kBandRows - 1) / raster::kBandRows) * 8 +
            static_cast<size_t>(rowBytes) * rows;
        EXPECT_EQ(sent.size(), expectedSize) << w.asked;
    }
}

TEST(Raster, MidGreyIsDitheredToAboutHalfTheDotsAndTransparencyIsPaper) {
    raster::Grey grey{64, 64, std::vector<uint8_t>(64 * 64, 128)};
    raster::Bitmap dithered = raster::toBitmap(grey, 0, true);
    int black = 0;
    for (uint8_t byte : dithered.rows)
        black += __builtin_popcount(byte);
    EXPECT_NEAR(black, 64 * 64 / 2, 64);
    // A plain threshold turns the same grey all white.
    raster::Bitmap threshold = raster::toBitmap(grey, 0, false);
    EXPECT_EQ(std::count(threshold.rows.begin(), threshold.rows.end(), 0), 64 * 8);

    TempHome home;
    writePicture(home, "clear.png", 8, 1, 0, 0);
    MemoryPrinter printer;
    ASSERT_EQ(printFile(printer, "clear.png", DRAVIX_BITMAP_ORIGINAL_SIZE), DRAVIX_SUCCESS);
    EXPECT_EQ(printer.sent().back(), '\0');
}

// A 24-bit BMP of one column, a black dot above a white one, stored bottom row first as
// usual or, with a negative height, top row first as many tools write it.
std::string blackOverWhiteBmp(bool topDown) {
    auto le32 = [](int value) {
        return bytes(
            {value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF, (value >> 24) & 0xFF});
    };
    const std::string black = bytes({0, 0, 0, 0});  // a row is padded to four bytes
    const std::string white = bytes({0xFF, 0xFF, 0xFF, 0});
    return "BM" + le32(54 + 8) + le32(0) + le32(54) + le32(40) + le32(1) + le32(topDown ? -2 : 2) +
           bytes({1, 0, 24, 0}) + le32(0) + le32(8) + le32(2835) + le32(2835) + le32(0) + le32(0) +
           (topDown ? black + white : white + black);
}

TEST(Raster, ATopDownBmpPrintsTheRightWayUpLikeABottomUpOne) {
    TempHome home;
    for (bool topDown : {false, true}) {
        home.writeFile("dots.bmp", blackOverWhiteBmp(topDown));
        MemoryPrinter printer;
        ASSERT_EQ(printFile(printer, "dots.bmp", DRAVIX_BITMAP_ORIGINAL_SIZE), DRAVIX_SUCCESS)
            << topDown;
        EXPECT_EQ(printer.sent(), bytes({0x1B, 'a', 1}) + band(0, 1, 2) + bytes({0x80, 0x00}))
            << topDown;
    }
}

TEST(Raster, AFileThatIsNotAPictureIsAnErrorAndNothingIsSent) {
    TempHome home;
    home.writeFile("text.bmp", "BM this is not a picture");
    ASSERT_EQ(mkfifo(home.file("pipe.bmp").c_str(), 0600), 0);
    // An endless file is not read to its end, nor does a FIFO wait for its writer.
    const std::vector<std::string> names = {"text.bmp", "/dev/zero", home.path(),
                                            home.file("pipe.bmp")};
    for (const std::string& name : names) {
        MemoryPrinter printer;
        EXPECT_EQ(printFile(printer, name, DRAVIX_BITMAP_ORIGINAL_SIZE), DRAVIX_E_FILE) << name;
        EXPECT_EQ(printer.sent(), "") << name;
    }
}

}  // namespace
