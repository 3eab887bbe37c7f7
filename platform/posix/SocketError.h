// The error slot that socketLastError() reads, shared by the socket classes of this
// backend.
#pragma once

namespace platform {

void setSocketLastError(int error);

}  // namespace platform
