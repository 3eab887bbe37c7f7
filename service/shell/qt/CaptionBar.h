// The drawn title bar of every Vembrix window: the caption text on the caption bar's
// gradient. Dragging it moves its window.
#pragma once

#include <QPoint>
#include <QWidget>

class CCaptionBar final : public QWidget {
public:
    static constexpr int kHeight = 24;

    explicit CCaptionBar(QWidget* parent);
    void setText(const QString& text);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QString m_text;
    QPoint m_grab;  // where a drag without the window manager's help took hold
    bool m_dragging = false;
};
