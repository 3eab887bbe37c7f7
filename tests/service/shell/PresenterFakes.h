// What the window presenters' tests stand in for: the system's ports, the printers
// behind the bridges, the running service and the views' message boxes. The printer
// list and the settings stay real, in a private home.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DevicesList.h"
#include "MessageBoxView.h"
#include "PortDiscovery.h"
#include "PrinterActions.h"
#include "ServiceControl.h"

class FakeDiscovery final : public CPortDiscovery {
public:
    std::vector<std::string> serial = {"COM1", "COM2"};
    std::vector<std::string> parallel = {"LPT1"};
    std::vector<std::string> usb;
    std::vector<std::string> network;

    std::vector<std::string> serialPorts() override { return serial; }
    std::vector<std::string> parallelPorts() override { return parallel; }
    std::vector<std::string> usbProductIds() override { return usb; }
    std::vector<std::string> searchNetworkPrinters() override { return network; }
};

class FakePrinters final : public CPrinterActions {
public:
    // Whether the printer answers; what a test print sees of the printer list.
    bool reachable = true;
    std::string reportedName = "VPRINTER-M1";
    std::function<void(const std::string& logicalName)> whilePrinting;
    std::vector<std::string> printed;  // "<logical name>/<type>"
    int nameQuestions = 0;

    bool printTestPage(const std::string& logicalName, int printerType) override {
        printed.push_back(logicalName + "/" + std::to_string(printerType));
        if (whilePrinting)
            whilePrinting(logicalName);
        return reachable && CBridgePrinterActions::hasBridge(printerType);
    }
    bool readPrinterName(const std::string&, int, std::string& name) override {
        ++nameQuestions;
        name = reportedName;
        return reachable;
    }
};

class FakeService final : public CServiceControl {
public:
    int port = 8080;  // where it listens; 0: nowhere
    int restarts = 0;
    int tracingStarts = 0;

    bool restartWebServer() override {
        ++restarts;
        return port != 0;
    }
    int listeningPort() const override { return port; }
    void startTracing() override { ++tracingStarts; }
};

class RecordingMessages : public CMessageBoxView {
public:
    std::vector<std::string> messages;
    void showMessageBox(const std::string& text) override { messages.push_back(text); }
};

inline CDeviceInfo networkPrinter(const std::string& name, int type, int tcpPort = 9100) {
    CDeviceInfo device;
    device.logicalName = name;
    device.printerType = type;
    device.portType = kPortWiredNetwork;
    device.portName = "192.168.0.20";
    device.baudRate = tcpPort;
    return device;
}

inline CDeviceInfo serialPrinter(const std::string& name, const std::string& port, int baudRate) {
    CDeviceInfo device;
    device.logicalName = name;
    device.printerType = 2;
    device.portType = kPortSerial;
    device.portName = port;
    device.baudRate = baudRate;
    device.dataBits = 7;
    device.parity = 2;
    device.stopBits = 1;
    device.flowControl = 1;
    return device;
}

inline CDeviceInfo usbPrinter(const std::string& name, const std::string& model, int type) {
    CDeviceInfo device;
    device.logicalName = name;
    device.printerType = type;
    device.physicalName = model;
    device.portType = kPortUsb;
    device.portName = "USB";
    return device;
}
