#include "app/comm_tool_dlg.h"

#include "app/about_dlg.h"
#include "app/data_show_view.h"
#include "ctrlinfo/configuration_dlg.h"
#include "link/command_layer.h"
#include "link/messages.h"
#include "tools/fbuf_dlg.h"
#include "tools/flash_operation_dlg.h"
#include "tools/read_write_data_dlg.h"
#include "tools/upload_download_dlg.h"
#include "ui/message_box.h"
#include "ui/resources.h"
#include "ui_comm_tool_dlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>

#include <algorithm>

namespace zm {

namespace {
CCommToolDlg *g_console = nullptr;
}

CCommToolDlg::CCommToolDlg(CommandLayer &layer, QWidget *parent)
    : ToolDialog(layer, parent)
    , ui(std::make_unique<Ui::CCommToolDlg>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    // A window system menu cannot be extended portably; "About" lives in the Help menu.
    setWindowIcon(appIcon());
    buildMenu();
    setWindowTitle(QStringLiteral("ZM3386 Comm Tool"));
    g_console = this;

    ui->hexShowCheck->setChecked(false);
    ui->dataShow->setHexShow(false);
    ui->dataShow->clear();

    ui->comPortCombo->addItems(PortSettings::portNames());
    ui->comPortCombo->setCurrentIndex(0);
    ui->comPortCombo->setInsertPolicy(QComboBox::NoInsert);
    ui->baudRateCombo->addItems(PortSettings::baudRates());
    ui->baudRateCombo->setCurrentIndex(PortSettings::kDefaultBaud);
    ui->dataBitCombo->addItems(PortSettings::dataBits());
    ui->dataBitCombo->setCurrentIndex(PortSettings::kDefaultData);
    ui->parityBitCombo->addItems(PortSettings::parities());
    ui->parityBitCombo->setCurrentIndex(PortSettings::kDefaultParity);
    ui->stopBitCombo->addItems(PortSettings::stopBits());
    ui->stopBitCombo->setCurrentIndex(PortSettings::kDefaultStop);

    m_converterPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("zmimgconv"));

    buildCommandColumn();
    applyPortState();

    connect(ui->openButton, &QPushButton::clicked, this, [this] { toggleOpen(); });
    connect(ui->hexShowCheck, &QCheckBox::toggled, this, [this](bool on) { ui->dataShow->setHexShow(on); });
    connect(ui->clearShowButton, &QPushButton::clicked, this, [this] { ui->dataShow->clear(); });
    // Both come from the link thread.
    connect(&layer, &CommandLayer::idleBytes, this, &CCommToolDlg::showIdleBytes, Qt::QueuedConnection);
    connect(&layer, &CommandLayer::portLostSignal, this, &CCommToolDlg::portLost, Qt::QueuedConnection);
}

CCommToolDlg::~CCommToolDlg()
{
    if (g_console == this)
        g_console = nullptr;
}

CCommToolDlg *CCommToolDlg::console()
{
    return g_console;
}

QList<ConsoleButton> CCommToolDlg::commandTable()
{
    return {
        {1, QStringLiteral("Config"), false, [this] { openWindow<CConfigurationDlg>(); }},
        {2, QStringLiteral("Get Version"), true, [this] { getVersion(); }},
        {3, QStringLiteral("R/W Data"), true, [this] { openReadWriteData(); }},
        {13, QStringLiteral("Spi Flash"), true, [this] { openWindow<CFlashOperationDlg>(); }},
        {15, QStringLiteral("Up/Down Load"), true, [this] { openWindow<CUploadDownloadDlg>(); }},
        {16, QStringLiteral("System Reset"), true, [this] { systemReset(); }},
        {17, QStringLiteral("Fbuf Ctrl"), true, [this] { openFbuf(); }},
    };
}

void CCommToolDlg::buildCommandColumn()
{
    QList<ConsoleButton> table = commandTable();
    std::stable_sort(table.begin(), table.end(), [](const auto &a, const auto &b) { return a.order < b.order; });
    for (const ConsoleButton &entry : table) {
        auto *button = new QPushButton(entry.label, ui->commCommandGroup);
        button->setObjectName(QStringLiteral("command%1").arg(entry.order));
        button->setAutoDefault(false);
        ui->commandLayout->addWidget(button);
        m_buttons.insert(entry.label, button);
        if (!entry.checksPort)
            m_offlineButtons << button;
        connect(button, &QPushButton::clicked, this, [this, entry] {
            if (entry.checksPort && !m_portOpen) {
                showMessage(this, QString::fromLatin1(msg::kPortNotOpened));
                return;
            }
            entry.run();
        });
    }
    ui->commandLayout->addStretch(1);
}

void CCommToolDlg::buildMenu()
{
    m_menuBar = new QMenuBar(this);
    QMenu *tools = m_menuBar->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("Image Convert"), this, [this] { imageConvert(); });
    QMenu *help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("About"), this, [this] { about(); });
    layout()->setMenuBar(m_menuBar);
}

DataShowView *CCommToolDlg::dataShow() const
{
    return ui->dataShow;
}

void CCommToolDlg::selectPort(const QString &port)
{
    const int i = ui->comPortCombo->findText(port);
    if (i >= 0)
        ui->comPortCombo->setCurrentIndex(i);
    else
        ui->comPortCombo->setEditText(port);
}

PortSettings CCommToolDlg::portSettings() const
{
    PortSettings s;
    s.port = ui->comPortCombo->currentText().trimmed();
    s.baud = ui->baudRateCombo->currentIndex();
    s.data = ui->dataBitCombo->currentIndex();
    s.parity = ui->parityBitCombo->currentIndex();
    s.stop = ui->stopBitCombo->currentIndex();
    return s;
}

void CCommToolDlg::applyPortState()
{
    ui->comPortCombo->setEnabled(!m_portOpen);
    ui->baudRateCombo->setEnabled(!m_portOpen);
    // A button without the port check opens a window that is useful with the port closed.
    for (QPushButton *b : std::as_const(m_buttons))
        b->setEnabled(m_portOpen || m_offlineButtons.contains(b));
    ui->openButton->setText(m_portOpen ? QStringLiteral("Close") : QStringLiteral("Open"));
    ui->stateIcon->setPixmap(portStateIcon(m_portOpen).pixmap(32, 32));
    ui->stateIcon->setToolTip(m_portOpen ? QStringLiteral("Port open") : QStringLiteral("Port closed"));
}

void CCommToolDlg::toggleOpen()
{
    if (m_portOpen) {
        // Closing under a running command would fail it half-way; let it finish first.
        if (layer().isBusy()) {
            showMessage(this, QString::fromLatin1(msg::kBusy));
            return;
        }
        layer().close();
        m_portOpen = false;
        applyPortState();
        return;
    }
    const PortSettings s = portSettings();
    QString error;
    if (s.port.isEmpty() || !layer().open(s.port, s.settingsString(), &error)) {
        showMessage(this, QString::fromLatin1(msg::kOpenPortFailed) + (error.isEmpty() ? QString() : "\n" + error));
    } else {
        m_portOpen = true;
    }
    applyPortState();
}

void CCommToolDlg::portLost(const QString &reason)
{
    // The link closed itself already; a command that waited has ended with its failure.
    if (!m_portOpen)
        return;
    m_portOpen = false;
    applyPortState();
    showMessage(this, QString::fromLatin1(msg::kPortLost) + "\n" + reason);
}

void CCommToolDlg::showIdleBytes(const QByteArray &bytes)
{
    ui->dataShow->appendBytes(bytes);
}

void CCommToolDlg::getVersion()
{
    runWorker([](Worker &w) {
        QByteArray text;
        const uint8_t r = w.commands().getVersion(text);
        if (r != 0)
            return w.failure(r);
        w.message(QString::fromLatin1(msg::kVersionFormat).arg(QString::fromLatin1(text)), QMessageBox::Information);
    });
}

void CCommToolDlg::systemReset()
{
    runWorker(
        [](Worker &w) {
            const uint8_t r = w.commands().systemReset();
            if (r != 0)
                w.failure(r);
        },
        {.disableWindow = false});
}

void CCommToolDlg::openReadWriteData()
{
    CReadWriteDataDlg dlg(layer(), this);
    dlg.exec();
}

void CCommToolDlg::openFbuf()
{
    CFbufDlg dlg(layer(), this);
    dlg.exec();
}

void CCommToolDlg::imageConvert()
{
    const QFileInfo program(m_converterPath);
    QString reason;
    if (!program.exists())
        reason = QStringLiteral("%1 does not exist.").arg(m_converterPath);
    else if (!program.isExecutable())
        reason = QStringLiteral("%1 is not executable.").arg(m_converterPath);
    else if (!QProcess::startDetached(m_converterPath, {}, program.absolutePath()))
        reason = QStringLiteral("%1 could not be run.").arg(m_converterPath);
    if (!reason.isEmpty())
        showMessage(this, QString::fromLatin1(msg::kConverterNotStarted) + "\n" + reason);
}

void CCommToolDlg::about()
{
    CAboutDlg dlg(this);
    dlg.exec();
}

} // namespace zm
