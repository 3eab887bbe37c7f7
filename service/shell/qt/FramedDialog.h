// The look every Vembrix window shares: no system title bar, the caption bar at the
// top, a thin frame. Content goes into body(); message boxes open over the window.
#pragma once

#include <QDialog>
#include <functional>

#include "MessageBoxView.h"

class CCaptionBar;
class QHBoxLayout;
class QVBoxLayout;

class CFramedDialog : public QDialog, public CMessageBoxView {
public:
    // kind: Qt::Dialog for a dialog over its parent, Qt::Window for a window of its own.
    CFramedDialog(QWidget* parent, Qt::WindowFlags kind);

    // The caption bar's text and the window's title.
    void setCaption(const QString& text);
    void showMessageBox(const std::string& text) override;

protected:
    CCaptionBar* captionBar() const { return m_caption; }
    QVBoxLayout* body() const { return m_body; }
    // A row of "Save" (the default button; it ends the dialog with OK when `save` says
    // so and calls `redraw` otherwise) and "Close" at the end of the body. Further
    // buttons may go in front of them.
    QHBoxLayout* addSaveAndClose(std::function<bool()> save, std::function<void()> redraw);
    // The frame, over whatever a derived window painted first.
    void paintEvent(QPaintEvent* event) override;

private:
    CCaptionBar* m_caption;
    QVBoxLayout* m_body;
};
