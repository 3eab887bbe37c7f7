#include "MessageWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "CaptionBar.h"

namespace {

constexpr QSize kSize{340, 150};

}  // namespace

CMessageWindow::CMessageWindow()
    : CFramedDialog(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), m_text(new QLabel(this)) {
    setObjectName("CMessageDlg");
    setWindowIcon(QIcon(":/vembrix.png"));
    captionBar()->setObjectName("1030");
    m_text->setObjectName("1031");
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    QFont font = m_text->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    m_text->setFont(font);
    auto* ok = new QPushButton("Ok", this);
    ok->setObjectName("1000");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CMessageWindow::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    body()->addWidget(m_text, 1);
    body()->addLayout(buttons);
    resize(kSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CMessageWindow::showMessage(const std::string& title, const std::string& message) {
    m_dialog.showMessage(title, message);
    render();
}

void CMessageWindow::reject() {
    m_dialog.ok();
    render();
}

void CMessageWindow::render() {
    setCaption(QString::fromStdString(m_dialog.caption()));
    m_text->setText(QString::fromStdString(m_dialog.message()));
    setVisible(m_dialog.shown());
    if (m_dialog.shown())
        raise();
}
