// A printer on loopback TCP ports: it keeps every connection's raw bytes, decodes them
// into the journal, answers queries, reports its condition by itself when asked to, can
// play a gateway with printers behind it, and takes faults on cue, from its methods or
// from lines on its control port. One thread serves every socket; the methods below are
// carried out on it and return once it has done so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Journal.h"
#include "PeerLoop.h"
#include "Previews.h"
#include "PrinterLanguage.h"
#include "PseudoTerminal.h"

namespace vprinter {

struct VirtualPrinterOptions {
    // One listener per entry: its port (0 picks a free one) and its language ("escpos",
    // "zpl", or "auto" to judge each connection by its first bytes).
    struct Listener {
        int port = 0;
        std::string language = "escpos";
        int paperDots = 576;    // receipts: 576 (80 mm) or 384 (58 mm)
        int dotsPerInch = 203;  // labels: 203, 300 or 600
    };
    std::vector<Listener> listeners{Listener{}};
    // Also a serial port: a pseudo-terminal whose far end hosts open, with a listener's
    // language and paper (its port is not used). Each time a host opens it counts as a
    // connection.
    std::optional<Listener> serial;
    bool controlPort = false;
    // Every connection talks to a gateway; its printers are the channels the host uses.
    bool gateway = false;
    PrinterIdentity identity;
    PrinterCondition condition;
    // Receipts and labels are drawn as pictures (kept for the page, and written into
    // `previewFolder` when it is set).
    bool previews = false;
    std::string previewFolder;
};

class VirtualPrinter {
public:
    explicit VirtualPrinter(VirtualPrinterOptions options = {});
    ~VirtualPrinter();
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    bool start();
    void stop();
    std::vector<int> ports() const { return ports_; }
    int controlPort() const { return controlPort_; }
    // "127.0.0.1:<port>" of a listener: the port text of a network printer.
    std::string portName(size_t listener = 0) const;
    // The node a host opens as the serial port; empty without one.
    std::string serialPath() const { return terminal_.devicePath(); }
    // The line the host set on the serial port (PseudoTerminal::lineSettings).
    std::string serialLine() const { return terminal_.lineSettings(); }

    Journal& journal() { return journal_; }
    // The pictures drawn; null unless previews were asked for.
    Previews* previews() { return previews_.get(); }
    // Every connection's bytes so far, in the order the connections came.
    std::vector<std::string> rawBytes() const;
    int openConnections() const;
    bool waitForOpenConnections(int count, std::chrono::milliseconds timeout) const;

    PrinterCondition condition() const;
    // Changes the condition; hosts that asked for automatic status hear of it.
    void changeCondition(const std::function<void(PrinterCondition&)>& change);
    // Stops listening (connections are refused) or listens again on the same ports.
    void refuse(bool refused);
    // While stalled nothing is read from the printer connections.
    void stall(bool stalled);
    // While holding, queries are read and journaled but their answers wait; they all go
    // out when the hold ends.
    void hold(bool holding);
    void dropConnections();
    // Carries out one control line ("cover open", "paper out", "journal", ...) and
    // returns its answer (several lines for "journal").
    std::string control(const std::string& line);
    bool quitRequested() const;

    struct Connection;
    struct Stream;

private:
    void pass();
    void perform(std::function<void()> command);
    bool listenAll();
    void closeListeners();
    void closeControl();
    void accept(int listenFd, int port, const std::string& language, bool control);
    void readFrom(Connection& connection);
    void receive(Connection& connection, std::string_view bytes);
    void receiveGateway(Connection& connection, std::string_view bytes);
    void receiveControl(Connection& connection, std::string_view bytes);
    void close(size_t index);
    // The serial port: a host opened it, sent, or let go of it.
    void serveTerminal();
    void attachTerminal();
    void detachTerminal();
    // Every stream of the connection has seen its last bytes.
    void finishStreams(Connection& connection);
    // The connection's stream for `channel`, made on first use; an "auto" connection's
    // language is judged by `firstBytes`.
    Stream& stream(Connection& connection, int channel, std::string_view firstBytes);
    void reportCondition();

    VirtualPrinterOptions options_;
    std::vector<int> ports_;
    int controlPort_ = 0;
    bool started_ = false;
    PeerLoop loop_;
    Journal journal_;

    // The loop thread's own.
    std::vector<int> listenFds_;
    int controlFd_ = -1;
    std::vector<std::unique_ptr<Connection>> connections_;
    PseudoTerminal terminal_;
    std::unique_ptr<Connection> terminalConnection_;
    int nextConnection_ = 1;
    bool stalled_ = false;
    bool holding_ = false;

    // Shared with the callers.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool quit_ = false;
    PrinterCondition condition_;
    std::map<int, std::string> raw_;  // by connection number
    int open_ = 0;
    // Draws into the journal: made after it and gone before it.
    std::unique_ptr<Previews> previews_;
};

}  // namespace vprinter
