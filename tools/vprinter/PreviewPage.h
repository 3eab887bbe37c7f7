// The page of the virtual printer's pictures on a loopback HTTP port: "/" shows the
// receipts and labels as they are drawn, newest first, with their port, time and the
// journal lines behind each (on a click), updating itself; "/pictures?after=SEQ" lists
// the newer ones as JSON and "/previews/NAME" serves a picture's PNG. Its own thread
// serves it, so that no visitor holds up the printer.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "PeerLoop.h"
#include "Previews.h"

namespace vprinter {

class PreviewPage {
public:
    explicit PreviewPage(Previews& previews);
    ~PreviewPage();
    PreviewPage(const PreviewPage&) = delete;
    PreviewPage& operator=(const PreviewPage&) = delete;

    // Listens on 127.0.0.1:`port` (0 picks a free one); false when it cannot.
    bool start(int port);
    void stop();
    int port() const { return port_; }

    // The answer to one request head (status line, header and body).
    std::string answer(const std::string& head) const;

private:
    struct Visitor {
        int fd = -1;
        std::string head;
        std::chrono::steady_clock::time_point deadline;
    };
    void pass();
    void serve(Visitor& visitor);

    Previews& previews_;
    PeerLoop loop_;
    int listenFd_ = -1;
    int port_ = 0;
    std::vector<Visitor> visitors_;  // the loop thread's own
};

}  // namespace vprinter
