// Opening printers, asking them for their state and name, and calls from two threads.
#include <atomic>
#include <thread>

#include "LabelTestSupport.h"
#include "cvnlblapi.h"

namespace {

const std::string kAllWell =
    "\x02"
    "030,0,0,1218,000,0,0,0,000,0,0,0\x03\r\n\x02"
    "000,0,0,0,0,2,4,0,00000000,1,000\x03\r\n"
    "\x02"
    "1234,0\x03\r\n";
const std::string kPaperOut =
    "\x02"
    "030,1,0,1218,000,0,0,0,000,0,0,0\x03\r\n\x02"
    "000,0,0,0,0,2,4,0,00000000,1,000\x03\r\n"
    "\x02"
    "1234,0\x03\r\n";
const std::string kNoErrors =
    "\x02\r\nPRINTER STATUS\r\n ERRORS: 0 00000000 00000000\r\n WARNINGS: 0 00000000 00000000\r\n"
    "\x03\r\n";

struct PortCase {
    int interfaceNumber;
    const char* name;
    int baudRate;
    int portType;
    const char* portName;
};

TEST_F(LabelLibraryTest, InterfaceNumbersBecomeCvnportPortsAndNames) {
    const PortCase cases[] = {
        {CVNLBL_INTERFACE_SERIAL, "COM3", 19200, 32, "COM3:19200:8:0:0"},
        {CVNLBL_INTERFACE_PARALLEL, "LPT1", 9600, 64, "LPT1"},
        {CVNLBL_INTERFACE_USB, "USB01", 9600, 16, "USB01"},
        {CVNLBL_INTERFACE_NETWORK, "192.0.2.7", 6101, 2, "192.0.2.7:6101"},
        {CVNLBL_INTERFACE_NETWORK, "192.0.2.7", 0, 2, "192.0.2.7:9100"},
        {CVNLBL_INTERFACE_WIRELESS, "192.0.2.8", 9100, 1, "192.0.2.8:9100"},
        {CVNLBL_INTERFACE_BLUETOOTH, "COM7", 115200, 4, "COM7:115200"},
    };
    for (const PortCase& c : cases)
        EXPECT_EQ(printer->connect(c.interfaceNumber, c.name, c.baudRate, 8, 0, 0), 1) << c.name;
    ASSERT_EQ(opened->size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ((*opened)[i].portType, cases[i].portType);
        EXPECT_EQ((*opened)[i].portName, cases[i].portName);
    }
}

TEST_F(LabelLibraryTest, ImpossiblePortSettingsOpenNothing) {
    EXPECT_EQ(printer->connect(6, "COM1", 9600, 8, 0, 0), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(printer->connect(0, "COM1:9600", 9600, 8, 0, 0), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(printer->connect(0, "COM1", 9600, 9, 0, 0), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(printer->connect(3, "192.0.2.7", 70000, 0, 0, 0), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_EQ(printer->connect(3, "", 9100, 0, 0, 0), CVNLBL_E_INVALID_ARGUMENT);
    EXPECT_TRUE(opened->empty());
    *refuse = true;
    EXPECT_EQ(printer->connect(3, "192.0.2.7", 9100, 0, 0, 0), CVNLBL_E_PORT_OPEN);
    EXPECT_EQ(printer->clearBuffer(), CVNLBL_E_NOT_CONNECTED);
}

TEST_F(LabelLibraryTest, UsbPrinterIsFoundByNameThenByPortThenNotAtAll) {
    (*usbPrinters)["MODEL-9"] = "/dev/usb/lp3";
    EXPECT_EQ(printer->connectWithName(2, "MODEL-9", "USB01", 9600, 8, 0, 0), 1);
    EXPECT_EQ(printer->connectWithName(2, "OTHER", "USB01", 9600, 8, 0, 0), 1);
    EXPECT_EQ(printer->connectWithName(2, "OTHER", "", 9600, 8, 0, 0), CVNLBL_E_UNKNOWN_PRINTER);
    EXPECT_EQ(printer->clearBuffer(), CVNLBL_E_NOT_CONNECTED);
    ASSERT_EQ(opened->size(), 2u);
    EXPECT_EQ((*opened)[0].portName, "/dev/usb/lp3");
    EXPECT_EQ((*opened)[1].portName, "USB01");
}

TEST_F(LabelLibraryTest, CheckStatusAsksBothQuestionsAndReadsTheCode) {
    connect();
    device->replies["~HS"] = kPaperOut;
    device->replies["~HQES"] = kNoErrors;
    EXPECT_EQ(printer->checkStatus(), CVNLBL_STATUS_PAPER_EMPTY);
    EXPECT_EQ(device->written(), "~HS~HQES");
    device->replies["~HS"] = kAllWell;
    EXPECT_EQ(printer->checkStatus(), CVNLBL_STATUS_OK);
}

TEST_F(LabelLibraryTest, SilentPrinterIsAnErrorNeverAllWell) {
    connect();
    EXPECT_EQ(printer->checkStatus(), CVNLBL_STATUS_NO_ANSWER);
    device->refuseWrites = true;
    EXPECT_EQ(printer->checkStatus(), CVNLBL_STATUS_NO_ANSWER);
}

class HeldAnswers : public LabelLibraryTest {
protected:
    // Long enough that no machine turns a held answer into "no answer".
    static CLabelPrinter::Timing patientTiming() {
        CLabelPrinter::Timing timing;
        timing.status.answerMs = 600000;
        return timing;
    }
    HeldAnswers() : LabelLibraryTest(patientTiming()) {}
};

TEST_F(HeldAnswers, ReadStatusIsPendingWhileTheAnswerIsHeldThenGivesTheCodeOnce) {
    connect();
    device->replies["~HS"] = kPaperOut;
    device->replies["~HQES"] = kNoErrors;
    device->hold(true);
    EXPECT_EQ(printer->readStatus(), CVNLBL_STATUS_PENDING);
    EXPECT_EQ(printer->readStatus(), CVNLBL_STATUS_PENDING);
    EXPECT_EQ(device->writes.size(), 1u) << "one question while it is outstanding";
    device->hold(false);
    int code = CVNLBL_STATUS_PENDING;
    for (int i = 0; i < 1000 && code == CVNLBL_STATUS_PENDING; ++i)
        code = printer->readStatus();
    EXPECT_EQ(code, CVNLBL_STATUS_PAPER_EMPTY);
    // The next call asks again.
    device->hold(true);
    EXPECT_EQ(printer->readStatus(), CVNLBL_STATUS_PENDING);
    EXPECT_EQ(device->writes.size(), 2u);
}

TEST_F(LabelLibraryTest, PrinterNameIsTheModelCutToTheBuffer) {
    connect();
    device->replies["~HI"] = "\x02LABELMAKER-200,V60.1,8,8192KB\x03\r\n";
    char name[256] = {};
    ASSERT_EQ(printer->printerName(name, sizeof name), 1);
    EXPECT_STREQ(name, "LABELMAKER-200");
    char small[6];
    ASSERT_EQ(printer->printerName(small, sizeof small), 1);
    EXPECT_STREQ(small, "LABEL");
    device->replies.clear();
    EXPECT_EQ(printer->printerName(name, sizeof name), 0);
    EXPECT_STREQ(name, "");
}

// The worker prints labels while the window thread asks for the state and the name:
// every write is a whole label or a whole question.
TEST_F(LabelLibraryTest, TwoThreadsNeverInterleaveTheirBytes) {
    connect();
    device->replies["~HS"] = kAllWell;
    device->replies["~HQES"] = kNoErrors;
    device->replies["~HI"] = "\x02M,1\x03";
    std::atomic<int> failures{0};
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i)
            if (printer->clearBuffer() != 1 || printer->block(0, 0, 10, 10, 1, 0) != 1 ||
                printer->prints(1, 1) != 1)
                ++failures;
    });
    char name[16];
    for (int i = 0; i < 50; ++i) {
        if (printer->checkStatus() != 0 || printer->printerName(name, sizeof name) != 1)
            ++failures;
        printer->readStatus();
    }
    worker.join();
    EXPECT_EQ(failures.load(), 0);
    std::lock_guard<std::mutex> lock(device->mutex);
    for (const std::string& write : device->writes)
        EXPECT_TRUE(write == labelOf("^FO0,0^GB10,10,10^FS") || write == "~HS~HQES" ||
                    write == "~HI")
            << write;
}

}  // namespace
