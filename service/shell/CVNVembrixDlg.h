// The main window's behaviour, without a toolkit: the list of configured printers and
// its selection, which buttons work, the buttons' actions and their messages, and
// whether the window is shown or waits in the notification area. The view draws the
// state after every action it forwards, runs the dialogs modally and shows message
// boxes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MessageBoxView.h"

class CAddDeviceDlg;
class CDevicesList;
class CPortDiscovery;
class CPrinterActions;
class CServiceControl;
class CServiceSettings;
class CVembrixSettingDlg;

struct PrinterRow {
    std::string category;
    std::string printerName;
    std::string logicalName;
};

class CCVNVembrixDlg {
public:
    class View : public CMessageBoxView {
    public:
        // Modal; true when the dialog ended with OK.
        virtual bool runPrinterDialog(CAddDeviceDlg& dialog) = 0;
        virtual bool runSettingsDialog(CVembrixSettingDlg& dialog) = 0;
        // Ends the window's life: the service's exit follows.
        virtual void quit() = 0;
    };

    static constexpr const char* kTrayTip = "CORVANE Vembrix";
    static constexpr const char* kExitItem = "Exit";

    CCVNVembrixDlg(CDevicesList& devices, CServiceSettings& settings, CServiceControl& service,
                   CPortDiscovery& discovery, CPrinterActions& printers);

    void attach(View& view) { m_view = &view; }

    // The window at start: shown after the ShowWindow setting. Without a tray icon
    // there would be no way to show a hidden window, so it is shown then.
    void start(bool trayIconAdded);

    const std::string& title() const { return m_title; }
    const std::string& copyright() const { return m_copyright; }
    const std::vector<PrinterRow>& rows() const { return m_rows; }
    int selectedRow() const { return m_selected; }
    // "Printer setting", "Test Print" and "Remove Printer".
    bool editButtonsEnabled() const { return m_selected >= 0; }
    bool windowShown() const { return !m_hidden; }
    // "Show Window" or "Hide Window".
    std::string trayMenuFirstItem() const;

    // -1 for none.
    void selectRow(int row);
    void addPrinter();
    void editPrinter();
    void removePrinter();
    void testPrint();
    void openSettings();
    // "Close", the tray menu's first item and minimising: shows a hidden window and
    // hides a shown one.
    void toggle();
    // The window's close command (Alt+F4): hides it; the service goes on.
    void closeCommand();
    void trayDoubleClicked();
    // The tray menu's "Exit".
    void exit();

private:
    void fillList();
    // Adding (no name) or editing a printer; the list is filled again after OK.
    void runPrinterDialog(std::optional<std::string> editedName);
    // The selected row; none, once the user has been told, when no row is selected.
    const PrinterRow* takeSelection();
    void say(const std::string& text) const;

    CDevicesList& m_devices;
    CServiceSettings& m_settings;
    CServiceControl& m_service;
    CPortDiscovery& m_discovery;
    CPrinterActions& m_printers;
    View* m_view = nullptr;
    std::string m_title;
    std::string m_copyright;
    std::vector<PrinterRow> m_rows;
    int m_selected = -1;
    bool m_hidden = false;
};
