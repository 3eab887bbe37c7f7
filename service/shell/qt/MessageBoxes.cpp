#include "MessageBoxes.h"

#include <QMessageBox>

namespace messageboxes {

void show(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, "Vembrix", QString::fromStdString(text), QMessageBox::Ok,
                    parent && parent->isVisible() ? parent : nullptr);
    box.setObjectName("messageBox");
    box.exec();
}

}  // namespace messageboxes
