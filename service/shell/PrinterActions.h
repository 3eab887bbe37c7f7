// What the window does to one printer through the printer bridges: print its test
// label or test receipt, and ask it for its name. Presenters take the interface; the
// bridges of the running service (or a command's own) stand behind it.
#pragma once

#include <string>

class CLabelPrinterApi;
class CThermalPrinterController;

class CPrinterActions {
public:
    virtual ~CPrinterActions() = default;
    // False when the printer cannot be opened or its type has no bridge.
    virtual bool printTestPage(const std::string& logicalName, int printerType) = 0;
    // The name the printer reports, as the printer dialog stores it.
    virtual bool readPrinterName(const std::string& logicalName, int printerType,
                                 std::string& name) = 0;
};

class CBridgePrinterActions final : public CPrinterActions {
public:
    CBridgePrinterActions(CLabelPrinterApi& label, CThermalPrinterController& pos)
        : m_label(label), m_pos(pos) {}

    // Printer types 1 (label bridge) and 2 to 4 (POS printer controller).
    static bool hasBridge(int printerType);

    bool printTestPage(const std::string& logicalName, int printerType) override;
    // A POS printer's answer loses its leading "_", which the library passes on from
    // the printer's reply.
    bool readPrinterName(const std::string& logicalName, int printerType,
                         std::string& name) override;

private:
    CLabelPrinterApi& m_label;
    CThermalPrinterController& m_pos;
};
