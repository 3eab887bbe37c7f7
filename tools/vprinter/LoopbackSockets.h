// The socket calls the loopback peers share: a listener on 127.0.0.1, a bounded send of
// everything, and an event descriptor that wakes a poll loop.
#pragma once

#include <string_view>

namespace vprinter {

// A non-blocking listener on 127.0.0.1:`port` (0 picks a free port, written back).
// A receive buffer size above 0 is set before listening. -1 on failure.
int listenLoopback(int& port, int receiveBufferSize = 0);
// The next waiting connection on `listenFd`, non-blocking, with small replies sent at
// once as a printer's are; -1 when none waits.
int acceptConnection(int listenFd);
// A blocking connection to 127.0.0.1:`port`, as a host opens one; -1 when refused.
int connectLoopback(int port);
// Sends all bytes, waiting briefly while the peer's buffers are full; false when the
// connection failed or stayed full. A terminal's descriptor is written to likewise.
bool sendEverything(int fd, std::string_view bytes);
int makeWakeFd();
void wake(int wakeFd);
void drainWake(int wakeFd);

}  // namespace vprinter
