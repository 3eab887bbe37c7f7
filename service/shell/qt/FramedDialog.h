// The look every Vembrix window shares: no system title bar, the caption bar at the
// top, a thin frame. Content goes into body().
#pragma once

#include <QDialog>

class CCaptionBar;
class QVBoxLayout;

class CFramedDialog : public QDialog {
public:
    // kind: Qt::Dialog for a dialog over its parent, Qt::Window for a window of its own.
    CFramedDialog(QWidget* parent, Qt::WindowFlags kind);

    // The caption bar's text and the window's title.
    void setCaption(const QString& text);

protected:
    CCaptionBar* captionBar() const { return m_caption; }
    QVBoxLayout* body() const { return m_body; }
    // The frame, over whatever a derived window painted first.
    void paintEvent(QPaintEvent* event) override;

private:
    CCaptionBar* m_caption;
    QVBoxLayout* m_body;
};
