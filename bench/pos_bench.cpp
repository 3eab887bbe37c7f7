// Figures of the POS library against the virtual printer on 127.0.0.1, through the real
// cvnport with its default read thread interval (100 ms):
//   - a status round trip (checkPrinterStatus answered by the printer),
//   - a cover opening or closing reaching the status callback,
//   - the test receipt from openService to its last element at the printer, and the
//     bytes its logo takes at full paper width.
//
//   pos_bench [round trips]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DravixLoader.h"
#include "Figures.h"
#include "VirtualPrinter.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::mutex heardMutex;
std::condition_variable heardChanged;
int heardCount = 0;
Clock::time_point heardAt;

void onStatus(int code) {
    if ((code & ~DRAVIX_STATUS_CLEARED) != DRAVIX_STATUS_COVER_OPEN)
        return;
    {
        std::lock_guard<std::mutex> guard(heardMutex);
        ++heardCount;
        heardAt = Clock::now();
    }
    heardChanged.notify_all();
}

std::u16string wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

size_t rawTotal(const vprinter::VirtualPrinter& printer) {
    size_t total = 0;
    for (const std::string& bytes : printer.rawBytes())
        total += bytes.size();
    return total;
}

void statusRoundTrips(DravixLoader& dravix, vprinter::VirtualPrinter& printer, int count) {
    int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
    std::vector<double> samples;
    for (int i = 0; i < count && dravix.getResult(handle) == DRAVIX_SUCCESS; ++i) {
        Clock::time_point start = Clock::now();
        if (dravix.checkPrinterStatus(handle) >= 0)
            samples.push_back(figures::ms(Clock::now() - start));
    }
    figures::printLatency("status round trip (checkPrinterStatus)", samples);
    dravix.closeService(handle, 0);
}

void coverChanges(DravixLoader& dravix, vprinter::VirtualPrinter& printer, int count) {
    int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
    dravix.setStatusUpdateEvent(handle, onStatus);
    dravix.asbEnable(handle, 1);
    std::this_thread::sleep_for(200ms);
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        int before;
        {
            std::lock_guard<std::mutex> guard(heardMutex);
            before = heardCount;
        }
        Clock::time_point start = Clock::now();
        printer.changeCondition([](vprinter::PrinterCondition& c) { c.coverOpen = !c.coverOpen; });
        std::unique_lock<std::mutex> lock(heardMutex);
        if (heardChanged.wait_for(lock, 2s, [&] { return heardCount > before; }))
            samples.push_back(figures::ms(heardAt - start));
    }
    figures::printLatency("cover change to status callback", samples);
    dravix.closeService(handle, 0);
}

void testReceipts(DravixLoader& dravix, vprinter::VirtualPrinter& printer, int count) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        printer.journal().clear();
        Clock::time_point start = Clock::now();
        int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
        dravix.printTestReceipt(handle);
        bool arrived = printer.journal().waitFor(
            [](const auto& elements) {
                return std::any_of(elements.begin(), elements.end(),
                                   [](const auto& e) { return e["type"] == "drawer"; });
            },
            5s);
        if (arrived)
            samples.push_back(figures::ms(Clock::now() - start));
        dravix.closeService(handle, 0);
    }
    figures::printLatency("test receipt, openService to last element", samples);

    for (int width : {DRAVIX_BITMAP_ORIGINAL_SIZE, DRAVIX_BITMAP_PAPER_WIDTH}) {
        int handle = dravix.open(DRAVIX_PORT_NETWORK, wide(printer.portName()));
        printer.journal().clear();
        size_t before = rawTotal(printer);
        dravix.printBitmapFile(handle, reinterpret_cast<const cvn_wchar*>(u"logo.bmp"), width, 1, 0,
                               0, 1);
        printer.journal().waitFor([](const auto& e) { return !e.empty(); }, 5s);
        dravix.closeService(handle, 0);
        std::this_thread::sleep_for(100ms);
        auto images = printer.journal().elements("image");
        std::printf("logo at %s: %zu bytes (%d x %d dots)\n",
                    width == DRAVIX_BITMAP_PAPER_WIDTH ? "paper width" : "its own size",
                    rawTotal(printer) - before, images.empty() ? 0 : images[0]["width"].asInt(),
                    images.empty() ? 0 : images[0]["height"].asInt());
    }
}

}  // namespace

int main(int argc, char** argv) {
    int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::string error;
    DravixLoader dravix;
    if (!dravix.load(DRAVIX_LIBRARY, error)) {
        std::fprintf(stderr, "pos_bench: %s\n", error.c_str());
        return 1;
    }
    // logo.bmp is found beside the program, where the build puts it.
    vprinter::VirtualPrinter printer;
    if (!printer.start()) {
        std::fprintf(stderr, "pos_bench: the virtual printer cannot listen\n");
        return 1;
    }
    statusRoundTrips(dravix, printer, roundTrips);
    coverChanges(dravix, printer, roundTrips / 4 + 1);
    testReceipts(dravix, printer, 5);
    printer.stop();
    dravix.unload();
    return 0;
}
