// The main window: a frameless window with the caption bar, the printer list, the
// buttons and the copyright line over the background picture, and the tray icon with
// its menu. It draws CCVNVembrixDlg's state and forwards every click to it.
#pragma once

#include <QPixmap>
#include <QSystemTrayIcon>

#include "CVNVembrixDlg.h"
#include "FramedDialog.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

class CMainWindow final : public CFramedDialog, public CCVNVembrixDlg::View {
public:
    explicit CMainWindow(CCVNVembrixDlg& presenter);
    ~CMainWindow() override;

    // Adds the tray icon and shows the window, or keeps it hidden, after the settings.
    void start();

    bool runPrinterDialog(CAddDeviceDlg& dialog) override;
    bool runSettingsDialog(CVembrixSettingDlg& dialog) override;
    void quit() override;
    void showMessageBox(const std::string& text) override { CFramedDialog::showMessageBox(text); }

    QSystemTrayIcon& trayIcon() { return *m_tray; }
    QMenu& trayMenu() { return *m_trayMenu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Escape: nothing.
    void reject() override {}

private:
    QPushButton* addButton(const char* id, const QString& text, void (CCVNVembrixDlg::*action)());
    void buildTray();
    void forward(void (CCVNVembrixDlg::*action)());
    void render();
    void renderList();
    void selectionChanged();

    CCVNVembrixDlg& m_presenter;
    QTableWidget* m_list;
    QLabel* m_copyright;
    std::vector<QPushButton*> m_editButtons;
    QPixmap m_background;
    QSystemTrayIcon* m_tray;
    QMenu* m_trayMenu;
    QAction* m_toggleAction = nullptr;
};
