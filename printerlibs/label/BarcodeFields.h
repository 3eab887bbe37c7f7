// Barcode fields: the checks that keep impossible data off the label and the ZPL that
// draws each symbology. Each result holds the commands that follow the field origin.
#pragma once

#include <string>

namespace barcodes {

struct Field {
    int result = 0;      // CVNLBL_SUCCESS or a CVNLBL_E_* code
    std::string zpl;     // on success
    std::string reason;  // on failure, for the trace
};

struct LinearOptions {
    int type = 0;
    int narrowWidth = 2;
    int ratio = 0;  // tenths; 0 gives 30
    int height = 100;
    int rotation = 0;
    int readable = 1;  // 0 none, 1 below, 2 above
};
Field linear(const LinearOptions& options, const std::string& data);

struct Pdf417Options {
    int moduleWidth = 2;
    int rowHeight = 10;
    int securityLevel = 0;
    int columns = 0;
    int rows = 0;
    int truncate = 0;
    int rotation = 0;
};
Field pdf417(const Pdf417Options& options, const std::string& data);

Field qrCode(int model, int errorCorrection, int magnification, int rotation,
             const std::string& data);
Field dataMatrix(int moduleSize, int rotation, int symbolSize, const std::string& data);
Field maxiCode(int mode, const std::string& data);

}  // namespace barcodes
