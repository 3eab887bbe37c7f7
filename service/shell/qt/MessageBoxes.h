// The message boxes of the Vembrix windows: the text with an "OK" button, over the
// window that asks, or alone while that window is hidden.
#pragma once

#include <string>

class QWidget;

namespace messageboxes {

void show(QWidget* parent, const std::string& text);

}  // namespace messageboxes
