#include "SettingsDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

CSettingsDialog::CSettingsDialog(CVembrixSettingDlg& presenter, QWidget* parent)
    : CFramedDialog(parent, Qt::Dialog), m_presenter(presenter), m_listenPort(new QLineEdit(this)) {
    setObjectName("CVembrixSettingDlg");
    setCaption(CVembrixSettingDlg::kTitle);
    m_presenter.attach(*this);
    m_listenPort->setObjectName("1018");
    m_listenPort->setMaxLength(5);
    connect(m_listenPort, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_presenter.setListenPort(text.toStdString()); });
    m_showWindow =
        addCheckBox("1032", "Show window at start program", &CVembrixSettingDlg::setShowWindow);
    m_checkDupReq =
        addCheckBox("1033", "Check duplicated request", &CVembrixSettingDlg::setCheckDupReq);
    m_deviceLog = addCheckBox("1034", "Log", &CVembrixSettingDlg::setDeviceLog);

    auto* port = new QHBoxLayout;
    port->addWidget(new QLabel("Listening port", this));
    port->addWidget(m_listenPort);
    port->addStretch();
    body()->addLayout(port);
    for (QCheckBox* box : {m_showWindow, m_checkDupReq, m_deviceLog})
        body()->addWidget(box);

    addSaveAndClose([this] { return m_presenter.OnBnClickedOk(); }, [this] { render(); });

    render();
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

QCheckBox* CSettingsDialog::addCheckBox(const char* id, const QString& text,
                                        void (CVembrixSettingDlg::*set)(bool)) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(id);
    connect(box, &QCheckBox::clicked, this,
            [&presenter = m_presenter, set](bool on) { (presenter.*set)(on); });
    return box;
}

void CSettingsDialog::render() {
    const VembrixSettingDlgState& s = m_presenter.state();
    m_listenPort->setText(QString::fromStdString(s.listenPort));
    m_showWindow->setChecked(s.showWindow);
    m_checkDupReq->setChecked(s.checkDupReq);
    m_deviceLog->setChecked(s.deviceLog);
}
