#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "CaptionBar.h"
#include "PrinterDialog.h"
#include "SettingsDialog.h"

namespace {

constexpr int kColumnWidths[] = {100, 120, 120};
constexpr int kCellPadding = 4;
const char* const kColumnTitles[] = {"Category", "Printer Name", "Logical Name"};

}  // namespace

CMainWindow::CMainWindow(CCVNVembrixDlg& presenter)
    : CFramedDialog(nullptr, Qt::Window),
      m_presenter(presenter),
      m_list(new QTableWidget(0, 3, this)),
      m_copyright(new QLabel(this)),
      m_background(":/background.png"),
      m_tray(new QSystemTrayIcon(this)),
      m_trayMenu(new QMenu(this)) {
    m_presenter.attach(*this);
    setObjectName("CCVNVembrixDlg");
    setWindowIcon(QIcon(":/vembrix.png"));
    captionBar()->setObjectName("1027");
    m_copyright->setObjectName("1028");
    m_copyright->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_list->setObjectName("1003");
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setTabKeyNavigation(false);  // Tab goes on to the buttons
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    QFont listFont("Arial");
    listFont.setPixelSize(16);
    m_list->setFont(listFont);
    // A column is never narrower than its longest category name, so none is cut off.
    const int categoryWidth =
        QFontMetrics(listFont).horizontalAdvance("MobilePrinter") + 2 * kCellPadding;
    for (int column = 0; column < 3; ++column) {
        m_list->setHorizontalHeaderItem(column, new QTableWidgetItem(kColumnTitles[column]));
        m_list->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_list->setColumnWidth(column, column == 0 ? std::max(kColumnWidths[0], categoryWidth)
                                                   : kColumnWidths[column]);
    }
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CMainWindow::selectionChanged);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(addButton("1004", "Add Printer", &CCVNVembrixDlg::addPrinter));
    m_editButtons = {addButton("1005", "Remove Printer", &CCVNVembrixDlg::removePrinter),
                     addButton("1000", "Printer setting", &CCVNVembrixDlg::editPrinter),
                     addButton("1001", "Test Print", &CCVNVembrixDlg::testPrint)};
    for (QPushButton* button : m_editButtons)
        buttons->addWidget(button);
    buttons->addWidget(addButton("1006", "Vembrix\nsetting", &CCVNVembrixDlg::openSettings));
    buttons->addStretch();
    QPushButton* close = addButton("1", "Close", &CCVNVembrixDlg::toggle);
    close->setDefault(true);
    buttons->addWidget(close);

    auto* listAndButtons = new QHBoxLayout;
    listAndButtons->addWidget(m_list, 1);
    listAndButtons->addLayout(buttons);
    body()->addLayout(listAndButtons, 1);
    body()->addWidget(m_copyright);

    const int listWidth = m_list->columnWidth(0) + kColumnWidths[1] + kColumnWidths[2] +
                          m_list->frameWidth() * 2 +
                          m_list->verticalScrollBar()->sizeHint().width();
    m_list->setMinimumWidth(listWidth);
    m_list->setMinimumHeight(200);
    setFixedSize(sizeHint());
    buildTray();
}

CMainWindow::~CMainWindow() {
    m_tray->hide();
}

QPushButton* CMainWindow::addButton(const char* id, const QString& text,
                                    void (CCVNVembrixDlg::*action)()) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(id);
    button->setAutoDefault(false);
    button->setMinimumHeight(button->sizeHint().height() + 4);
    connect(button, &QPushButton::clicked, this, [this, action] { forward(action); });
    return button;
}

void CMainWindow::buildTray() {
    m_tray->setIcon(QIcon(":/vembrix.png"));
    m_tray->setToolTip(CCVNVembrixDlg::kTrayTip);
    m_toggleAction = m_trayMenu->addAction(QString());
    m_toggleAction->setObjectName("1125");
    connect(m_toggleAction, &QAction::triggered, this,
            [this] { forward(&CCVNVembrixDlg::toggle); });
    QAction* exit = m_trayMenu->addAction(CCVNVembrixDlg::kExitItem);
    exit->setObjectName("1126");
    connect(exit, &QAction::triggered, this, [this] { forward(&CCVNVembrixDlg::exit); });
    connect(m_trayMenu, &QMenu::aboutToShow, this, [this] {
        m_toggleAction->setText(QString::fromStdString(m_presenter.trayMenuFirstItem()));
        if (isVisible())
            activateWindow();
    });
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick)
                    forward(&CCVNVembrixDlg::trayDoubleClicked);
            });
}

void CMainWindow::start() {
    m_tray->show();
    m_presenter.start(QSystemTrayIcon::isSystemTrayAvailable());
    render();
}

void CMainWindow::forward(void (CCVNVembrixDlg::*action)()) {
    (m_presenter.*action)();
    render();
}

void CMainWindow::render() {
    setCaption(QString::fromStdString(m_presenter.title()));
    m_copyright->setText(QString::fromStdString(m_presenter.copyright()));
    renderList();
    for (QPushButton* button : m_editButtons)
        button->setEnabled(m_presenter.editButtonsEnabled());
    m_toggleAction->setText(QString::fromStdString(m_presenter.trayMenuFirstItem()));
    if (!m_presenter.windowShown()) {
        hide();
    } else if (!isVisible()) {
        show();
        raise();
        activateWindow();
    }
}

void CMainWindow::renderList() {
    const QSignalBlocker quiet(m_list);
    const std::vector<PrinterRow>& rows = m_presenter.rows();
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const PrinterRow& printer = rows[static_cast<size_t>(row)];
        const std::string* texts[] = {&printer.category, &printer.printerName,
                                      &printer.logicalName};
        for (int column = 0; column < 3; ++column)
            m_list->setItem(row, column,
                            new QTableWidgetItem(QString::fromStdString(*texts[column])));
    }
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    if (m_presenter.selectedRow() >= 0) {
        m_list->selectRow(m_presenter.selectedRow());
        m_list->setFocus();
    }
}

void CMainWindow::selectionChanged() {
    const QList<QTableWidgetSelectionRange> ranges = m_list->selectedRanges();
    m_presenter.selectRow(ranges.isEmpty() ? -1 : ranges.last().bottomRow());
    for (QPushButton* button : m_editButtons)
        button->setEnabled(m_presenter.editButtonsEnabled());
}

bool CMainWindow::runPrinterDialog(CAddDeviceDlg& dialog) {
    CPrinterDialog window(dialog, this);
    return window.exec() == QDialog::Accepted;
}

bool CMainWindow::runSettingsDialog(CVembrixSettingDlg& dialog) {
    CSettingsDialog window(dialog, this);
    return window.exec() == QDialog::Accepted;
}

void CMainWindow::quit() {
    // exit, not quit: quit first asks every window to close, and this one only hides.
    QApplication::exit();
}

void CMainWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawPixmap(rect().adjusted(0, captionBar()->height(), 0, 0), m_background);
    painter.end();
    CFramedDialog::paintEvent(event);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    forward(&CCVNVembrixDlg::closeCommand);
}

void CMainWindow::changeEvent(QEvent* event) {
    CFramedDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized))
        return;
    // Minimising sends the window to the notification area, as "Close" does.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    forward(&CCVNVembrixDlg::toggle);
}
