#include "PrinterDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

struct PortTypeButton {
    const char* id;
    const char* text;
    int portType;
};
constexpr PortTypeButton kPortTypeButtons[] = {{"1005", "USB", kPortUsb},
                                               {"1006", "Serial", kPortSerial},
                                               {"1007", "Network", kPortWiredNetwork},
                                               {"1008", "Bluetooth", kPortBluetooth},
                                               {"1009", "LPT", kPortParallel}};

QStringList texts(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items)
        list.append(QString::fromStdString(item));
    return list;
}

void setItems(QComboBox* combo, const std::vector<std::string>& items, int selected) {
    const QSignalBlocker quiet(combo);
    const QStringList wanted = texts(items);
    QStringList current;
    for (int i = 0; i < combo->count(); ++i)
        current.append(combo->itemText(i));
    if (current != wanted) {
        combo->clear();
        combo->addItems(wanted);
    }
    combo->setCurrentIndex(selected);
}

void setText(QLineEdit* edit, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    if (edit->text() != wanted)
        edit->setText(wanted);
}

// Controls that come and go with the port type keep their room, so the others stay put.
template <typename Widget>
Widget* keepingRoom(Widget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

}  // namespace

CPrinterDialog::CPrinterDialog(CAddDeviceDlg& presenter, QWidget* parent)
    : CFramedDialog(parent, Qt::Dialog), m_presenter(presenter) {
    setObjectName("CAddDeviceDlg");
    m_presenter.attach(*this);
    m_printerType = addCombo("1016", &CAddDeviceDlg::choosePrinterType);
    m_logicalName = addEdit("1022", &CAddDeviceDlg::setLogicalName);
    m_deviceName = addEdit("1027", &CAddDeviceDlg::setDeviceName);
    m_checkStatus = keepingRoom(new QCheckBox("Check status", this));
    m_checkStatus->setObjectName("1019");
    connect(m_checkStatus, &QCheckBox::clicked, this,
            [this](bool on) { forward([&] { m_presenter.setCheckStatus(on); }); });

    auto* printer = new QGridLayout;
    printer->addWidget(new QLabel("Printer Type :", this), 0, 0);
    printer->addWidget(m_printerType, 0, 1);
    printer->addWidget(new QLabel("Logical name :", this), 1, 0);
    printer->addWidget(m_logicalName, 1, 1);
    printer->addWidget(new QLabel("Device name :", this), 2, 0);
    printer->addWidget(m_deviceName, 2, 1);
    printer->addWidget(m_checkStatus, 3, 1);
    printer->setColumnStretch(1, 1);
    body()->addLayout(printer);
    body()->addWidget(interfaceGroup());
    body()->addWidget(communicationGroup());

    auto* testPrint = new QPushButton("Test Print", this);
    testPrint->setObjectName("1000");
    connect(testPrint, &QPushButton::clicked, this,
            [this] { forward([&] { m_presenter.testPrint(); }); });
    QHBoxLayout* buttons =
        addSaveAndClose([this] { return m_presenter.save(); }, [this] { render(); });
    buttons->insertWidget(0, testPrint);

    render();
    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
}

QComboBox* CPrinterDialog::addCombo(const char* id, void (CAddDeviceDlg::*choose)(int)) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(id);
    connect(combo, &QComboBox::activated, this,
            [this, choose](int index) { forward([&] { (m_presenter.*choose)(index); }); });
    return combo;
}

QLineEdit* CPrinterDialog::addEdit(const char* id, void (CAddDeviceDlg::*set)(const std::string&)) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(id);
    connect(edit, &QLineEdit::textEdited, this,
            [&presenter = m_presenter, set](const QString& text) {
                (presenter.*set)(text.toStdString());
            });
    return edit;
}

QGroupBox* CPrinterDialog::interfaceGroup() {
    auto* group = new QGroupBox("Interface type", this);
    auto* row = new QHBoxLayout(group);
    m_portTypes = new QButtonGroup(this);
    for (const PortTypeButton& button : kPortTypeButtons) {
        auto* radio = new QRadioButton(button.text, group);
        radio->setObjectName(button.id);
        m_portTypes->addButton(radio, button.portType);
        row->addWidget(radio);
    }
    connect(m_portTypes, &QButtonGroup::idClicked, this,
            [this](int portType) { forward([&] { m_presenter.choosePortType(portType); }); });
    return group;
}

QGroupBox* CPrinterDialog::communicationGroup() {
    auto* group = new QGroupBox("Communication setting", this);
    m_portLabel = new QLabel("Port :", group);
    m_ports = keepingRoom(addCombo("1010", &CAddDeviceDlg::choosePort));
    m_addressLabel = new QLabel("IP :", group);
    m_address = addEdit("1017", &CAddDeviceDlg::setAddress);
    m_search = new QPushButton("Search", group);
    m_search->setObjectName("1026");
    keepingRoom(m_search);
    connect(m_search, &QPushButton::clicked, this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        forward([&] { m_presenter.search(); });
        QApplication::restoreOverrideCursor();
    });
    m_secondLabel = new QLabel(group);
    m_secondLabel->setObjectName("1023");
    m_baudRate = addCombo("1011", &CAddDeviceDlg::chooseBaudRate);
    m_tcpPort = addEdit("1018", &CAddDeviceDlg::setTcpPort);
    m_dataBits = addCombo("1012", &CAddDeviceDlg::chooseDataBits);
    m_parity = addCombo("1013", &CAddDeviceDlg::chooseParity);
    m_stopBits = addCombo("1014", &CAddDeviceDlg::chooseStopBits);
    m_flowControl = addCombo("1015", &CAddDeviceDlg::chooseFlowControl);

    auto* grid = new QGridLayout(group);
    grid->addWidget(m_portLabel, 0, 0);
    grid->addWidget(m_addressLabel, 0, 0);
    grid->addWidget(m_ports, 0, 1, 1, 2);
    grid->addWidget(m_address, 0, 1, 1, 2);
    grid->addWidget(m_search, 0, 3);
    grid->addWidget(m_secondLabel, 1, 0);
    grid->addWidget(m_baudRate, 1, 1);
    grid->addWidget(m_tcpPort, 1, 1);
    grid->addWidget(new QLabel("Databits :", group), 2, 0);
    grid->addWidget(m_dataBits, 2, 1);
    grid->addWidget(new QLabel("Parity :", group), 2, 2);
    grid->addWidget(m_parity, 2, 3);
    grid->addWidget(new QLabel("Stopbit(s) :", group), 3, 0);
    grid->addWidget(m_stopBits, 3, 1);
    grid->addWidget(new QLabel("Flow Control :", group), 3, 2);
    grid->addWidget(m_flowControl, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

void CPrinterDialog::forward(const std::function<void()>& action) {
    action();
    render();
}

void CPrinterDialog::render() {
    const AddDeviceDlgState& s = m_presenter.state();
    setCaption(QString::fromStdString(s.title));
    setItems(m_printerType, CAddDeviceDlg::printerTypes(), s.printerType);
    setText(m_logicalName, s.logicalName);
    setText(m_deviceName, s.deviceName);
    m_checkStatus->setChecked(s.checkStatus);
    m_checkStatus->setVisible(s.checkStatusShown);
    m_portTypes->button(s.portChoice)->setChecked(true);

    m_portLabel->setVisible(s.portLabelShown);
    setItems(m_ports, s.ports, s.port);
    m_ports->setVisible(s.portsShown);
    m_addressLabel->setVisible(s.ipLabelShown);
    setText(m_address, s.address);
    m_address->setVisible(s.addressShown);
    m_search->setVisible(s.searchShown);

    m_secondLabel->setText(QString::fromStdString(s.secondCaption));
    setItems(m_baudRate, s.baudRates, s.baudRate);
    m_baudRate->setVisible(s.baudRateShown);
    m_baudRate->setEnabled(s.baudRateEnabled);
    setText(m_tcpPort, s.tcpPort);
    m_tcpPort->setVisible(s.tcpPortShown);

    setItems(m_dataBits, s.dataBitsItems, s.dataBits);
    setItems(m_parity, CAddDeviceDlg::parities(), s.parity);
    setItems(m_stopBits, CAddDeviceDlg::stopBitsItems(), s.stopBits);
    setItems(m_flowControl, CAddDeviceDlg::flowControls(), s.flowControl);
    for (QComboBox* combo : {m_dataBits, m_parity, m_stopBits, m_flowControl})
        combo->setEnabled(s.serialSettingsEnabled);
}
