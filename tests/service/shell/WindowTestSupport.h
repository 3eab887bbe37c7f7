// Driving the real windows in a test: the service started in this process in a private
// home, its desktop (main window, tray icon, pop-ups) on Qt's offscreen platform, and
// the modal windows that open on a click answered as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Desktop.h"
#include "PopupWindows.h"
#include "PresenterFakes.h"
#include "TempHome.h"
#include "VembrixService.h"

// The modal windows that open while a test clicks: message boxes are recorded and
// closed with OK; any other modal window goes to the next handler queued for it (and
// is closed when none is queued, so that a test never hangs on it).
class ModalWatch {
public:
    ModalWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    void expect(std::function<void(QDialog&)> handler) { handlers_.push_back(std::move(handler)); }

    std::vector<std::string> boxes;
    int unexpected = 0;

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == busy_)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog)
            return;
        if (handlers_.empty()) {
            ++unexpected;
            dialog->reject();
            return;
        }
        auto handler = std::move(handlers_.front());
        handlers_.pop_front();
        busy_ = dialog;
        handler(*dialog);  // message boxes it opens are answered meanwhile
        busy_ = nullptr;
    }

    QTimer timer_;
    std::deque<std::function<void(QDialog&)>> handlers_;
    QWidget* busy_ = nullptr;
};

class RecordingFrontend final : public CServiceFrontend {
public:
    std::vector<std::string> messages;
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool servesWithoutWebServer() const override { return true; }
    void serve(CVembrixService&) override {}
};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "window_tests";
        static char* argv[] = {name, nullptr};
        if (!qApp) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QApplication(argc, argv);
        }
    }

    // The service on `ini`, with its desktop as the program builds it.
    void start(const std::string& ini) {
        home.writeFile("vembrix.ini", ini);
        home.writeFile("trace.txt", "");
        popups = std::make_unique<CPopupWindows>();
        service = std::make_unique<CVembrixService>(frontend, out, err);
        ASSERT_EQ(service->start(), CVembrixService::kServing) << err.str();
        desktop = std::make_unique<CDesktop>(*service, discovery);
        desktop->window().start();
    }
    ~WindowTest() override {
        desktop.reset();
        if (service) {
            EXPECT_TRUE(service->stop());
        }
        popups.reset();
    }

    template <typename Widget>
    static Widget* find(QWidget& parent, const char* id) {
        auto* widget = parent.findChild<Widget*>(id);
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }
    static void click(QWidget& parent, const char* id) {
        if (auto* button = find<QAbstractButton>(parent, id))
            QTest::mouseClick(button, Qt::LeftButton);
    }

    TempHome home;
    FakeDiscovery discovery;
    RecordingFrontend frontend;
    std::ostringstream out;
    std::ostringstream err;
    ModalWatch modals;
    std::unique_ptr<CPopupWindows> popups;
    std::unique_ptr<CVembrixService> service;
    std::unique_ptr<CDesktop> desktop;
};
