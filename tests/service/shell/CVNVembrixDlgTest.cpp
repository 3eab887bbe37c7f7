// The main window's behaviour on a real printer list and settings in a private home:
// the list and its buttons, the actions and their messages, showing and hiding, and
// what a settings change restarts.
#include "CVNVembrixDlg.h"

#include <gtest/gtest.h>

#include "AddDeviceDlg.h"
#include "PortHolder.h"
#include "PresenterFakes.h"
#include "ServiceSettings.h"
#include "TempHome.h"
#include "VembrixSettingDlg.h"

namespace {

using Lines = std::vector<std::string>;

class FakeMainView final : public CCVNVembrixDlg::View {
public:
    Lines messages;
    std::function<bool(CAddDeviceDlg&)> printerDialog = [](CAddDeviceDlg&) { return false; };
    std::function<bool(CVembrixSettingDlg&)> settingsDialog = [](CVembrixSettingDlg&) {
        return false;
    };
    int dialogs = 0;
    bool quitted = false;

    void showMessageBox(const std::string& text) override { messages.push_back(text); }
    bool runPrinterDialog(CAddDeviceDlg& dialog) override {
        ++dialogs;
        return printerDialog(dialog);
    }
    bool runSettingsDialog(CVembrixSettingDlg& dialog) override {
        ++dialogs;
        return settingsDialog(dialog);
    }
    void quit() override { quitted = true; }
};

class CVNVembrixDlgTest : public ::testing::Test {
protected:
    CVNVembrixDlgTest() {
        home.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=8080\r\nShowWindow=1\r\n");
        settings.loadSettings();
        devices.addOrUpdateDevice(networkPrinter("Till", 2));
        devices.addOrUpdateDevice(networkPrinter("Labels", 1));
    }
    std::unique_ptr<CCVNVembrixDlg> open() {
        auto window =
            std::make_unique<CCVNVembrixDlg>(devices, settings, service, discovery, printers);
        window->attach(view);
        window->start(true);
        return window;
    }
    static Lines logicalNames(const CCVNVembrixDlg& window) {
        Lines names;
        for (const PrinterRow& row : window.rows())
            names.push_back(row.logicalName);
        return names;
    }

    TempHome home;
    CDevicesList devices;
    CServiceSettings settings;
    FakeService service;
    FakeDiscovery discovery;
    FakePrinters printers;
    FakeMainView view;
};

TEST_F(CVNVembrixDlgTest, ListsEveryPrinterWithItsCategoryInFileOrder) {
    CDeviceInfo odd = networkPrinter("Odd", 7);
    odd.physicalName = "X-1";
    devices.addOrUpdateDevice(odd);
    auto window = open();
    ASSERT_EQ(window->rows().size(), 3u);
    const PrinterRow& till = window->rows()[0];
    EXPECT_EQ(till.category + "|" + till.printerName + "|" + till.logicalName, "POSPrinter||Till");
    EXPECT_EQ(window->rows()[1].category, "LabelPrinter");
    EXPECT_EQ(window->rows()[2].category, "Unknown type");
    EXPECT_EQ(window->rows()[2].printerName, "X-1");
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_FALSE(window->editButtonsEnabled());
}

TEST_F(CVNVembrixDlgTest, ActionsOnARowWithoutASelectionOnlySaySo) {
    auto window = open();
    for (void (CCVNVembrixDlg::*action)() :
         {&CCVNVembrixDlg::editPrinter, &CCVNVembrixDlg::removePrinter,
          &CCVNVembrixDlg::testPrint}) {
        ((*window).*action)();
    }
    EXPECT_EQ(view.messages, Lines(3, "Select a printer in list"));
    EXPECT_EQ(view.dialogs, 0);
    EXPECT_EQ(printers.printed, Lines{});
    EXPECT_EQ(devices.size(), 2u);
}

TEST_F(CVNVembrixDlgTest, RemovingTheLastPrinterLeavesAnEmptyListAndNoEditButtons) {
    auto window = open();
    window->selectRow(1);
    EXPECT_TRUE(window->editButtonsEnabled());
    window->removePrinter();
    EXPECT_EQ(logicalNames(*window), Lines{"Till"});
    EXPECT_EQ(window->selectedRow(), -1);
    window->selectRow(0);
    window->removePrinter();
    EXPECT_TRUE(window->rows().empty());
    EXPECT_FALSE(window->editButtonsEnabled());
    // Out of range, as a stale click would be: no selection.
    window->selectRow(0);
    EXPECT_EQ(window->selectedRow(), -1);
    CDevicesList reread;
    reread.loadDevices();
    EXPECT_EQ(reread.size(), 0u);
    EXPECT_EQ(view.messages, Lines{});
}

TEST_F(CVNVembrixDlgTest, TestPrintSaysWhyItFailedAndKeepsTheSelection) {
    CDeviceInfo untyped = networkPrinter("Untyped", 0);
    devices.addOrUpdateDevice(untyped);
    struct Case {
        int row;
        bool reachable;
        Lines messages;
    };
    const Case cases[] = {{0, true, {}},
                          {1, false, {"Cannot connect to printer."}},
                          {2, true, {"Unknown printer type."}}};
    auto window = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        view.messages.clear();
        printers.reachable = c.reachable;
        window->selectRow(c.row);
        window->testPrint();
        EXPECT_EQ(view.messages, c.messages);
        EXPECT_EQ(window->selectedRow(), c.row);
    }
    EXPECT_EQ(printers.printed, (Lines{"Till/2", "Labels/1", "Untyped/0"}));
}

TEST_F(CVNVembrixDlgTest, PrinterDialogsThatEndWithOkRefillTheListAndClearTheSelection) {
    auto window = open();
    view.printerDialog = [](CAddDeviceDlg& dialog) {
        dialog.choosePortType(kPortWiredNetwork);
        dialog.setDeviceName("New");
        return dialog.save();
    };
    window->selectRow(0);
    window->addPrinter();
    EXPECT_EQ(logicalNames(*window), (Lines{"Till", "Labels", "Printer1"}));
    EXPECT_EQ(window->selectedRow(), -1);

    std::string edited;
    view.printerDialog = [&](CAddDeviceDlg& dialog) {
        edited = dialog.state().title + ": " + dialog.state().logicalName;
        return false;
    };
    window->selectRow(1);
    window->editPrinter();
    EXPECT_EQ(edited, "Printer setting: Labels");
    EXPECT_EQ(window->selectedRow(), -1);
}

TEST_F(CVNVembrixDlgTest, ShowingAndHidingFollowTheSettingTheTrayAndTheCommands) {
    home.writeFile("vembrix.ini", "[Vembrix]\r\nShowWindow=0\r\n");
    settings.loadSettings();
    auto window = open();
    EXPECT_FALSE(window->windowShown());
    EXPECT_EQ(window->trayMenuFirstItem(), "Show Window");

    window->selectRow(0);
    window->trayDoubleClicked();
    EXPECT_TRUE(window->windowShown());
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_EQ(window->trayMenuFirstItem(), "Hide Window");
    window->selectRow(0);
    window->trayDoubleClicked();  // shown already: nothing changes
    EXPECT_EQ(window->selectedRow(), 0);

    window->closeCommand();  // Alt+F4 hides; the service goes on
    EXPECT_FALSE(window->windowShown());
    EXPECT_FALSE(view.quitted);
    window->toggle();
    EXPECT_TRUE(window->windowShown());
    window->toggle();
    EXPECT_FALSE(window->windowShown());

    // No tray to bring it back: the window shows whatever the setting says.
    window->start(false);
    EXPECT_TRUE(window->windowShown());
    window->exit();
    EXPECT_TRUE(view.quitted);
}

TEST_F(CVNVembrixDlgTest, ASettingsChangeRestartsOnlyWhatItConcerns) {
    const std::string freePort = std::to_string(PortHolder::freePort());
    struct Case {
        const char* name;
        std::string port;
        bool log;
        bool ok;
        int listening;  // where the server listens before
        int restarts, tracingStarts;
    };
    const Case cases[] = {
        {"port", freePort, false, true, 8080, 1, 0},
        {"log only", "8080", true, true, 8080, 0, 1},
        {"closed", freePort, true, false, 8080, 0, 0},
        // A server that could not start gets another try on the same port.
        {"not listening", "8080", false, true, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        home.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=8080\r\nDeviceLog=0\r\n");
        settings.loadSettings();
        service = FakeService{};
        service.port = c.listening;
        view.settingsDialog = [&](CVembrixSettingDlg& dialog) {
            dialog.setListenPort(c.port);
            dialog.setDeviceLog(c.log);
            return c.ok && dialog.OnBnClickedOk();
        };
        open()->openSettings();
        EXPECT_EQ(service.restarts, c.restarts);
        EXPECT_EQ(service.tracingStarts, c.tracingStarts);
    }
}

}  // namespace
