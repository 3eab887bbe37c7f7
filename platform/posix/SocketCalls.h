// Socket calls on a descriptor, shared by the socket classes of this backend. Failures
// keep errno in the slot that socketLastError() reads.
#pragma once

#include <cstdint>

#include "platform/TcpStream.h"

namespace platform {

void setSocketLastError(int error);
// Keeps errno for socketLastError(); always false.
bool socketCallFailed();
// recv and send that resume after a signal; -1 on failure.
int socketReceive(int fd, void* buffer, int length);
int socketSend(int fd, const void* data, int length);
bool socketSetNonBlocking(int fd);
// `ipv4` in host byte order.
bool socketBind(int fd, uint32_t ipv4, int port);
// The error the connection ended with (0 when none).
int socketPendingError(int fd);
// poll() of one descriptor that resumes after a signal until the time is up.
WaitResult socketWait(int fd, short events, int timeoutMs);

}  // namespace platform
