// vprinter: a virtual receipt and label printer on loopback, for demos and for trying
// jobs without paper. Its first line names the ports it took; it runs until interrupted or until a
// control connection sends "quit". See README.md.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "DiscoveryResponder.h"
#include "PreviewPage.h"
#include "VirtualPrinter.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

const char* kUsage =
    "usage: vprinter [--port N[:LANGUAGE]]... [--serial[:LANGUAGE]] [--discoverable]\n"
    "                [--control] [--gateway] [--model NAME]\n"
    "                [--double-byte CODEPAGE] [--journal FILE] [--cover-open] [--paper-out]\n"
    "                [--paper-low] [--offline] [--error] [--ribbon-out] [--head-open] [--paused]\n"
    "                [--refuse] [--stall] [--previews DIR] [--http PORT]\n"
    "LANGUAGE is escpos (the default), zpl or auto, optionally followed by the paper:\n"
    "escpos:80 or escpos:58 (mm), zpl:203, zpl:300 or zpl:600 (dots an inch).\n";

bool makeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

bool number(const std::string& text, int& value) {
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < 0 || parsed > 65535)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

struct Settings {
    vprinter::VirtualPrinterOptions options;
    std::string journalFile;
    bool refuse = false;
    bool stall = false;
    bool discoverable = false;
    bool http = false;
    int httpPort = 0;
};

// "escpos:58", "zpl:300": the language and the paper of a --port.
bool paper(vprinter::VirtualPrinterOptions::Listener& listener) {
    size_t colon = listener.language.find(':');
    std::string size = colon == std::string::npos ? "" : listener.language.substr(colon + 1);
    listener.language = listener.language.substr(0, colon);
    if (listener.language != "auto" && !vprinter::makeDecoder(listener.language))
        return false;
    if (size.empty())
        return true;
    if (listener.language == "escpos" && (size == "80" || size == "58")) {
        listener.paperDots = size == "80" ? 576 : 384;
        return true;
    }
    if (listener.language == "zpl" && (size == "203" || size == "300" || size == "600")) {
        listener.dotsPerInch = std::stoi(size);
        return true;
    }
    return false;
}

bool parse(int argc, char** argv, Settings& settings) {
    auto& options = settings.options;
    options.listeners.clear();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string value;
        if (arg == "--port" && next(value)) {
            vprinter::VirtualPrinterOptions::Listener listener;
            size_t colon = value.find(':');
            if (colon != std::string::npos)
                listener.language = value.substr(colon + 1);
            if (!number(value.substr(0, colon), listener.port) || !paper(listener))
                return false;
            options.listeners.push_back(listener);
        } else if (arg == "--serial" || arg.rfind("--serial:", 0) == 0) {
            vprinter::VirtualPrinterOptions::Listener line;
            if (arg != "--serial")
                line.language = arg.substr(9);
            if (!paper(line))
                return false;
            options.serial = line;
        } else if (arg == "--discoverable") {
            settings.discoverable = true;
        } else if (arg == "--model" && next(value)) {
            options.identity.model = value;
        } else if (arg == "--double-byte" && next(value)) {
            if (!number(value, options.identity.doubleByteCodePage))
                return false;
        } else if (arg == "--journal" && next(value)) {
            settings.journalFile = value;
        } else if (arg == "--control") {
            options.controlPort = true;
        } else if (arg == "--gateway") {
            options.gateway = true;
        } else if (arg == "--cover-open") {
            options.condition.coverOpen = true;
        } else if (arg == "--paper-out") {
            options.condition.paperOut = true;
        } else if (arg == "--paper-low") {
            options.condition.paperLow = true;
        } else if (arg == "--offline") {
            options.condition.offline = true;
        } else if (arg == "--error") {
            options.condition.error = true;
        } else if (arg == "--ribbon-out") {
            options.condition.ribbonOut = true;
        } else if (arg == "--head-open") {
            options.condition.headOpen = true;
        } else if (arg == "--paused") {
            options.condition.paused = true;
        } else if (arg == "--previews" && next(value)) {
            options.previews = true;
            options.previewFolder = value;
        } else if (arg == "--http" && next(value)) {
            options.previews = true;
            if (!number(value, settings.httpPort))
                return false;
            settings.http = true;
        } else if (arg == "--refuse") {
            settings.refuse = true;
        } else if (arg == "--stall") {
            settings.stall = true;
        } else {
            return false;
        }
    }
    // A serial printer alone listens on no TCP port.
    if (options.listeners.empty() && !options.serial)
        options.listeners.push_back({});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::cerr << kUsage;
        return 2;
    }
    if (!settings.options.previewFolder.empty() && !makeFolder(settings.options.previewFolder)) {
        std::cerr << "vprinter: cannot make the previews folder " << settings.options.previewFolder
                  << "\n";
        return 1;
    }
    vprinter::VirtualPrinter printer(settings.options);
    if (!settings.journalFile.empty() && !printer.journal().writeTo(settings.journalFile)) {
        std::cerr << "vprinter: cannot write the journal to " << settings.journalFile << "\n";
        return 1;
    }
    if (!printer.start()) {
        std::cerr << "vprinter: cannot listen on the ports asked for\n";
        return 1;
    }
    std::string line = "vprinter";
    for (size_t i = 0; i < printer.ports().size(); ++i)
        line += " " + settings.options.listeners[i].language + " " + printer.portName(i);
    if (settings.options.serial)
        line += " " + settings.options.serial->language + " " + printer.serialPath();
    if (settings.options.controlPort)
        line += " control 127.0.0.1:" + std::to_string(printer.controlPort());
    vprinter::DiscoveryResponder responder(settings.options.identity.model,
                                           printer.ports().empty() ? 0 : printer.ports().front());
    if (settings.discoverable) {
        if (!responder.start()) {
            std::cerr << "vprinter: cannot answer the printer search (UDP ports "
                      << vprinter::DiscoveryResponder::kFirstProbePort << " and "
                      << vprinter::DiscoveryResponder::kSecondProbePort << " are taken)\n";
            return 1;
        }
        line += " discoverable";
    }
    std::unique_ptr<vprinter::PreviewPage> page;
    if (settings.http) {
        page = std::make_unique<vprinter::PreviewPage>(*printer.previews());
        if (!page->start(settings.httpPort)) {
            std::cerr << "vprinter: cannot serve the page on port " << settings.httpPort << "\n";
            return 1;
        }
        line += " page http://127.0.0.1:" + std::to_string(page->port()) + "/";
    }
    std::cout << line << std::endl;
    printer.refuse(settings.refuse);
    printer.stall(settings.stall);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!interrupted && !printer.quitRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (page)
        page->stop();
    printer.stop();
    return 0;
}
