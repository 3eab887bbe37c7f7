#include "PrinterActions.h"

#include "DeviceTypes.h"
#include "LabelPrinterApi.h"
#include "ThermalPrinterController.h"

namespace {

constexpr int kLabelNameRead = 2;  // the label bridge answers with job result codes
constexpr int kPosNameRead = 1;
constexpr int kTestPrinted = 1;

bool isPosType(int printerType) {
    return printerType >= devicetypes::kPosPrinter && printerType <= devicetypes::kRelvo;
}

}  // namespace

bool CBridgePrinterActions::hasBridge(int printerType) {
    return printerType == devicetypes::kLabelPrinter || isPosType(printerType);
}

bool CBridgePrinterActions::printTestPage(const std::string& logicalName, int printerType) {
    if (printerType == devicetypes::kLabelPrinter)
        return m_label.printTestPage(logicalName) == kTestPrinted;
    return isPosType(printerType) && m_pos.printTestPage(logicalName) == kTestPrinted;
}

bool CBridgePrinterActions::readPrinterName(const std::string& logicalName, int printerType,
                                            std::string& name) {
    if (printerType == devicetypes::kLabelPrinter)
        return m_label.getPrinterName(logicalName, name) == kLabelNameRead;
    if (!isPosType(printerType) || m_pos.getPrinterName(logicalName, name) != kPosNameRead)
        return false;
    name = CThermalPrinterController::physicalNameOf(name);
    return true;
}
