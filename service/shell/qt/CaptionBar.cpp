#include "CaptionBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "PrefsStatic.h"

CCaptionBar::CCaptionBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setCursor(Qt::SizeAllCursor);
}

void CCaptionBar::setText(const QString& text) {
    m_text = text;
    update();
}

void CCaptionBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const CPrefsStatic::Strip& strip : CPrefsStatic::gradient(width())) {
        const CPrefsStatic::Color& c = strip.color;
        painter.fillRect(strip.left, 0, strip.width, height(), QColor(c.red, c.green, c.blue));
    }
    QFont font = painter.font();
    font.setPixelSize(CPrefsStatic::kTextHeight);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::Button));
    const QRect textArea = rect().adjusted(CPrefsStatic::kTextLeft, 0, 0, 0);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
}

void CCaptionBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the window as it would by its own title bar; without
    // one the bar moves it itself.
    QWindow* handle = window()->windowHandle();
    m_dragging = !(handle && handle->startSystemMove());
    m_grab = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void CCaptionBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_grab);
}
