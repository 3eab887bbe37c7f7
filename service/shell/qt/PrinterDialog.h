// The printer dialog: draws CAddDeviceDlg's state and forwards every change of a
// control and every button to it. Controls carry their control ids as object names.
#pragma once

#include "AddDeviceDlg.h"
#include "FramedDialog.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CPrinterDialog final : public CFramedDialog {
public:
    CPrinterDialog(CAddDeviceDlg& presenter, QWidget* parent);

private:
    QComboBox* addCombo(const char* id, void (CAddDeviceDlg::*choose)(int));
    QLineEdit* addEdit(const char* id, void (CAddDeviceDlg::*set)(const std::string&));
    QGroupBox* interfaceGroup();
    QGroupBox* communicationGroup();
    void forward(const std::function<void()>& action);
    void render();

    CAddDeviceDlg& m_presenter;
    QComboBox* m_printerType;
    QLineEdit* m_logicalName;
    QLineEdit* m_deviceName;
    QCheckBox* m_checkStatus;
    QButtonGroup* m_portTypes;
    QLabel* m_portLabel;
    QComboBox* m_ports;
    QLabel* m_addressLabel;
    QLineEdit* m_address;
    QPushButton* m_search;
    QLabel* m_secondLabel;
    QComboBox* m_baudRate;
    QLineEdit* m_tcpPort;
    QComboBox* m_dataBits;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    QComboBox* m_flowControl;
};
