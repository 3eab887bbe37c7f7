#include "CVNVembrixDlg.h"

#include <cstdio>

#include "AddDeviceDlg.h"
#include "DeviceTypes.h"
#include "DevicesList.h"
#include "INIHelper.h"
#include "PrinterActions.h"
#include "ProgramFiles.h"
#include "ServiceControl.h"
#include "ServiceSettings.h"
#include "VembrixSettingDlg.h"

namespace {

constexpr const char* kNoVersionTitle = "Vembrix";
constexpr const char* kSelectPrinterMessage = "Select a printer in list";

}  // namespace

CCVNVembrixDlg::CCVNVembrixDlg(CDevicesList& devices, CServiceSettings& settings,
                               CServiceControl& service, CPortDiscovery& discovery,
                               CPrinterActions& printers)
    : m_devices(devices),
      m_settings(settings),
      m_service(service),
      m_discovery(discovery),
      m_printers(printers),
      m_title(kNoVersionTitle) {
    const std::string program = programfiles::programFileName(false);
    programfiles::VersionStrings version;
    if (programfiles::versionStrings(program, version)) {
        m_title =
            version.productName + " (Version " + programfiles::productVersionText(program) + ")";
        m_copyright = version.legalCopyright;
    }
    fillList();
}

void CCVNVembrixDlg::start(bool trayIconAdded) {
    m_selected = -1;
    m_hidden = m_settings.showWindow() == 0 && trayIconAdded;
}

std::string CCVNVembrixDlg::trayMenuFirstItem() const {
    return m_hidden ? "Show Window" : "Hide Window";
}

void CCVNVembrixDlg::fillList() {
    std::vector<CDeviceInfo> devices;
    m_devices.copyDeviceList(devices);
    m_rows.clear();
    for (const CDeviceInfo& device : devices)
        m_rows.push_back(
            {devicetypes::typeName(device.printerType), device.physicalName, device.logicalName});
}

void CCVNVembrixDlg::selectRow(int row) {
    m_selected = row >= 0 && row < static_cast<int>(m_rows.size()) ? row : -1;
}

const PrinterRow* CCVNVembrixDlg::takeSelection() {
    if (m_selected < 0) {
        say(kSelectPrinterMessage);
        return nullptr;
    }
    return &m_rows[static_cast<size_t>(m_selected)];
}

void CCVNVembrixDlg::addPrinter() {
    runPrinterDialog(std::nullopt);
}

void CCVNVembrixDlg::editPrinter() {
    if (const PrinterRow* row = takeSelection())
        runPrinterDialog(row->logicalName);
}

void CCVNVembrixDlg::runPrinterDialog(std::optional<std::string> editedName) {
    CAddDeviceDlg dialog(m_devices, m_discovery, m_printers, std::move(editedName));
    if (m_view->runPrinterDialog(dialog))
        fillList();
    m_selected = -1;
}

void CCVNVembrixDlg::removePrinter() {
    const PrinterRow* row = takeSelection();
    if (!row)
        return;
    if (m_devices.removeDevice(row->logicalName) != 1) {
        say("The printer could not be removed: " + CINIHelper::LastError());
        return;
    }
    fillList();
    m_selected = -1;
}

void CCVNVembrixDlg::testPrint() {
    const PrinterRow* row = takeSelection();
    if (!row)
        return;
    const int type = m_devices.printerTypeOf(row->logicalName);
    if (!m_printers.printTestPage(row->logicalName, type))
        say(type == devicetypes::kUnknownType ? "Unknown printer type."
                                              : "Cannot connect to printer.");
}

void CCVNVembrixDlg::openSettings() {
    const int port = m_settings.listenPort();
    const int deviceLog = m_settings.deviceLog();
    CVembrixSettingDlg dialog(m_settings);
    if (!m_view->runSettingsDialog(dialog))
        return;
    // A server that could not start at all gets another chance with the same port.
    if (m_settings.listenPort() != port || m_service.listeningPort() == 0)
        m_service.restartWebServer();
    if (m_settings.deviceLog() != deviceLog)
        m_service.startTracing();
}

void CCVNVembrixDlg::toggle() {
    m_hidden = !m_hidden;
}

void CCVNVembrixDlg::closeCommand() {
    m_hidden = true;
}

void CCVNVembrixDlg::trayDoubleClicked() {
    if (!m_hidden)
        return;
    m_hidden = false;
    m_selected = -1;
}

void CCVNVembrixDlg::exit() {
    m_view->quit();
}

void CCVNVembrixDlg::say(const std::string& text) const {
    m_view->showMessageBox(text);
}
