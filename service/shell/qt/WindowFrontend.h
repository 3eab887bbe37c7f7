// The service with its window: the main window and the tray icon on the same service
// that runs without one, the message boxes of the start-up, and the bridges' pop-ups
// as windows. It serves until "Exit" in the tray menu or a stop signal.
#pragma once

#include <memory>
#include <ostream>

#include "VembrixService.h"

class CPopupWindows;
class QApplication;

class CWindowFrontend final : public CServiceFrontend {
public:
    // argc and argv live as long as the front end (the toolkit keeps them).
    CWindowFrontend(int& argc, char** argv, std::ostream& err);
    ~CWindowFrontend() override;

    void begin() override;
    // On the error stream, and in a message box.
    void showMessage(const std::string& text) override;
    bool servesWithoutWebServer() const override { return true; }
    void serve(CVembrixService& service) override;

private:
    int& m_argc;
    char** m_argv;
    std::ostream& m_err;
    std::unique_ptr<QApplication> m_application;
    std::unique_ptr<CPopupWindows> m_popups;
};
