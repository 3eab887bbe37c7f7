// Code 128 code set choices and the sizes the fit checks rely on.
#include <gtest/gtest.h>

#include <string>

#include "Barcodes.h"
#include "Symbols.h"
#include "dravix.h"

namespace {

TEST(Barcodes, Code128TakesCodeSetCForDigitRunsThatPayOffAndEscapesBraces) {
    struct Case {
        const char* data;
        std::string expected;
    };
    const Case cases[] = {
        {"1234", std::string("{C\x0c\x22")},
        {"12345", std::string("{B1{C\x17\x2d")},
        {"AB12", "{BAB12"},
        {"AB1234", std::string("{BAB{C\x0c\x22")},
        {"A123B", "{BA123B"},
        {"A123456B", std::string("{BA{C\x0c\x22\x38{BB")},
        {"a{b", "{Ba{{b"},
        {"\t1", "{A\t1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(barcodes::code128Data(c.data), c.expected) << c.data;
    EXPECT_EQ(barcodes::code128Data("\xc3\xa9"), "");
}

TEST(Barcodes, WidthsDecideWhatFitsTheReceipt) {
    // The test receipt's code: 8 digit pairs, start, check and stop.
    EXPECT_EQ(barcodes::modules("1234567890123456", DRAVIX_BARCODE_CODE128), 123);
    EXPECT_LE(123 * 3, 576);
    EXPECT_EQ(barcodes::modules("4006381333931", DRAVIX_BARCODE_EAN13), 95);
    // The smallest QR Code versions at the edges of their capacity.
    EXPECT_EQ(symbols::qrVersion(std::string(17, 'a'), 0), 1);
    EXPECT_EQ(symbols::qrVersion(std::string(18, 'a'), 0), 2);
    EXPECT_EQ(symbols::qrVersion(std::string(41, '7'), 0), 1);
    EXPECT_EQ(symbols::qrVersion(std::string(2953, 'a'), 0), 40);
    EXPECT_EQ(symbols::qrVersion(std::string(2954, 'a'), 0), 0);
    EXPECT_EQ(symbols::qrVersion(std::string(1273, 'a'), 3), 40);
}

}  // namespace
