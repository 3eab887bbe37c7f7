// Figures of the label library against the virtual printer's ZPL side on 127.0.0.1,
// through the real cvnport:
//   - the bridge's test label from ConnectPrinter to its last element at the printer,
//     with the calls that draw its true-type word and its image timed on their own,
//   - a status read round trip (checkStatus: ~HS and ~HQES asked and answered).
//
//   label_bench [status round trips]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Figures.h"
#include "VirtualPrinter.h"
#include "cvnlblapi.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long `call` takes; `samples` gets it when the call succeeds.
void timed(std::vector<double>& samples, const std::function<int()>& call) {
    Clock::time_point start = Clock::now();
    if (call() == 1)
        samples.push_back(figures::ms(Clock::now() - start));
}

struct LabelFigures {
    std::vector<double> whole, connect, trueTypeWord, image, send;
};

// The calls of the label bridge's test page, in its order.
bool printTestLabel(LabelFigures& figures) {
    const char* word = "\xEC\x83\x98\xED\x94\x8C";              // the Korean sample word
    const char* face = "\xEB\x8F\x8B\xEC\x9B\x80\xEC\xB2\xB4";  // a face named in Korean
    ClearBuffer();
    PrintBlock(50, 50, 500, 250, 0, 0);
    PrintBlock(50, 300, 500, 305, 0, 0);
    PrintBlock(50, 350, 500, 500, 4, 5);
    timed(figures.trueTypeWord,
          [&] { return PrintTrueFontLib(100, 380, face, 50, 0, 0, 1, 0, word, 0); });
    PrintDeviceFont(100, 100, 6, 1, 1, 0, 0, "CORVANE");
    PrintDeviceFont(100, 520, 4, 1, 1, 0, 0, "CORVANE");
    PrintDeviceFont(100, 560, 4, 1, 1, 0, 1, "CORVANE");
    PrintDeviceFont(100, 620, 100, 2, 2, 0, 1, word);
    PrintDirect("B2100,680,P,8,8,0,0,0,1,2,14,0,'CORVANE Label Printer, This is for test.'", 0);
    PrintQRCode(100, 780, 2, 2, 4, 0, "QRCode sample test 123");
    timed(figures.image, [] { return PrintImageLib(100, 900, "CORVANE.bmp", 1, 1); });
    Clock::time_point start = Clock::now();
    bool sent = Prints(1, 1) == 1;
    if (sent)
        figures.send.push_back(figures::ms(Clock::now() - start));
    return sent;
}

void testLabels(vprinter::VirtualPrinter& printer, int count) {
    LabelFigures figures;
    size_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        printer.journal().clear();
        Clock::time_point start = Clock::now();
        timed(figures.connect, [&] {
            return ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", printer.ports()[0], 0, 0,
                                  0);
        });
        if (figures.connect.size() != static_cast<size_t>(i + 1))
            continue;
        bool printed = printTestLabel(figures);
        bool arrived =
            printed && printer.journal().waitFor(
                           [](const auto& elements) {
                               return !elements.empty() && elements.back()["type"] == "label_end";
                           },
                           5s);
        if (arrived)
            figures.whole.push_back(figures::ms(Clock::now() - start));
        DisconnectPrinter();
    }
    for (const std::string& raw : printer.rawBytes())
        bytes = std::max(bytes, raw.size());
    figures::printLatency("test label, ConnectPrinter to its last element", figures.whole);
    figures::printLatency("  ConnectPrinter", figures.connect);
    figures::printLatency("  its true-type word (PrintTrueFontLib)", figures.trueTypeWord);
    figures::printLatency("  its image (PrintImageLib)", figures.image);
    figures::printLatency("  Prints (the label in one write)", figures.send);
    std::printf("test label: %zu bytes of ZPL\n", bytes);
}

void statusRoundTrips(vprinter::VirtualPrinter& printer, int count) {
    std::vector<double> samples;
    if (ConnectPrinter(CVNLBL_INTERFACE_NETWORK, "127.0.0.1", printer.ports()[0], 0, 0, 0) != 1)
        return;
    for (int i = 0; i < count; ++i) {
        Clock::time_point start = Clock::now();
        if (checkStatus() == CVNLBL_STATUS_OK)
            samples.push_back(figures::ms(Clock::now() - start));
    }
    DisconnectPrinter();
    figures::printLatency("status round trip (checkStatus, ~HS~HQES)", samples);
}

}  // namespace

int main(int argc, char** argv) {
    int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    // CORVANE.bmp is found beside the program, where the build puts it.
    vprinter::VirtualPrinterOptions options;
    options.listeners = {{0, "zpl"}};
    vprinter::VirtualPrinter printer(options);
    if (!printer.start()) {
        std::fprintf(stderr, "label_bench: the virtual printer cannot listen\n");
        return 1;
    }
    testLabels(printer, 20);
    statusRoundTrips(printer, roundTrips);
    printer.stop();
    return 0;
}
