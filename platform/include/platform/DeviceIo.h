// What a read or write on a device node (serial, parallel, USB printer) came to.
#pragma once

namespace platform {

struct DeviceIo {
    enum class Outcome {
        Done,       // the bytes below moved (a read: whatever was there, maybe none)
        TimedOut,   // the time ran out first; `bytes` moved before it did
        Cancelled,  // cancel() ended the wait
        Failed      // the device refused; `error` holds the system's reason
    };
    int bytes = 0;
    Outcome outcome = Outcome::Done;
    int error = 0;
};

// The system's error codes the ports tell apart, in the platform's own numbering.
extern const int kDeviceNotFound;      // no such device node
extern const int kDeviceAccessDenied;  // no right to the node
extern const int kDeviceGone;          // the device went away under an open handle

}  // namespace platform
