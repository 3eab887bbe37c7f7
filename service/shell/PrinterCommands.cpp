#include "PrinterCommands.h"

#include <string_view>

#include "ConfigCommands.h"
#include "DevicesList.h"
#include "INIHelper.h"
#include "LabelPrinterApi.h"
#include "PrinterActions.h"
#include "ThermalPrinterController.h"

namespace printercommands {

namespace {

ThermalPrinterOptions unwatched() {
    ThermalPrinterOptions options;
    options.watchPrinters = false;
    return options;
}

int fail(std::ostream& err, const std::string& message) {
    err << "vembrix: " << message << "\n";
    return configcommands::kExitFailed;
}

}  // namespace

bool isPrinterCommand(int argc, const char* const* argv) {
    if (argc < 3 || std::string_view(argv[1]) != "printer")
        return false;
    const std::string_view verb = argv[2];
    return verb == "test" || verb == "name";
}

std::string usage() {
    return "  vembrix printer test NAME\n"
           "  vembrix printer name NAME";
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    if (argc != 4) {
        err << "usage:\n" << usage() << "\n";
        return configcommands::kExitUsage;
    }
    const std::string_view verb = argv[2];
    const std::string name = argv[3];
    CDevicesList devices;
    if (!devices.loadDevices())
        return fail(err, CINIHelper::LastError());
    CDeviceInfo device;
    if (!devices.getDeviceInfo(name, device))
        return fail(err, "unknown printer '" + name + "'");
    if (!CBridgePrinterActions::hasBridge(device.printerType))
        return fail(err, "Unknown printer type. ('" + name + "' has type " +
                             std::to_string(device.printerType) + ")");
    const std::string cannotConnect =
        "Cannot connect to printer. ('" + name + "' on " + device.portText() + ")";
    CLabelPrinterApi label(devices);
    CThermalPrinterController pos(devices, unwatched());
    CBridgePrinterActions printers(label, pos);
    if (verb == "test")
        return printers.printTestPage(name, device.printerType) ? configcommands::kExitOk
                                                                : fail(err, cannotConnect);
    std::string printerName;
    if (!printers.readPrinterName(name, device.printerType, printerName))
        return fail(err, cannotConnect);
    out << printerName << "\n";
    return configcommands::kExitOk;
}

}  // namespace printercommands
