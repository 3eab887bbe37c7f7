// DOS device names (COM3, LPT1) and the device nodes they stand for.
//
// A folder "dosdevices" in the program directory may hold symbolic links named after
// the DOS devices; a link there wins. Otherwise COM1-COM32 are /dev/ttyS0-31, COM33-64
// /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31, COM97-128 /dev/rfcomm0-31, and LPT<n> is
// /dev/lp<n-1>.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A serial or Bluetooth serial device node of this platform (/dev/tty..., /dev/rfcomm...,
// a pseudo-terminal /dev/pts/<n>), which a port may name instead of a COM device.
bool isSerialDeviceNode(std::string_view name);

class DosDeviceMap {
public:
    // `mapFolder` holds the links, `devRoot` the device nodes of the fixed ranges.
    DosDeviceMap(std::string mapFolder, std::string devRoot);
    // The map of this program: <program directory>/dosdevices over /dev.
    static DosDeviceMap standard();

    // The node path of a DOS device name (letter case ignored); empty for a name that
    // is no COM or LPT device or has no node in the ranges. A serial device node stands
    // for itself. Says nothing about existence.
    std::string target(std::string_view dosName) const;
    // True when the name resolves to something that exists: the device is known.
    bool known(std::string_view dosName) const;

private:
    std::string mapFolder_;
    std::string devRoot_;
};

}  // namespace platform
