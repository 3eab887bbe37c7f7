#include "FramedDialog.h"

#include <QPainter>
#include <QVBoxLayout>

#include "CaptionBar.h"

namespace {

const QColor kFrameColor(0, 80, 127);

}  // namespace

CFramedDialog::CFramedDialog(QWidget* parent, Qt::WindowFlags kind)
    : QDialog(parent, kind | Qt::FramelessWindowHint),
      m_caption(new CCaptionBar(this)),
      m_body(new QVBoxLayout) {
    m_body->setContentsMargins(12, 10, 12, 12);
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

void CFramedDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(kFrameColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
