#include "VirtualPrinter.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "LoopbackSockets.h"

namespace vprinter {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kMaxControlLine = 1024;
constexpr int kNoChannel = -1;
constexpr size_t kPacketHeader = 6;
// How often a serial port nobody holds is looked at for a host that opened it.
constexpr int kTerminalLookMs = 50;
constexpr int kIdlePollMs = 1000;

std::string framed(int channel, std::string_view payload) {
    std::string out = "CVN";
    out += static_cast<char>(channel);
    out += static_cast<char>(payload.size() >> 8 & 0xFF);
    out += static_cast<char>(payload.size() & 0xFF);
    out.append(payload);
    return out;
}

}  // namespace

struct VirtualPrinter::Connection {
    int fd = -1;
    int number = 0;
    int port = 0;
    std::string language;
    bool control = false;
    // The serial port's connection: its node, and whether a host holds it now.
    std::string device;
    bool attached = false;
    // Gateway bytes not yet a whole packet, the first blanks of an "auto" connection, or
    // a control line.
    std::string pending;
    std::map<int, std::unique_ptr<Stream>> streams;  // by channel; kNoChannel for the port
};

// One decoded byte stream: a printer connection, or one channel of a gateway connection.
struct VirtualPrinter::Stream : DecoderContext {
    VirtualPrinter& printer;
    Connection& connection;
    int channel;
    std::unique_ptr<LanguageDecoder> decoder;
    PrinterIdentity identity_;
    int statusMask = 0;
    std::string held;              // answers kept back while the printer holds them
    std::unique_ptr<Sheet> sheet;  // what it printed since its last picture

    Stream(VirtualPrinter& p, Connection& c, int ch, std::unique_ptr<LanguageDecoder> d)
        : printer(p),
          connection(c),
          channel(ch),
          decoder(std::move(d)),
          identity_(p.options_.identity) {
        // On a gateway connection the bytes outside packets are the gateway's own.
        identity_.gateway = p.options_.gateway && ch == kNoChannel;
    }

    void journal(Json::Value element) override { journalPicture(std::move(element), nullptr); }
    void journalPicture(Json::Value element, std::shared_ptr<const MonoImage> dots) override {
        Json::Value origin = this->origin();
        for (const std::string& name : origin.getMemberNames())
            element[name] = origin[name];
        if (!printer.previews_) {
            printer.journal_.add(std::move(element));
            return;
        }
        bool receipt = std::string_view(decoder->language()) == "escpos";
        const std::string type = element["type"].asString();
        if (!receipt && type == "label_start")
            sheet = Sheet::label(listener().dotsPerInch);
        else if (receipt && !sheet)
            sheet = Sheet::receipt(listener().paperDots);
        bool ends = sheet && (receipt ? type == "cut" : type == "label_end") &&
                    (sheet->prints() || type == "label_end");
        std::string kind = sheet ? sheet->kind() : std::string();
        Json::Value kept;
        long long seq = printer.journal_.add(std::move(element), [&](Json::Value& e) {
            if (ends)
                e["preview"] = printer.previews_->nameFor(e["seq"].asInt64(), kind);
            kept = e;
        });
        if (sheet)
            sheet->add(kept, std::move(dots));
        if (ends)
            endSheet(seq);
    }
    // The connection ended: a receipt without a cut is whole all the same.
    void finishSheet() {
        if (!printer.previews_ || !sheet || !sheet->prints() || sheet->kind() != "receipt")
            return;
        Json::Value e = origin();
        e["type"] = "receipt_end";
        std::string kind = sheet->kind();
        long long seq = printer.journal_.add(e, [&](Json::Value& stamped) {
            stamped["preview"] = printer.previews_->nameFor(stamped["seq"].asInt64(), kind);
        });
        endSheet(seq);
    }
    void endSheet(long long seq) {
        std::string kind = sheet->kind();
        if (!printer.previews_->submit(std::move(sheet), seq, origin())) {
            Json::Value e = origin();
            e["type"] = "refused";
            e["reason"] = "too many pictures wait to be drawn: the " + kind + " is not drawn";
            printer.journal_.add(e);
        }
        sheet.reset();
    }
    Json::Value origin() const {
        Json::Value out;
        out["connection"] = connection.number;
        out["port"] = connection.port;
        if (!connection.device.empty())
            out["device"] = connection.device;
        out["language"] = decoder->language();
        if (channel != kNoChannel)
            out["channel"] = channel;
        return out;
    }
    const VirtualPrinterOptions::Listener& listener() const {
        if (!connection.device.empty())
            return *printer.options_.serial;
        for (size_t i = 0; i < printer.ports_.size(); ++i)
            if (printer.ports_[i] == connection.port)
                return printer.options_.listeners[i];
        return printer.options_.listeners.front();
    }
    void reply(std::string_view bytes) override {
        std::string out = channel == kNoChannel ? std::string(bytes) : framed(channel, bytes);
        // Nobody holds the serial port: an answer would wait for the next host.
        if (!connection.device.empty() && !connection.attached)
            return;
        if (printer.holding_)
            held += out;
        else
            sendEverything(connection.fd, out);
    }
    void release() {
        if (!held.empty())
            sendEverything(connection.fd, held);
        held.clear();
    }
    PrinterCondition condition() const override { return printer.condition(); }
    const PrinterIdentity& identity() const override { return identity_; }
    void automaticStatus(int mask) override {
        statusMask = mask;
        report();
    }
    void report() {
        std::string bytes = decoder->statusReport(condition(), statusMask);
        if (!bytes.empty())
            reply(bytes);
    }
};

VirtualPrinter::VirtualPrinter(VirtualPrinterOptions options)
    : options_(std::move(options)), condition_(options_.condition) {
    if (options_.previews)
        previews_ = std::make_unique<Previews>(options_.previewFolder, journal_);
}

VirtualPrinter::~VirtualPrinter() {
    stop();
}

bool VirtualPrinter::start() {
    if (started_)
        return true;
    ports_.clear();
    for (const auto& listener : options_.listeners)
        ports_.push_back(listener.port);
    if (!listenAll())
        return false;
    if (options_.controlPort && (controlFd_ = listenLoopback(controlPort_)) < 0) {
        closeListeners();
        return false;
    }
    if (options_.serial && !terminalConnection_) {
        if (terminal_.fd() < 0 && !terminal_.open()) {
            closeListeners();
            closeControl();
            return false;
        }
        terminalConnection_ = std::make_unique<Connection>();
        terminalConnection_->fd = terminal_.fd();
        terminalConnection_->language = options_.serial->language;
        terminalConnection_->device = terminal_.devicePath();
    }
    if (!loop_.start([this] { pass(); })) {
        closeListeners();
        closeControl();
        return false;
    }
    started_ = true;
    return true;
}

void VirtualPrinter::stop() {
    if (!started_)
        return;
    loop_.stop();
    started_ = false;
    while (!connections_.empty())
        close(connections_.size() - 1);
    if (terminalConnection_ && terminalConnection_->attached)
        detachTerminal();
    closeListeners();
    closeControl();
    if (previews_)
        previews_->drain();
    changed_.notify_all();
}

std::string VirtualPrinter::portName(size_t listener) const {
    return "127.0.0.1:" + std::to_string(listener < ports_.size() ? ports_[listener] : 0);
}

bool VirtualPrinter::listenAll() {
    for (int& port : ports_) {
        int fd = listenLoopback(port);
        if (fd < 0) {
            closeListeners();
            return false;
        }
        listenFds_.push_back(fd);
    }
    return true;
}

void VirtualPrinter::closeListeners() {
    for (int fd : listenFds_)
        ::close(fd);
    listenFds_.clear();
}

void VirtualPrinter::closeControl() {
    if (controlFd_ >= 0)
        ::close(controlFd_);
    controlFd_ = -1;
}

std::vector<std::string> VirtualPrinter::rawBytes() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> out;
    for (const auto& [number, bytes] : raw_)
        out.push_back(bytes);
    return out;
}

int VirtualPrinter::openConnections() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return open_;
}

bool VirtualPrinter::waitForOpenConnections(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return open_ == count; });
}

PrinterCondition VirtualPrinter::condition() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return condition_;
}

bool VirtualPrinter::quitRequested() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return quit_;
}

void VirtualPrinter::changeCondition(const std::function<void(PrinterCondition&)>& change) {
    perform([this, &change] {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            change(condition_);
        }
        reportCondition();
    });
}

void VirtualPrinter::reportCondition() {
    for (auto& connection : connections_)
        for (auto& [channel, stream] : connection->streams)
            stream->report();
}

void VirtualPrinter::refuse(bool refused) {
    perform([this, refused] {
        if (refused)
            closeListeners();
        else if (listenFds_.empty())
            listenAll();
    });
}

void VirtualPrinter::stall(bool stalled) {
    perform([this, stalled] { stalled_ = stalled; });
}

void VirtualPrinter::hold(bool holding) {
    perform([this, holding] {
        holding_ = holding;
        if (holding)
            return;
        for (auto& connection : connections_)
            for (auto& [channel, stream] : connection->streams)
                stream->release();
    });
}

void VirtualPrinter::dropConnections() {
    // Shut down rather than closed here: the loop may be walking the connections, and
    // closes each one when it reads the end.
    perform([this] {
        for (auto& connection : connections_)
            if (!connection->control && connection->fd >= 0)
                ::shutdown(connection->fd, SHUT_RDWR);
    });
}

void VirtualPrinter::perform(std::function<void()> command) {
    loop_.perform(std::move(command));
}

void VirtualPrinter::pass() {
    std::vector<pollfd> entries;
    entries.push_back({loop_.wakeFd(), POLLIN, 0});
    for (int fd : listenFds_)
        entries.push_back({fd, POLLIN, 0});
    if (controlFd_ >= 0)
        entries.push_back({controlFd_, POLLIN, 0});
    size_t firstConnection = entries.size();
    for (const auto& connection : connections_) {
        bool reading = connection->control || !stalled_;
        entries.push_back({connection->fd, static_cast<short>(reading ? POLLIN : 0), 0});
    }
    // A serial port a host holds wakes the wait with its bytes; one nobody holds would
    // report its hang-up all the time, so it is looked at every little while instead.
    int timeout = kIdlePollMs;
    if (terminalConnection_ && terminalConnection_->attached && !stalled_)
        entries.push_back({terminalConnection_->fd, POLLIN, 0});
    else if (terminalConnection_)
        timeout = kTerminalLookMs;
    // The time-out only bounds the wait; every change wakes it at once.
    int ready = ::poll(entries.data(), entries.size(), timeout);
    if (terminalConnection_ && !stalled_)
        serveTerminal();
    if (ready <= 0)
        return;
    if (entries[0].revents & POLLIN)
        drainWake(loop_.wakeFd());
    for (size_t i = 0; i < listenFds_.size(); ++i)
        if (entries[1 + i].revents & POLLIN)
            accept(listenFds_[i], ports_[i], options_.listeners[i].language, false);
    if (controlFd_ >= 0 && (entries[firstConnection - 1].revents & POLLIN))
        accept(controlFd_, controlPort_, "", true);
    size_t polled = entries.size() - firstConnection;
    for (size_t i = std::min(polled, connections_.size()); i-- > 0;) {
        if (entries[firstConnection + i].revents & (POLLIN | POLLHUP | POLLERR))
            readFrom(*connections_[i]);
        if (connections_[i]->fd < 0)
            close(i);
    }
}

void VirtualPrinter::accept(int listenFd, int port, const std::string& language, bool control) {
    int fd = acceptConnection(listenFd);
    if (fd < 0)
        return;
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->number = nextConnection_++;
    connection->port = port;
    connection->language = language;
    connection->control = control;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!control) {
            raw_[connection->number];
            ++open_;
        }
    }
    connections_.push_back(std::move(connection));
    changed_.notify_all();
}

void VirtualPrinter::readFrom(Connection& connection) {
    char buffer[kReadChunk];
    bool terminal = !connection.device.empty();
    ssize_t got = terminal ? ::read(connection.fd, buffer, sizeof buffer)
                           : ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0 && terminal) {
        detachTerminal();
        return;
    }
    if (got <= 0) {
        ::close(connection.fd);
        connection.fd = -1;
        return;
    }
    std::string_view bytes(buffer, static_cast<size_t>(got));
    if (connection.control) {
        receiveControl(connection, bytes);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        raw_[connection.number].append(bytes);
    }
    if (options_.gateway)
        receiveGateway(connection, bytes);
    else
        receive(connection, bytes);
}

VirtualPrinter::Stream& VirtualPrinter::stream(Connection& connection, int channel,
                                               std::string_view firstBytes) {
    auto& slot = connection.streams[channel];
    if (!slot) {
        std::string language = connection.language;
        if (language == "auto")
            language = detectLanguage(firstBytes);
        std::unique_ptr<LanguageDecoder> decoder = makeDecoder(language);
        if (!decoder)
            decoder = makeDecoder("escpos");
        slot = std::make_unique<Stream>(*this, connection, channel, std::move(decoder));
    }
    return *slot;
}

void VirtualPrinter::receive(Connection& connection, std::string_view bytes) {
    if (connection.streams.empty() && connection.language == "auto") {
        // The language shows in the first bytes that are not blanks or line ends.
        connection.pending.append(bytes);
        if (detectLanguage(connection.pending).empty())
            return;
        std::string first = std::move(connection.pending);
        connection.pending.clear();
        Stream& target = stream(connection, kNoChannel, first);
        target.decoder->feed(first, target);
        return;
    }
    Stream& target = stream(connection, kNoChannel, bytes);
    target.decoder->feed(bytes, target);
}

void VirtualPrinter::receiveGateway(Connection& connection, std::string_view bytes) {
    std::string& pending = connection.pending;
    pending.append(bytes);
    size_t at = 0;
    while (at < pending.size()) {
        std::string_view rest = std::string_view(pending).substr(at);
        bool packet = rest.substr(0, 3) ==
                      std::string_view("CVN").substr(0, std::min<size_t>(rest.size(), 3));
        if (packet && rest.size() < kPacketHeader)
            break;  // the rest of the header is still to come
        if (!packet) {
            // Bytes outside packets are for the gateway itself (its probe, idle bytes).
            std::string_view own = rest.substr(0, rest.find('C', 1));
            Stream& gateway = stream(connection, kNoChannel, own);
            gateway.decoder->feed(own, gateway);
            at += own.size();
            continue;
        }
        int channel = static_cast<unsigned char>(rest[3]);
        size_t length = static_cast<size_t>(static_cast<unsigned char>(rest[4]) << 8 |
                                            static_cast<unsigned char>(rest[5]));
        // Channel 0 packets carry a command byte that the length does not count.
        size_t total = kPacketHeader + length + (channel == 0 ? 1 : 0);
        if (rest.size() < total)
            break;
        std::string_view payload = rest.substr(kPacketHeader, total - kPacketHeader);
        Stream& target = stream(connection, channel, payload);
        target.decoder->feed(payload, target);
        at += total;
    }
    pending.erase(0, at);
}

void VirtualPrinter::receiveControl(Connection& connection, std::string_view bytes) {
    connection.pending.append(bytes);
    size_t end;
    while ((end = connection.pending.find('\n')) != std::string::npos) {
        std::string line = connection.pending.substr(0, end);
        connection.pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        sendEverything(connection.fd, control(line) + "\n");
    }
    if (connection.pending.size() > kMaxControlLine)
        connection.pending.clear();
}

void VirtualPrinter::close(size_t index) {
    Connection& connection = *connections_[index];
    finishStreams(connection);
    if (connection.fd >= 0)
        ::close(connection.fd);
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!connection.control)
            --open_;
    }
    connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(index));
    changed_.notify_all();
}

void VirtualPrinter::finishStreams(Connection& connection) {
    if (!connection.control && !options_.gateway && !connection.pending.empty()) {
        // Only blanks came on an "auto" connection: they are journaled all the same.
        Stream& target = stream(connection, kNoChannel, connection.pending);
        target.decoder->feed(connection.pending, target);
    }
    for (auto& [channel, stream] : connection.streams) {
        stream->decoder->finish(*stream);
        stream->finishSheet();
    }
}

void VirtualPrinter::serveTerminal() {
    Connection& connection = *terminalConnection_;
    pollfd look{connection.fd, POLLIN, 0};
    ::poll(&look, 1, 0);
    bool hungUp = look.revents & POLLHUP;
    bool bytes = look.revents & POLLIN;
    // A host that opened the port, or one that wrote and let go before it was seen.
    if (!connection.attached && (bytes || !hungUp))
        attachTerminal();
    if (bytes)
        readFrom(connection);
    else if (hungUp && connection.attached)
        detachTerminal();
}

void VirtualPrinter::attachTerminal() {
    Connection& connection = *terminalConnection_;
    connection.attached = true;
    connection.number = nextConnection_++;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        raw_[connection.number];
        ++open_;
    }
    changed_.notify_all();
}

void VirtualPrinter::detachTerminal() {
    Connection& connection = *terminalConnection_;
    finishStreams(connection);
    connection.streams.clear();
    connection.pending.clear();
    connection.attached = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        --open_;
    }
    changed_.notify_all();
}

std::string VirtualPrinter::control(const std::string& line) {
    std::istringstream words(line);
    std::string verb, value;
    words >> verb >> value;
    auto condition = [this](auto change) {
        changeCondition(change);
        return std::string("ok");
    };
    bool on =
        value == "open" || value == "on" || value == "out" || value == "high" || value == "low";
    if (verb == "cover" && (value == "open" || value == "closed"))
        return condition([on](PrinterCondition& c) { c.coverOpen = on; });
    if (verb == "paper" && (value == "out" || value == "low" || value == "ok"))
        return condition([value](PrinterCondition& c) {
            c.paperOut = value == "out";
            c.paperLow = value == "low";
        });
    if (verb == "ribbon" && (value == "out" || value == "ok"))
        return condition([on](PrinterCondition& c) { c.ribbonOut = on; });
    if (verb == "head" && (value == "open" || value == "closed"))
        return condition([on](PrinterCondition& c) { c.headOpen = on; });
    if (verb == "pause" && (value == "on" || value == "off"))
        return condition([on](PrinterCondition& c) { c.paused = on; });
    if (verb == "hold" && (value == "on" || value == "off")) {
        hold(on);
        return "ok";
    }
    if (verb == "offline" && (value == "on" || value == "off"))
        return condition([on](PrinterCondition& c) { c.offline = on; });
    if (verb == "error" && (value == "on" || value == "off"))
        return condition([on](PrinterCondition& c) { c.error = on; });
    if (verb == "drawer" && (value == "high" || value == "low"))
        return condition([value](PrinterCondition& c) { c.drawerHigh = value == "high"; });
    if (verb == "refuse" && (value == "on" || value == "off")) {
        refuse(on);
        return "ok";
    }
    if (verb == "stall" && (value == "on" || value == "off")) {
        stall(on);
        return "ok";
    }
    if (verb == "drop") {
        dropConnections();
        return "ok";
    }
    if (verb == "line")
        return terminalConnection_ ? serialLine() : "error: no serial port";
    if (verb == "journal") {
        std::string out;
        for (const Json::Value& element : journal_.elements())
            out += Journal::line(element) + "\n";
        return out + "end";
    }
    if (verb == "picture") {
        std::optional<std::string> path = previews_ ? previews_->lastPath() : std::nullopt;
        return path        ? *path
               : previews_ ? "error: no picture yet"
                           : "error: pictures are off (start vprinter with --previews or --http)";
    }
    if (verb == "clear") {
        journal_.clear();
        return "ok";
    }
    if (verb == "quit") {
        std::lock_guard<std::mutex> guard(mutex_);
        quit_ = true;
        return "ok";
    }
    return "error: unknown command '" + line +
           "' (cover open|closed, paper out|low|ok, ribbon out|ok, head open|closed, pause "
           "on|off, offline on|off, error on|off, drawer high|low, hold on|off, refuse on|off, "
           "stall on|off, drop, line, journal, picture, clear, quit)";
}

}  // namespace vprinter
