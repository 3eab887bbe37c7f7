// Bar codes and 2D symbols drawn by zint into dots at a printer's module size. The
// modules come from zint's encoded rows, so a symbol is exactly as many dots wide as its
// modules times the module size; MaxiCode, whose modules are hexagons, comes from zint's
// own raster, scaled to the symbol's printed size.
#pragma once

#include <string>

#include "MonoImage.h"

namespace vprinter {

struct SymbolLayout {
    int zintType = 0;     // zint's BARCODE_ number
    std::string data;     // as sent
    std::string primary;  // MaxiCode's structured part, a composite's linear part
    int module = 2;       // dots a module
    int barHeight = 0;    // dots for the whole bar height of linear symbols; 0: zint's
    int rowHeight = 0;    // dots a row of PDF417; 0: zint's row heights
    int widthDots = 0;    // MaxiCode: the printed width
    int option1 = -1;     // zint's options, as each symbology reads them
    int option2 = 0;
    int option3 = 0;
    int inputMode = 0;  // zint's DATA_MODE, UNICODE_MODE or GS1_MODE (with flags)
};

struct DrawnSymbol {
    MonoImage dots;
    std::string text;   // the human-readable line zint made (check digits included)
    std::string error;  // why nothing was drawn
};

DrawnSymbol drawSymbol(const SymbolLayout& layout);

// zint's number for a symbology as the journal names it ("CODE128", "EAN13", "QR", ...);
// 0 for one zint is not asked for.
int zintSymbology(const std::string& name);

}  // namespace vprinter
