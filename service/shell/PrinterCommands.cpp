#include "PrinterCommands.h"

#include <string_view>

#include "ConfigCommands.h"
#include "DeviceTypes.h"
#include "DevicesList.h"
#include "INIHelper.h"
#include "LabelPrinterApi.h"
#include "ThermalPrinterController.h"

namespace printercommands {

namespace {

constexpr int kLabelNameRead = 2;  // the label bridge answers with job result codes
constexpr int kPosNameRead = 1;
constexpr int kTestPrinted = 1;

enum class Bridge { None, Label, Pos };

Bridge bridgeOf(int printerType) {
    if (printerType == devicetypes::kLabelPrinter)
        return Bridge::Label;
    if (printerType >= devicetypes::kPosPrinter && printerType <= devicetypes::kRelvo)
        return Bridge::Pos;
    return Bridge::None;
}

ThermalPrinterOptions unwatched() {
    ThermalPrinterOptions options;
    options.watchPrinters = false;
    return options;
}

bool readName(Bridge bridge, const CDevicesList& devices, const std::string& name,
              std::string& printerName) {
    if (bridge == Bridge::Label)
        return CLabelPrinterApi(devices).getPrinterName(name, printerName) == kLabelNameRead;
    std::string modelName;
    if (CThermalPrinterController(devices, unwatched()).getPrinterName(name, modelName) !=
        kPosNameRead)
        return false;
    printerName = CThermalPrinterController::physicalNameOf(modelName);
    return true;
}

bool printTest(Bridge bridge, const CDevicesList& devices, const std::string& name) {
    if (bridge == Bridge::Label)
        return CLabelPrinterApi(devices).printTestPage(name) == kTestPrinted;
    return CThermalPrinterController(devices, unwatched()).printTestPage(name) == kTestPrinted;
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
    const Bridge bridge = bridgeOf(device.printerType);
    if (bridge == Bridge::None)
        return fail(err, "Unknown printer type. ('" + name + "' has type " +
                             std::to_string(device.printerType) + ")");
    const std::string cannotConnect =
        "Cannot connect to printer. ('" + name + "' on " + device.portText() + ")";
    if (verb == "test")
        return printTest(bridge, devices, name) ? configcommands::kExitOk
                                                : fail(err, cannotConnect);
    std::string printerName;
    if (!readName(bridge, devices, name, printerName))
        return fail(err, cannotConnect);
    out << printerName << "\n";
    return configcommands::kExitOk;
}

}  // namespace printercommands
