// How long the virtual printer takes to draw a receipt, a label and a 600-line receipt
// beside the time their bytes took to arrive, and how fast it answers a status question
// while it draws a long receipt compared with while it is idle.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Figures.h"
#include "LoopbackSockets.h"
#include "VirtualPrinter.h"

namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

bool sendAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

std::string receipt(int lines) {
    std::string out =
        "\x1b@\x1b"
        "a\x01\x1d!\x11Vembrix Cafe\n\x1d!\x00\x1b"
        "a\x00"s;
    // A 240 x 96 dot logo.
    out += "\x1dv0\x00\x1e\x00\x60\x00"s;
    for (int i = 0; i < 30 * 96; ++i)
        out += static_cast<char>(i % 7 == 0 ? 0xF0 : 0x0F);
    for (int i = 0; i < lines; ++i)
        out +=
            "Item " + std::to_string(i) + "                   " + std::to_string(i % 100) + ".50\n";
    out +=
        "\x1b"
        "a\x01\x1dH\x02\x1dh\x3c\x1dw\x02\x1dk\x49\x0a"
        "4711081500"s;
    out += "\x1d(k\x04\x00\x31\x41\x32\x00\x1d(k\x03\x00\x31\x43\x05"s;
    out += "\x1d(k\x1d\x00\x31\x50\x30https://example.com/r/4711\x1d(k\x03\x00\x31\x51\x30"s;
    return out + "\x1dV\x41\x03"s;
}

std::string label() {
    std::string out =
        "^XA^CI28^PW812^LL1218^FO20,20^GB772,1178,4,B,2^FS"
        "^FO50,50^A0N,60,60^FDOrder 4711^FS^FO50,130^AEN,28,15^FDShip to: Kiel^FS"
        "^FO50,200^BY2,3.0,100^BCN,100,Y,N,N,A^FD4711-0815^FS"
        "^FO500,200^BQN,2,6^FDQA,https://example.com/o/4711^FS"
        "^FO50,400^BXN,6,200^FD4711-0815^FS^FO400,400^B7N,8,2,4^FDPDF417 data^FS"
        "^FO50,700^GFA,3000,3000,30,";
    for (int i = 0; i < 3000; ++i)
        out += i % 3 ? "F0" : "0F";
    return out + "^FS^PQ1^XZ";
}

// The time from the first byte sent to the line that ends the picture, and from there
// to the picture drawn.
void drawing(vprinter::VirtualPrinter& printer, size_t listener, const char* what,
             const std::string& bytes, const char* ending) {
    std::vector<double> arriving, drawn;
    for (int round = 0; round < 5; ++round) {
        size_t before = printer.journal().elements("preview").size();
        size_t ends = printer.journal().elements(ending).size();
        auto start = figures::Clock::now();
        int fd = vprinter::connectLoopback(printer.ports()[listener]);
        sendAll(fd, bytes);
        printer.journal().waitForCount(ending, ends + 1, 60s);
        auto arrived = figures::Clock::now();
        printer.journal().waitForCount("preview", before + 1, 60s);
        auto done = figures::Clock::now();
        ::close(fd);
        arriving.push_back(figures::ms(arrived - start));
        drawn.push_back(figures::ms(done - arrived));
    }
    figures::printLatency((std::string(what) + ": bytes arrived").c_str(), arriving);
    figures::printLatency((std::string(what) + ": drawn and written").c_str(), drawn);
}

std::vector<double> statusRoundTrips(int port, int count) {
    std::vector<double> samples;
    int fd = vprinter::connectLoopback(port);
    for (int i = 0; i < count; ++i) {
        auto start = figures::Clock::now();
        sendAll(fd, "\x10\x04\x01");
        char answer;
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 5000) != 1 || ::recv(fd, &answer, 1, 0) != 1)
            break;
        samples.push_back(figures::ms(figures::Clock::now() - start));
    }
    ::close(fd);
    return samples;
}

}  // namespace

int main() {
    std::string folder = std::filesystem::temp_directory_path() / "vprinter-preview-bench";
    std::filesystem::create_directories(folder);
    vprinter::VirtualPrinterOptions options;
    options.listeners = {{0, "escpos"}, {0, "zpl"}};
    options.previews = true;
    options.previewFolder = folder;
    vprinter::VirtualPrinter printer(options);
    if (!printer.start())
        return 1;
    drawing(printer, 0, "receipt (logo, 20 lines, barcode, QR)", receipt(20), "cut");
    drawing(printer, 1, "label (text, 5 symbols, graphic)", label(), "label_end");
    drawing(printer, 0, "600-line receipt", receipt(600), "cut");

    figures::printLatency("status answer, printer idle", statusRoundTrips(printer.ports()[0], 200));
    // A 20,000-line receipt keeps the drawing thread busy for a while.
    size_t before = printer.journal().elements("preview").size();
    int fd = vprinter::connectLoopback(printer.ports()[0]);
    sendAll(fd, receipt(20000));
    printer.journal().waitForCount("cut", printer.journal().elements("cut").size() + 1, 60s);
    auto busy = statusRoundTrips(printer.ports()[0], 200);
    bool stillDrawing = printer.journal().elements("preview").size() == before;
    figures::printLatency(stillDrawing ? "status answer, drawing a 20000-line receipt"
                                       : "status answer (the drawing ended first)",
                          busy);
    ::close(fd);
    printer.stop();
    std::filesystem::remove_all(folder);
    return 0;
}
