// The read and write time-outs a serial or parallel device is opened with, in
// milliseconds, as the device's driver takes them.
#pragma once

struct CommTimeouts {
    int readInterval = 0;
    int readMultiplier = 0;
    int readConstant = 0;
    int writeMultiplier = 0;
    int writeConstant = 0;
};
