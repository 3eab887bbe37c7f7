// The service without a window: every message the window would show in a box becomes
// a line on the error stream, and it serves until a stop signal (Ctrl+C, SIGTERM).
#pragma once

#include <ostream>

#include "VembrixService.h"

class CHeadlessFrontend final : public CServiceFrontend {
public:
    explicit CHeadlessFrontend(std::ostream& err) : m_err(err) {}

    void showMessage(const std::string& text) override;
    bool servesWithoutWebServer() const override { return false; }
    void serve(CVembrixService& service) override;

private:
    std::ostream& m_err;
};
