#define ZX_USE_UTF8
#include "SymbolReader.h"

// zbar's C++ classes before zxing's error macros, which share their names.
#include <zbar.h>
// clang-format off
#include <ZXing/ReadBarcode.h>
// clang-format on
#include <dmtx.h>

namespace vprinter::test {
namespace {

using namespace zbar;

constexpr int kQuietZone = 40;

// Grey pixels, 0 black and 255 white, with white around.
std::vector<uint8_t> grey(const MonoImage& image, int& width, int& height) {
    width = image.width() + 2 * kQuietZone;
    height = image.height() + 2 * kQuietZone;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 255);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.black(x, y))
                pixels[static_cast<size_t>(y + kQuietZone) * width + x + kQuietZone] = 0;
    return pixels;
}

std::vector<std::string> zbarRead(std::vector<uint8_t>& pixels, int width, int height) {
    std::vector<std::string> out;
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, static_cast<unsigned>(width), static_cast<unsigned>(height));
    zbar_image_set_data(image, pixels.data(), pixels.size(), nullptr);
    if (zbar_scan_image(scanner, image) > 0)
        for (const zbar_symbol_t* s = zbar_image_first_symbol(image); s; s = zbar_symbol_next(s))
            out.emplace_back(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s));
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return out;
}

std::vector<std::string> dmtxRead(std::vector<uint8_t>& pixels, int width, int height) {
    std::vector<std::string> out;
    DmtxImage* image = dmtxImageCreate(pixels.data(), width, height, DmtxPack8bppK);
    DmtxDecode* decode = image ? dmtxDecodeCreate(image, 1) : nullptr;
    if (decode) {
        DmtxTime timeout = dmtxTimeAdd(dmtxTimeNow(), 5000);
        if (DmtxRegion* region = dmtxRegionFindNext(decode, &timeout)) {
            if (DmtxMessage* message = dmtxDecodeMatrixRegion(decode, region, DmtxUndefined)) {
                out.emplace_back(reinterpret_cast<const char*>(message->output),
                                 message->outputIdx);
                dmtxMessageDestroy(&message);
            }
            dmtxRegionDestroy(&region);
        }
        dmtxDecodeDestroy(&decode);
    }
    if (image)
        dmtxImageDestroy(&image);
    return out;
}

std::vector<std::string> zxingRead(const std::vector<uint8_t>& pixels, int width, int height) {
    std::vector<std::string> out;
    ZXing::ImageView view(pixels.data(), width, height, ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints))
        if (result.isValid())
            out.push_back(result.text());
    return out;
}

}  // namespace

std::vector<std::string> readSymbols(const MonoImage& image, Reader reader) {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels = grey(image, width, height);
    switch (reader) {
        case Reader::Zbar:
            return zbarRead(pixels, width, height);
        case Reader::Dmtx:
            return dmtxRead(pixels, width, height);
        default:
            return zxingRead(pixels, width, height);
    }
}

}  // namespace vprinter::test
