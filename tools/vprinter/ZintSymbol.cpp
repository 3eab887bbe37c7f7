#include "ZintSymbol.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace vprinter {
namespace {

struct ZintDelete {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool moduleSet(const zint_symbol& symbol, int row, int column) {
    return (symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

// Dots of each row: the bar height shared out by zint's row heights, PDF417's fixed
// row height, or zint's heights at the module size.
std::vector<int> rowDots(const zint_symbol& symbol, const SymbolLayout& layout) {
    std::vector<int> rows(static_cast<size_t>(symbol.rows));
    float total = 0;
    for (int r = 0; r < symbol.rows; ++r)
        total += std::max(symbol.row_height[r], 1.0f);
    for (int r = 0; r < symbol.rows; ++r) {
        float height = std::max(symbol.row_height[r], 1.0f);
        if (layout.rowHeight > 0)
            rows[r] = layout.rowHeight;
        else if (layout.barHeight > 0)
            rows[r] = std::max(1, static_cast<int>(std::lround(height * layout.barHeight / total)));
        else
            rows[r] = std::max(1, static_cast<int>(std::lround(height * layout.module)));
    }
    return rows;
}

MonoImage fromModules(const zint_symbol& symbol, const SymbolLayout& layout) {
    std::vector<int> rows = rowDots(symbol, layout);
    int height = 0;
    for (int dots : rows)
        height += dots;
    MonoImage out(symbol.width * layout.module, height);
    int top = 0;
    for (int r = 0; r < symbol.rows; ++r) {
        for (int c = 0; c < symbol.width; ++c)
            if (moduleSet(symbol, r, c))
                for (int y = top; y < top + rows[r]; ++y)
                    for (int x = c * layout.module; x < (c + 1) * layout.module; ++x)
                        out.set(x, y);
        top += rows[r];
    }
    return out;
}

// zint's raster (three bytes a pixel), sampled to `width` dots wide.
MonoImage fromRaster(const zint_symbol& symbol, int width) {
    if (!symbol.bitmap || symbol.bitmap_width <= 0)
        return {};
    int height = std::max(1, symbol.bitmap_height * width / symbol.bitmap_width);
    MonoImage out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sx = x * symbol.bitmap_width / width;
            int sy = y * symbol.bitmap_height / height;
            if (symbol.bitmap[(static_cast<size_t>(sy) * symbol.bitmap_width + sx) * 3] < 128)
                out.set(x, y);
        }
    return out;
}

}  // namespace

int zintSymbology(const std::string& name) {
    static const std::map<std::string, int> kTypes{
        {"CODE128", BARCODE_CODE128},   {"CODE39", BARCODE_CODE39},
        {"EAN13", BARCODE_EANX},        {"EAN8", BARCODE_EANX},
        {"UPC-A", BARCODE_UPCA},        {"UPC-E", BARCODE_UPCE},
        {"ITF", BARCODE_C25INTER},      {"CODABAR", BARCODE_CODABAR},
        {"CODE93", BARCODE_CODE93},     {"QR", BARCODE_QRCODE},
        {"PDF417", BARCODE_PDF417},     {"DATAMATRIX", BARCODE_DATAMATRIX},
        {"MAXICODE", BARCODE_MAXICODE}, {"GS1_DATABAR", BARCODE_DBAR_OMN},
    };
    auto found = kTypes.find(name);
    return found == kTypes.end() ? 0 : found->second;
}

DrawnSymbol drawSymbol(const SymbolLayout& layout) {
    DrawnSymbol out;
    std::unique_ptr<zint_symbol, ZintDelete> symbol(ZBarcode_Create());
    if (!symbol || layout.zintType == 0 || layout.module < 1) {
        out.error = "no such symbology";
        return out;
    }
    symbol->symbology = layout.zintType;
    symbol->option_1 = layout.option1;
    symbol->option_2 = layout.option2;
    symbol->option_3 = layout.option3;
    symbol->input_mode = layout.inputMode;
    symbol->show_hrt = 1;
    std::string primary = layout.primary.substr(0, sizeof symbol->primary - 1);
    std::copy(primary.begin(), primary.end(), symbol->primary);
    symbol->primary[primary.size()] = '\0';
    int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(layout.data.data()),
                        static_cast<int>(layout.data.size()));
    if (result >= ZINT_ERROR) {
        out.error = symbol->errtxt;
        return out;
    }
    out.text = reinterpret_cast<const char*>(symbol->text);
    if (layout.zintType == BARCODE_MAXICODE) {
        symbol->show_hrt = 0;
        if (ZBarcode_Buffer(symbol.get(), 0) >= ZINT_ERROR) {
            out.error = symbol->errtxt;
            return out;
        }
        out.dots =
            fromRaster(*symbol, layout.widthDots > 0 ? layout.widthDots : 30 * layout.module);
        return out;
    }
    out.dots = fromModules(*symbol, layout);
    return out;
}

}  // namespace vprinter
