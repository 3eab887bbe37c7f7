// The exact ZPL every job function puts on a label, and the labels bad input keeps away
// from the printer.
#include <sys/stat.h>

#include <functional>

#include "LabelTestSupport.h"
#include "TempHome.h"
#include "cvnlblapi.h"

namespace {

using Call = std::function<int(CLabelPrinter&)>;

struct ElementCase {
    const char* name;
    Call call;
    std::string body;
};

CLabelPrinter::DeviceTextField text(int font, int hMag = 1, int vMag = 1, int rotation = 0,
                                    int reverse = 0, int justification = 0) {
    return {10, 20, font, hMag, vMag, rotation, reverse, justification};
}

barcodes::LinearOptions linear(int type, int narrow = 2, int ratio = 0, int height = 100,
                               int rotation = 0, int readable = 1) {
    return {type, narrow, ratio, height, rotation, readable};
}

Call barcode(barcodes::LinearOptions options, std::string data) {
    return [=](CLabelPrinter& p) { return p.linearBarcode(10, 20, options, data); };
}

class LabelZpl : public LabelLibraryTest, public ::testing::WithParamInterface<ElementCase> {};

TEST_P(LabelZpl, ElementReachesThePrinterAsThisZpl) {
    connect();
    ASSERT_EQ(printer->clearBuffer(), 1);
    ASSERT_EQ(GetParam().call(*printer), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->written(), labelOf(GetParam().body));
}

const ElementCase kElements[] = {
    {"DeviceFont", [](CLabelPrinter& p) { return p.deviceText("t", text(4), "CORVANE"); },
     "^FO10,20^AEN,28,15^FH^FDCORVANE^FS"},
    {"DeviceFontMagnifiedRotatedReversedRightJustified",
     [](CLabelPrinter& p) { return p.deviceText("t", text(6, 2, 3, 1, 1, 1), "A"); },
     "^FO10,20,1^AGR,180,80^FR^FH^FDA^FS"},
    {"ScalableFont", [](CLabelPrinter& p) { return p.deviceText("t", text(0, 2), "x"); },
     "^FO10,20^A0N,24,48^FH^FDx^FS"},
    {"CaretTildeHexIndicatorAndControlBytesAreEscaped",
     [](CLabelPrinter& p) { return p.deviceText("t", text(1), "a^XZ~JA_b\r\n"); },
     "^FO10,20^AAN,9,5^FH^FDa_5EXZ_7EJA_5Fb_0D_0A^FS"},
    {"Latin1TextStaysInThePrinterFontAsUtf8",
     [](CLabelPrinter& p) { return p.deviceText("t", text(2), "Grüße"); },
     "^FO10,20^ABN,11,7^FH^FDGr\xC3\xBC\xC3\x9F"
     "e^FS"},
    {"Code128", barcode(linear(CVNLBL_BARCODE_CODE128), "ABC-12^3"),
     "^FO10,20^BY2,3.0,100^BCN,100,Y,N,N,A^FH^FDABC-12_5E3^FS"},
    // ">" would start an invocation code: whatever subsets the printer picks around it,
    // it must stay the character.
    {"Code128GreaterThanInSubsetBData", barcode(linear(CVNLBL_BARCODE_CODE128), "ab>:cd"),
     "^FO10,20^BY2,3.0,100^BCN,100,Y,N,N,A^FH^FDab><:cd^FS"},
    {"Code128GreaterThanBetweenSubsetCDigitRuns",
     barcode(linear(CVNLBL_BARCODE_CODE128), "1234>8>>5678"),
     "^FO10,20^BY2,3.0,100^BCN,100,Y,N,N,A^FH^FD1234><8><><5678^FS"},
    {"Code128GreaterThanInUpperCaseSubsetAData", barcode(linear(CVNLBL_BARCODE_CODE128), ">AB>"),
     "^FO10,20^BY2,3.0,100^BCN,100,Y,N,N,A^FH^FD><AB><^FS"},
    {"Code39RotatedWithoutText", barcode(linear(CVNLBL_BARCODE_CODE39, 3, 25, 80, 1, 0), "CODE 39"),
     "^FO10,20^BY3,2.5,80^B3R,N,80,N,N^FH^FDCODE 39^FS"},
    {"Ean13CheckDigitIsVerifiedAndLeftToThePrinter",
     barcode(linear(CVNLBL_BARCODE_EAN13, 2, 0, 100, 0, 2), "5901234123457"),
     "^FO10,20^BY2,3.0,100^BEN,100,Y,Y^FH^FD590123412345^FS"},
    {"Ean8", barcode(linear(CVNLBL_BARCODE_EAN8), "9638507"),
     "^FO10,20^BY2,3.0,100^B8N,100,Y,N^FH^FD9638507^FS"},
    {"UpcA", barcode(linear(CVNLBL_BARCODE_UPCA), "03600029145"),
     "^FO10,20^BY2,3.0,100^BUN,100,Y,N,Y^FH^FD03600029145^FS"},
    {"UpcE", barcode(linear(CVNLBL_BARCODE_UPCE), "1230000045"),
     "^FO10,20^BY2,3.0,100^B9N,100,Y,N,Y^FH^FD1230000045^FS"},
    {"Code93", barcode(linear(CVNLBL_BARCODE_CODE93), "CODE93"),
     "^FO10,20^BY2,3.0,100^BAN,100,Y,N,N^FH^FDCODE93^FS"},
    {"Codabar", barcode(linear(CVNLBL_BARCODE_CODABAR), "123-45"),
     "^FO10,20^BY2,3.0,100^BKN,N,100,Y,N,A,A^FH^FD123-45^FS"},
    {"Interleaved2Of5", barcode(linear(CVNLBL_BARCODE_I2OF5), "1234"),
     "^FO10,20^BY2,3.0,100^B2N,100,Y,N,N^FH^FD1234^FS"},
    {"Pdf417",
     [](CLabelPrinter& p) {
         return p.pdf417(10, 20, {2, 10, 3, 5, 0, 0, 0}, 0, 0, "PDF");
     },
     "^FO10,20^BY2^B7N,10,3,5,,N^FH^FDPDF^FS"},
    {"QrCode", [](CLabelPrinter& p) { return p.qrCode(10, 20, 2, 1, 4, 0, "hello"); },
     "^FO10,20^BQN,2,4^FH^FDMA,hello^FS"},
    {"DataMatrixSquareSymbol",
     [](CLabelPrinter& p) { return p.dataMatrix(10, 20, 5, 0, 16, "DM_1"); },
     "^FO10,20^BXN,5,200,16,16,,`^FH^FDDM_5F1^FS"},
    {"MaxiCode", [](CLabelPrinter& p) { return p.maxiCode(10, 20, 4, "MAXI"); },
     "^FO10,20^BD4,1,1^FH^FDMAXI^FS"},
    {"BoxOutline", [](CLabelPrinter& p) { return p.block(50, 50, 500, 250, 0, 0); },
     "^FO50,50^GB450,200,1^FS"},
    {"FilledBarWithCornersGivenBackwards",
     [](CLabelPrinter& p) { return p.block(500, 305, 50, 300, 1, 0); }, "^FO50,300^GB450,5,5^FS"},
    {"WhiteBox", [](CLabelPrinter& p) { return p.block(50, 50, 500, 250, 2, 0); },
     "^FO50,50^GB450,200,200,W^FS"},
    {"ReverseBox", [](CLabelPrinter& p) { return p.block(50, 50, 500, 250, 3, 0); },
     "^FO50,50^FR^GB450,200,200^FS"},
    {"RoundedBox", [](CLabelPrinter& p) { return p.block(50, 350, 500, 500, 4, 5); },
     "^FO50,350^GB450,150,5,B,4^FS"},
    {"Circle", [](CLabelPrinter& p) { return p.circle(10, 20, 100, 0); }, "^FO10,20^GC100,1,B^FS"},
    {"RawTextInTheLabel", [](CLabelPrinter& p) { return p.printDirect("B2100,680,P", 0); },
     "B2100,680,P"},
    {"RfidWriteHexToEpc", [](CLabelPrinter& p) { return p.rfidWrite(0, 1, 2, "3005FB63AC1F"); },
     "^RFW,H,2,6,1^FH^FD3005FB63AC1F^FS"},
    {"RfidWriteAsciiToUserMemory", [](CLabelPrinter& p) { return p.rfidWrite(1, 3, 0, "AB_"); },
     "^RFW,A,0,3,3^FH^FDAB_5F^FS"},
    {"RfidPasswordsLockedThenTagLocked",
     [](CLabelPrinter& p) {
         int first = p.rfidPassword("12345678", "87654321", "L", "");
         return first == 1 ? p.rfidLock() : first;
     },
     "^RFW,H,P^FH^FD12345678,87654321^FS^RZ12345678,A,L^RZ12345678,K,L"
     "^RZ12345678,E,L^RZ12345678,U,L"},
    {"RfidPasswordOfAProtectedTag",
     [](CLabelPrinter& p) { return p.rfidPassword("11112222", "", "", "AAAABBBB"); },
     "^RFS,H,P^FH^FDAAAABBBB^FS^RFW,H,P^FH^FD11112222^FS"},
};

INSTANTIATE_TEST_SUITE_P(EveryFunction, LabelZpl, ::testing::ValuesIn(kElements),
                         [](const auto& info) { return std::string(info.param.name); });

struct SettingsCase {
    const char* name;
    Call call;
    std::string head;
};

class LabelSettingsZpl : public LabelLibraryTest,
                         public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(LabelSettingsZpl, SettingsLeadEveryLabelUntilDisconnect) {
    connect();
    ASSERT_EQ(GetParam().call(*printer), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    std::string label = "^XA^CI28" + GetParam().head + "^PQ1^XZ";
    EXPECT_EQ(device->written(), label + label);
    ASSERT_EQ(printer->disconnect(), 1);
    connect();
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->writes.back(), labelOf(""));
}

const SettingsCase kSettings[] = {
    {"PrinterConfig", [](CLabelPrinter& p) { return p.setConfig(4, 5, 2, 3, 2, 2); },
     "^PW812^LL1218^LH0,0^MTT^MMC^PR4~SD05^POI^PMY"},
    {"SpeedsAndSwitches",
     [](CLabelPrinter& p) {
         p.setConfig(4, 15, 0, 0, 0, 0);
         return p.setConfigII(2, 1, 6, 2, 0);
     },
     "^PW812^LL1218^LH0,0^PR4,6,2~SD15^LRY^JZN"},
    {"PaperInDotsWithBlackMarks",
     [](CLabelPrinter& p) { return p.setPaper(600, 400, 10, 20, 2, 30, 1000); },
     "^PW600^LL400^LH10,20^MNM,30^ML1000"},
    {"PaperInMillimetres", [](CLabelPrinter& p) { return p.setPaperMillimetres(50, 30, 8, 1, 2); },
     "^PW400^LL240^LH8,16"},
    {"RfidSetup", [](CLabelPrinter& p) { return p.rfidSetup(8, 12, 3, 2); },
     "^PW812^LL1218^LH0,0^RS8,F12,,3,P"},
};

INSTANTIATE_TEST_SUITE_P(EverySetting, LabelSettingsZpl, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabelLibraryTest, QuantityAndCopiesMultiplyAndTheNextLabelStartsEmpty) {
    connect();
    ASSERT_EQ(printer->block(0, 0, 10, 10, 1, 0), 1);
    ASSERT_EQ(printer->prints(2, 3), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    ASSERT_EQ(device->writes.size(), 2u);
    EXPECT_EQ(device->writes[0], labelOf("^FO0,0^GB10,10,10^FS", 6));
    EXPECT_EQ(device->writes[1], labelOf(""));
}

TEST_F(LabelLibraryTest, DirectDataAndFilesGoOutAtOnceAndLeaveTheLabelAlone) {
    connect();
    ASSERT_EQ(printer->block(0, 0, 10, 10, 1, 0), 1);
    ASSERT_EQ(printer->printDirect("~JA", 1), 1);
    EXPECT_EQ(device->written(), "~JA");
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->writes.back(), labelOf("^FO0,0^GB10,10,10^FS"));
}

// ---- Bad input ----

struct BadCase {
    const char* name;
    Call call;
    int result;
};

class LabelBadInput : public LabelLibraryTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(LabelBadInput, IsRefusedAndKeepsTheHalfLabelFromThePrinter) {
    connect();
    ASSERT_EQ(printer->block(0, 0, 10, 10, 1, 0), 1);
    EXPECT_EQ(GetParam().call(*printer), GetParam().result);
    EXPECT_EQ(printer->prints(1, 1), CVNLBL_E_LABEL_UNFINISHED);
    EXPECT_EQ(device->written(), "");
    // A new label prints again.
    ASSERT_EQ(printer->clearBuffer(), 1);
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->written(), labelOf(""));
}

const BadCase kBadInput[] = {
    {"UnknownFont", [](CLabelPrinter& p) { return p.deviceText("t", text(9), "x"); },
     CVNLBL_E_UNKNOWN_FONT},
    {"TextOffTheRightEdge",
     [](CLabelPrinter& p) {
         return p.deviceText("t", {812, 0, 1, 1, 1, 0, 0, 0}, "x");
     },
     CVNLBL_E_OUTSIDE_LABEL},
    {"NegativeOrigin", [](CLabelPrinter& p) { return p.qrCode(-1, 0, 2, 0, 4, 0, "x"); },
     CVNLBL_E_OUTSIDE_LABEL},
    {"MagnificationZero", [](CLabelPrinter& p) { return p.deviceText("t", text(1, 0), "x"); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"BoxPastTheBottom", [](CLabelPrinter& p) { return p.block(0, 0, 100, 1219, 0, 1); },
     CVNLBL_E_OUTSIDE_LABEL},
    {"CirclePastTheRightEdge", [](CLabelPrinter& p) { return p.circle(800, 10, 20, 1); },
     CVNLBL_E_OUTSIDE_LABEL},
    {"WrongEanCheckDigit", barcode(linear(CVNLBL_BARCODE_EAN13), "5901234123458"),
     CVNLBL_E_BARCODE_DATA},
    {"LowerCaseCode39", barcode(linear(CVNLBL_BARCODE_CODE39), "abc"), CVNLBL_E_BARCODE_DATA},
    {"UpcENumberThatDoesNotCompress", barcode(linear(CVNLBL_BARCODE_UPCE), "1234567890"),
     CVNLBL_E_BARCODE_DATA},
    {"OddInterleaved2Of5", barcode(linear(CVNLBL_BARCODE_I2OF5), "123"), CVNLBL_E_BARCODE_DATA},
    {"NonAsciiCode128", barcode(linear(CVNLBL_BARCODE_CODE128), "caf\xC3\xA9"),
     CVNLBL_E_BARCODE_DATA},
    {"EmptyBarcode", barcode(linear(CVNLBL_BARCODE_CODE128), ""), CVNLBL_E_BARCODE_DATA},
    {"UnknownBarcodeType", barcode(linear(9), "1"), CVNLBL_E_INVALID_ARGUMENT},
    {"QrCodeOverItsCapacity",
     [](CLabelPrinter& p) { return p.qrCode(0, 0, 2, 3, 4, 0, std::string(1274, 'a')); },
     CVNLBL_E_BARCODE_DATA},
    {"RotatedQrCode", [](CLabelPrinter& p) { return p.qrCode(0, 0, 2, 0, 4, 1, "x"); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"MaxiCodeMode2WithoutPostalData", [](CLabelPrinter& p) { return p.maxiCode(0, 0, 2, "123"); },
     CVNLBL_E_BARCODE_DATA},
    {"Pdf417ReservedNotZero",
     [](CLabelPrinter& p) {
         return p.pdf417(0, 0, {2, 10, 3, 0, 0, 0, 0}, 1, 0, "x");
     },
     CVNLBL_E_INVALID_ARGUMENT},
    {"UnreadablePicture",
     [](CLabelPrinter& p) {
         CLabelPrinter::PictureField f;
         f.path = "no-such-picture.png";
         return p.picture("t", f);
     },
     CVNLBL_E_FILE},
    {"UnreadableFile", [](CLabelPrinter& p) { return p.printBinaryFile("no-such-file.prn"); },
     CVNLBL_E_FILE},
    // Files whose size says nothing, or that give no data at all: refused without reading
    // them to their end or waiting for a writer.
    {"EndlessFile", [](CLabelPrinter& p) { return p.printBinaryFile("/dev/zero"); }, CVNLBL_E_FILE},
    {"EndlessPicture",
     [](CLabelPrinter& p) {
         CLabelPrinter::PictureField f;
         f.path = "/dev/zero";
         return p.picture("t", f);
     },
     CVNLBL_E_FILE},
    {"FolderAsFile", [](CLabelPrinter& p) { return p.printBinaryFile("/"); }, CVNLBL_E_FILE},
    // A FIFO without a writer reads as empty: nothing would be sent, and success said.
    {"BinaryFileFromAFifoWithoutWriter",
     [](CLabelPrinter& p) {
         TempHome home;
         EXPECT_EQ(mkfifo(home.file("pipe").c_str(), 0600), 0);
         return p.printBinaryFile(home.file("pipe"));
     },
     CVNLBL_E_FILE},
    {"PictureFromAFifoWithoutWriter",
     [](CLabelPrinter& p) {
         TempHome home;
         EXPECT_EQ(mkfifo(home.file("pipe").c_str(), 0600), 0);
         CLabelPrinter::PictureField f;
         f.path = home.file("pipe");
         return p.picture("t", f);
     },
     CVNLBL_E_FILE},
    {"TextHeightZero",
     [](CLabelPrinter& p) {
         CLabelPrinter::DrawnTextField f;
         f.height = 0;
         return p.drawnText("t", f, "x");
     },
     CVNLBL_E_INVALID_ARGUMENT},
    {"SpacingThatIsNoNumber",
     [](CLabelPrinter& p) {
         CLabelPrinter::DrawnTextField f;
         f.spacing = "2x";
         return p.drawnText("t", f, "x");
     },
     CVNLBL_E_INVALID_ARGUMENT},
    {"CharacterNoFontHas",
     [](CLabelPrinter& p) {
         CLabelPrinter::DrawnTextField f;
         return p.drawnText("t", f, "\xF3\xBF\xBF\xBD");  // U+FFFFD, private use
     },
     CVNLBL_E_TEXT_NOT_DRAWABLE},
    // Refused before its glyphs take gigabytes.
    {"DrawnTextWiderThanAnyLabel",
     [](CLabelPrinter& p) {
         CLabelPrinter::DrawnTextField f;
         f.height = 2000;
         return p.drawnText("t", f, std::string(100, 'W'));
     },
     CVNLBL_E_TEXT_NOT_DRAWABLE},
    {"DrawnTextWithMoreCharactersThanALabelHasDots",
     [](CLabelPrinter& p) {
         CLabelPrinter::DrawnTextField f;
         f.height = 1;  // narrow enough that only the count tells
         return p.drawnText("t", f, std::string(40000, 'i'));
     },
     CVNLBL_E_TEXT_NOT_DRAWABLE},
    {"OddHexTagData", [](CLabelPrinter& p) { return p.rfidWrite(0, 1, 0, "ABC"); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"TagIdentifierIsReadOnly", [](CLabelPrinter& p) { return p.rfidWrite(0, 2, 0, "AB"); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"LockWithoutPassword", [](CLabelPrinter& p) { return p.rfidLock(); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"ShortPassword", [](CLabelPrinter& p) { return p.rfidPassword("1234", "", "", ""); },
     CVNLBL_E_INVALID_ARGUMENT},
    {"QuantityZero", [](CLabelPrinter& p) { return p.prints(0, 1); }, CVNLBL_E_INVALID_ARGUMENT},
    {"MissingText", [](CLabelPrinter& p) { return p.missingText("t"); }, CVNLBL_E_INVALID_ARGUMENT},
};

INSTANTIATE_TEST_SUITE_P(Refused, LabelBadInput, ::testing::ValuesIn(kBadInput),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabelLibraryTest, ShrinkingThePaperUnderAnElementKeepsTheLabelBack) {
    connect();
    ASSERT_EQ(printer->block(500, 500, 600, 600, 0, 1), 1);
    ASSERT_EQ(printer->setPaper(400, 400, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(printer->prints(1, 1), CVNLBL_E_OUTSIDE_LABEL);
    EXPECT_EQ(device->written(), "");
}

TEST_F(LabelLibraryTest, AFailedWriteReportsItAndKeepsTheLabelForAnotherTry) {
    connect();
    ASSERT_EQ(printer->block(0, 0, 10, 10, 1, 0), 1);
    device->refuseWrites = true;
    EXPECT_EQ(printer->prints(1, 1), CVNLBL_E_WRITE);
    device->refuseWrites = false;
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->written(), labelOf("^FO0,0^GB10,10,10^FS"));
}

TEST_F(LabelLibraryTest, EveryCallWithoutAPrinterFailsAsNotConnected) {
    const Call calls[] = {
        [](CLabelPrinter& p) { return p.clearBuffer(); },
        [](CLabelPrinter& p) { return p.prints(1, 1); },
        [](CLabelPrinter& p) { return p.deviceText("t", text(1), "x"); },
        [](CLabelPrinter& p) { return p.block(0, 0, 1, 1, 0, 0); },
        [](CLabelPrinter& p) { return p.printDirect("x", 1); },
        [](CLabelPrinter& p) { return p.setPaper(100, 100, 0, 0, 0, 0, 0); },
        [](CLabelPrinter& p) { return p.rfidCalibration(); },
        [](CLabelPrinter& p) { return p.checkStatus(); },
        [](CLabelPrinter& p) { return p.readStatus(); },
        [](CLabelPrinter& p) { return p.disconnect(); },
    };
    for (const Call& call : calls)
        EXPECT_EQ(call(*printer), CVNLBL_E_NOT_CONNECTED);
    char name[8] = "x";
    EXPECT_EQ(printer->printerName(name, sizeof name), 0);
    EXPECT_EQ(name[0], '\0');
    EXPECT_TRUE(opened->empty());
}

TEST_F(LabelLibraryTest, AnUnfinishedLabelIsDroppedByClearBufferAndByDisconnect) {
    connect();
    ASSERT_EQ(printer->block(0, 0, 10, 10, 1, 0), 1);
    EXPECT_EQ(printer->block(0, 0, 9000, 10, 1, 0), CVNLBL_E_OUTSIDE_LABEL);
    ASSERT_EQ(printer->disconnect(), 1);
    connect();
    ASSERT_EQ(printer->prints(1, 1), 1);
    EXPECT_EQ(device->written(), labelOf(""));
}

}  // namespace
