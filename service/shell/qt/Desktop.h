// The window's side of a running service: the printer actions on the service's own
// bridges, the main window's presenter on its printer list and settings, and the main
// window with its tray icon.
#pragma once

#include "CVNVembrixDlg.h"
#include "MainWindow.h"
#include "PrinterActions.h"

class CPortDiscovery;
class CVembrixService;

class CDesktop {
public:
    // Between the service's start and its stop.
    CDesktop(CVembrixService& service, CPortDiscovery& discovery);

    CMainWindow& window() { return m_window; }

private:
    CBridgePrinterActions m_printers;
    CCVNVembrixDlg m_presenter;
    CMainWindow m_window;
};
