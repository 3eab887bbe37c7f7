// Where a handle's printer is: the port type and name cvnport opens, and for a printer
// behind a gateway its device identifier, taken from a port text such as
// "192.168.0.20:6101" or "12@192.168.0.20:6101".
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct PortTarget {
    int portType = 0;
    std::u16string portName;
    int deviceId = 0;  // the gateway channel; 0 for a printer on its own port
    bool gateway() const { return deviceId != 0; }
};

std::optional<PortTarget> parsePortTarget(int portType, std::u16string_view portText);
bool validGatewayDevice(int deviceId);
