// The label library's printer connection through cvnport's exports.
#pragma once

#include "LabelPort.h"

class CCvnPortOpener final : public CLabelPortOpener {
public:
    std::unique_ptr<CLabelPort> open(int portType, const std::string& portName) override;
    std::string findUsbPrinter(const std::string& name) override;
};
