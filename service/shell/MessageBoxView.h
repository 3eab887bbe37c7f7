// A window's message boxes: a presenter says what to tell the user; the view shows it
// and returns once the user has closed it.
#pragma once

#include <string>

class CMessageBoxView {
public:
    virtual ~CMessageBoxView() = default;
    virtual void showMessageBox(const std::string& text) = 0;
};
