#include "FramedDialog.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "CaptionBar.h"
#include "MessageBoxes.h"

namespace {

const QColor kFrameColor(0, 80, 127);
constexpr int kSpacing = 6;

}  // namespace

CFramedDialog::CFramedDialog(QWidget* parent, Qt::WindowFlags kind)
    : QDialog(parent, kind | Qt::FramelessWindowHint),
      m_caption(new CCaptionBar(this)),
      m_body(new QVBoxLayout) {
    m_body->setContentsMargins(12, 10, 12, 12);
    // Set here, or the body's layouts would take the frame's spacing of 0.
    m_body->setSpacing(kSpacing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addLayout(m_body, 1);
}

void CFramedDialog::setCaption(const QString& text) {
    setWindowTitle(text);
    m_caption->setText(text);
}

void CFramedDialog::showMessageBox(const std::string& text) {
    messageboxes::show(this, text);
}

QHBoxLayout* CFramedDialog::addSaveAndClose(std::function<bool()> save,
                                            std::function<void()> redraw) {
    auto* saveButton = new QPushButton("Save", this);
    saveButton->setObjectName("1");
    saveButton->setDefault(true);
    connect(saveButton, &QPushButton::clicked, this, [this, save, redraw] {
        if (save())
            accept();
        else
            redraw();
    });
    auto* close = new QPushButton("Close", this);
    close->setObjectName("2");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(close);
    m_body->addSpacing(6);
    m_body->addLayout(buttons);
    return buttons;
}

void CFramedDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(kFrameColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
