// The real windows on the real service, clicked as a user would, on Qt's offscreen
// platform: adding and test-printing a printer on the virtual printer, hiding and
// showing the window, moving the listener to another port, and a printer fault in the
// pop-up.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include "HttpTestSupport.h"
#include "MessageWindow.h"
#include "PortHolder.h"
#include "VirtualPrinter.h"
#include "WindowTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

std::string settingsSection(int listenPort, int showWindow = 1) {
    return "[Vembrix]\r\nListenPort=" + std::to_string(listenPort) +
           "\r\nShowWindow=" + std::to_string(showWindow) + "\r\n";
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

Lines rowTexts(QTableWidget* list, int row) {
    Lines texts;
    for (int column = 0; column < list->columnCount(); ++column)
        texts.push_back(list->item(row, column)->text().toStdString());
    return texts;
}

Lines menuTexts(QMenu& menu) {
    Lines texts;
    for (QAction* action : menu.actions())
        texts.push_back(action->text().toStdString());
    return texts;
}

TEST_F(WindowTest, AddAPrinterByClickingThenTestPrintItOnTheVirtualPrinter) {
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    start(settingsSection(PortHolder::freePort()));
    CMainWindow& window = desktop->window();
    ASSERT_TRUE(window.isVisible());
    auto* list = find<QTableWidget>(window, "1003");
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_FALSE(find<QAbstractButton>(window, "1001")->isEnabled());

    modals.expect([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Add Printer");
        click(dialog, "1007");  // Network
        auto* tcpPort = find<QLineEdit>(dialog, "1018");
        EXPECT_TRUE(tcpPort->isVisible());
        EXPECT_EQ(tcpPort->text(), "9100");
        EXPECT_FALSE(find<QComboBox>(dialog, "1011")->isVisible());
        EXPECT_FALSE(find<QComboBox>(dialog, "1012")->isEnabled());
        typeInto(find<QLineEdit>(dialog, "1017"), "127.0.0.1");
        typeInto(tcpPort, QString::number(printer.ports()[0]));
        auto* type = find<QComboBox>(dialog, "1016");
        QTest::keyClick(type, Qt::Key_Down);
        QTest::keyClick(type, Qt::Key_Down);
        EXPECT_EQ(type->currentText(), "POSPrinter");
        click(dialog, "1");  // Save, with the device name left for the printer to tell
    });
    click(window, "1004");
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(rowTexts(list, 0), (Lines{"POSPrinter", "VPRINTER-M1", "Printer1"}));
    EXPECT_NE(home.readFile("vembrix.ini").find("Physical=VPRINTER-M1"), std::string::npos);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 1)).center());
    ASSERT_TRUE(find<QAbstractButton>(window, "1001")->isEnabled());
    click(window, "1001");  // Test Print
    ASSERT_TRUE(printer.journal().waitForCount("cut", 1, std::chrono::seconds(20)));
    const auto texts = printer.journal().elements("text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front()["text"].asString(), "Halvard Print Works");
    EXPECT_EQ(modals.boxes, Lines{});
    EXPECT_EQ(modals.unexpected, 0);
}

TEST_F(WindowTest, CloseCommandsHideTheWindowAndTheTrayBringsItBack) {
    start(settingsSection(PortHolder::freePort()));
    CMainWindow& window = desktop->window();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.trayIcon().toolTip(), "CORVANE Vembrix");
    EXPECT_EQ(menuTexts(window.trayMenu()), (Lines{"Hide Window", "Exit"}));

    QTest::keyClick(&window, Qt::Key_Escape);  // does nothing
    EXPECT_TRUE(window.isVisible());
    window.close();  // what Alt+F4 asks of the window
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(menuTexts(window.trayMenu()), (Lines{"Show Window", "Exit"}));

    window.trayMenu().actions().front()->trigger();
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Return);  // "Close", the default button
    EXPECT_FALSE(window.isVisible());
    emit window.trayIcon().activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(modals.boxes, Lines{});
}

// A window that only hides when asked to close must not keep Exit from ending the
// program's event loop.
TEST_F(WindowTest, ExitInTheTrayMenuEndsTheEventLoopWithTheWindowShown) {
    start(settingsSection(PortHolder::freePort()));
    CMainWindow& window = desktop->window();
    ASSERT_TRUE(window.isVisible());
    QTimer::singleShot(0, [&] { window.trayMenu().actions().back()->trigger(); });
    QTimer::singleShot(10000, [] { QApplication::exit(1); });  // against a hang only
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowTest, ANewPortInTheSettingsMovesTheListener) {
    const int before = PortHolder::freePort();
    start(settingsSection(before));
    ASSERT_EQ(service->listeningPort(), before);
    const int after = PortHolder::freePort();

    modals.expect([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Vembrix setting");
        typeInto(find<QLineEdit>(dialog, "1018"), QString::number(after));
        click(dialog, "1");
    });
    click(desktop->window(), "1006");
    EXPECT_EQ(service->listeningPort(), after);
    const std::string page = roundTrip(after, "GET /vembrix HTTP/1.1\r\n\r\n").value_or("");
    EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page;
    EXPECT_FALSE(roundTrip(before, "GET /vembrix HTTP/1.1\r\n\r\n").has_value());
    EXPECT_NE(home.readFile("vembrix.ini").find("ListenPort=" + std::to_string(after)),
              std::string::npos);
    EXPECT_EQ(frontend.messages, Lines{});
}

// Without its web server the window stays, and Save in the settings tries the same port
// again once it is free.
TEST_F(WindowTest, AServerThatCouldNotStartStartsFromTheSettingsOnceThePortIsFree) {
    auto taken = std::make_unique<PortHolder>(0, false);  // bound, so no listener sees it
    const int port = taken->port();
    start(settingsSection(port));
    EXPECT_EQ(frontend.messages, Lines{"cannot start Web server"});
    EXPECT_EQ(service->listeningPort(), 0);
    EXPECT_TRUE(desktop->window().isVisible());

    taken.reset();
    modals.expect([&](QDialog& dialog) { click(dialog, "1"); });
    click(desktop->window(), "1006");
    EXPECT_EQ(service->listeningPort(), port);
    EXPECT_TRUE(roundTrip(port, "GET /vembrix HTTP/1.1\r\n\r\n").has_value());
}

// A watched printer's fault goes from the virtual printer through the POS library and
// the bridge's pop-up thread to a window on the window thread.
TEST_F(WindowTest, AWatchedPrintersFaultShowsInThePopupUntilOk) {
    vprinter::VirtualPrinter printer;
    ASSERT_TRUE(printer.start());
    start(settingsSection(PortHolder::freePort()) +
          "[Watched]\r\nPrinterType=2\r\nPortType=2\r\nPortName=127.0.0.1\r\nBaudRate=" +
          std::to_string(printer.ports()[0]) + "\r\nCheckStatus=1\r\n");
    ASSERT_TRUE(printer.journal().waitForCount("automatic_status", 1, std::chrono::seconds(20)));
    auto shownPopup = [&]() -> CMessageWindow* {
        for (CMessageWindow* window : popups->windows())
            if (window->isVisible())
                return window;
        return nullptr;
    };

    printer.changeCondition([](vprinter::PrinterCondition& c) { c.coverOpen = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownPopup() != nullptr; }, 20000));
    CMessageWindow& popup = *shownPopup();
    EXPECT_EQ(find<QLabel>(popup, "1031")->text(), "Cover open!!");
    EXPECT_EQ(popup.windowTitle(), "Vembrix");
    EXPECT_TRUE(popup.windowFlags() & Qt::WindowStaysOnTopHint);
    click(popup, "1000");  // Ok
    EXPECT_FALSE(popup.isVisible());

    printer.changeCondition([](vprinter::PrinterCondition& c) {
        c.coverOpen = false;
        c.paperOut = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.isVisible(); }, 20000));
    EXPECT_EQ(find<QLabel>(popup, "1031")->text(), "Paper empty!!");
    EXPECT_EQ(popups->windows().size(), 1u);
}

}  // namespace
