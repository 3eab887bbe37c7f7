#include "DeviceInfo.h"

std::string CDeviceInfo::portText() const {
    std::string text = portName;
    auto add = [&text](int number) { text += ":" + std::to_string(number); };
    if (isNetworkPort()) {
        if (baudRate != kDefaultTcpPort)
            add(baudRate);
    } else if (portType == kPortBluetooth) {
        add(baudRate);
    } else if (portType == kPortSerial) {
        add(baudRate);
        add(dataBits);
        add(parity);
        add(stopBits);
        add(flowControl);
    }
    return text;
}
