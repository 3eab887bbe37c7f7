#include "PortTarget.h"

#include "dravix.h"

namespace {

constexpr size_t kMaxPortText = 1024;
constexpr size_t kMaxDeviceDigits = 3;

bool knownPortType(int portType) {
    switch (portType) {
        case DRAVIX_PORT_WIRELESS:
        case DRAVIX_PORT_NETWORK:
        case DRAVIX_PORT_BLUETOOTH:
        case DRAVIX_PORT_USB:
        case DRAVIX_PORT_SERIAL:
        case DRAVIX_PORT_PARALLEL:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool validGatewayDevice(int deviceId) {
    return deviceId >= DRAVIX_GATEWAY_FIRST_DEVICE && deviceId <= DRAVIX_GATEWAY_LAST_DEVICE;
}

std::optional<PortTarget> parsePortTarget(int portType, std::u16string_view portText) {
    if (!knownPortType(portType) || portText.empty() || portText.size() > kMaxPortText)
        return std::nullopt;
    PortTarget target{portType, std::u16string(portText), 0};
    size_t separator = portText.find(static_cast<char16_t>(DRAVIX_GATEWAY_SEPARATOR));
    if (separator == std::u16string_view::npos)
        return target;
    if (separator == 0 || separator > kMaxDeviceDigits || separator + 1 == portText.size())
        return std::nullopt;
    int device = 0;
    for (char16_t c : portText.substr(0, separator)) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        device = device * 10 + (c - u'0');
    }
    if (!validGatewayDevice(device))
        return std::nullopt;
    target.deviceId = device;
    target.portName = std::u16string(portText.substr(separator + 1));
    return target;
}
