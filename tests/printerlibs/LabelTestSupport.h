// A label library wired to an in-memory printer, for the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LabelPrinter.h"
#include "MemoryPort.h"

// What every label starts with at the default size.
inline const std::string kLabelHead = "^XA^CI28^PW812^LL1218^LH0,0";

inline std::string labelOf(const std::string& body, long long count = 1) {
    return kLabelHead + body + "^PQ" + std::to_string(count) + "^XZ";
}

class LabelLibraryTest : public ::testing::Test {
protected:
    explicit LabelLibraryTest(CLabelPrinter::Timing timing = quickTiming()) {
        auto opener = std::make_unique<MemoryOpener>(device);
        opened = opener->opened;
        refuse = opener->refuse;
        usbPrinters = opener->usbPrinters;
        printer = std::make_unique<CLabelPrinter>(std::move(opener), timing);
    }

    static CLabelPrinter::Timing quickTiming() {
        CLabelPrinter::Timing timing;
        timing.status.answerMs = 100;
        timing.status.errorsGraceMs = 20;
        return timing;
    }

    void connect() { ASSERT_EQ(printer->connect(3, "127.0.0.1", 9100, 8, 0, 0), 1); }

    std::shared_ptr<MemoryPrinter> device = std::make_shared<MemoryPrinter>();
    std::shared_ptr<std::vector<MemoryOpener::Opened>> opened;
    std::shared_ptr<bool> refuse;
    std::shared_ptr<std::map<std::string, std::string>> usbPrinters;
    std::unique_ptr<CLabelPrinter> printer;
};
