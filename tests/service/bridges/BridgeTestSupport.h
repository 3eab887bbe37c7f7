// A private program directory with the trace log open, a device list holding the test's
// printers, and the pop-up messages the bridge showed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DevicesList.h"
#include "PrinterBridge.h"
#include "RecordingViews.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

using Lines = std::vector<std::string>;

class BridgeTest : public ::testing::Test {
protected:
    BridgeTest() { TraceOpen(kTraceDefaultKey, 1, "vembrix"); }
    ~BridgeTest() override { TraceClose(kTraceDefaultKey); }

    struct Printer {
        std::string name;
        int printerType;
        int portType;
        std::string portName;
        int baudRate = kDefaultBaudRate;
        std::string physicalName = {};
        int checkStatus = 0;
    };
    void addPrinter(const Printer& printer) {
        CDeviceInfo device;
        device.logicalName = printer.name;
        device.printerType = printer.printerType;
        device.portType = printer.portType;
        device.portName = printer.portName;
        device.baudRate = printer.baudRate;
        device.physicalName = printer.physicalName;
        device.checkStatus = printer.checkStatus;
        ASSERT_EQ(devices.addOrUpdateDevice(device), DeviceSaveResult::Saved) << printer.name;
    }

    // A job call numbered 1: [number, function, parameters...].
    static ApiCall call(const std::string& function, const Lines& parameters = {}) {
        ApiCall result = {"1", function};
        result.insert(result.end(), parameters.begin(), parameters.end());
        return result;
    }
    bool traced(const std::string& text) const { return tracefiles::contains(home.path(), text); }

    TempHome home;
    CDevicesList devices;
    RecordingViews views;
};
