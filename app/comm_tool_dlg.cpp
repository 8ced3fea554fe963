#include "app/comm_tool_dlg.h"

#include "app/about_dlg.h"
#include "app/companion_program.h"
#include "app/data_show_view.h"
#include "app/demo_simulator.h"
#include "app/traffic_log_dlg.h"
#include "features/ae_ctrl_dlg.h"
#include "features/color_ctrl_dlg.h"
#include "features/feature_records.h"
#include "features/gamma_dlg.h"
#include "features/image_property_dlg.h"
#include "features/mirror_ctrl_dlg.h"
#include "features/other_ctrl_dlg.h"
#include "features/power_ctrl_dlg.h"
#include "features/rtc_time_dlg.h"
#include "features/zoom_dlg.h"
#include "ctrlinfo/configuration_dlg.h"
#include "link/link_session.h"
#include "link/file_writer.h"
#include "link/system_ports.h"
#include "link/messages.h"
#include "motion/motion_ctrl_dlg.h"
#include "osd/osd_char_list_dlg.h"
#include "osd/osd_config_dlg.h"
#include "tools/fbuf_dlg.h"
#include "tools/flash_operation_dlg.h"
#include "tools/read_write_data_dlg.h"
#include "tools/upload_download_dlg.h"
#include "ui/message_box.h"
#include "ui/placement.h"
#include "ui/resources.h"
#include "ui_comm_tool_dlg.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace zm {

namespace {
CCommToolDlg *g_console = nullptr;

// A tool window, run modally and gone when it closes.
template <typename Dlg, typename... Args>
void runModal(Args &&...args)
{
    Dlg dlg(std::forward<Args>(args)...);
    dlg.exec();
}
} // namespace

CCommToolDlg::CCommToolDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
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

    ui->comPortCombo->refresh();
    ui->comPortCombo->setCurrentIndex(0);
    ui->baudRateCombo->addItems(PortSettings::baudRates());
    ui->baudRateCombo->setCurrentIndex(PortSettings::kDefaultBaud);
    ui->dataBitCombo->addItems(PortSettings::dataBits());
    ui->dataBitCombo->setCurrentIndex(PortSettings::kDefaultData);
    ui->parityBitCombo->addItems(PortSettings::parities());
    ui->parityBitCombo->setCurrentIndex(PortSettings::kDefaultParity);
    ui->stopBitCombo->addItems(PortSettings::stopBits());
    ui->stopBitCombo->setCurrentIndex(PortSettings::kDefaultStop);

    m_converterPath = companionProgram(QStringLiteral("zmimgconv"));

    buildCommandColumn();
    applyPortState();

    connect(ui->openButton, &QPushButton::clicked, this, [this] { toggleOpen(); });
    connect(ui->hexShowCheck, &QCheckBox::toggled, this, [this](bool on) { ui->dataShow->setHexShow(on); });
    connect(ui->clearShowButton, &QPushButton::clicked, this, [this] { ui->dataShow->clear(); });
    connect(ui->saveShowButton, &QPushButton::clicked, this, [this] { saveShow(); });
    connect(ui->reopenButton, &QPushButton::clicked, this, [this] { m_watch.reopen(); });
    connect(ui->restartDemoButton, &QPushButton::clicked, this, &CCommToolDlg::restartDemo);
    m_watch.setReopener([this] { return reopen(); });
    connect(&m_watch, &PortWatch::back, this, [this] { showPortStatus(); });
    showPortStatus();
    connect(ui->logToFileCheck, &QCheckBox::toggled, this, [this](bool on) { logToFile(on); });
    m_chooseFile = [this](const QString &title, const QString &name) {
        return QFileDialog::getSaveFileName(this, title, name);
    };
    // Both are told on this thread; the lost port's message waits until the press that found it
    // has ended.
    session.idleFeed().setGathering(true);
    connect(&session.idleFeed(), &IdleFeed::gathered, this, &CCommToolDlg::showIdleBytes, Qt::QueuedConnection);
    connect(&session, &LinkSession::portLostSignal, this, &CCommToolDlg::portLost, Qt::QueuedConnection);
}

CCommToolDlg::~CCommToolDlg()
{
    session().idleFeed().setGathering(false);
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
        {1, QStringLiteral("Config"), false,
         [this] { runModal<CConfigurationDlg>(session(), this, [this](int baud) { return switchBaud(baud); }); }},
        {2, QStringLiteral("Get Version"), true, [this] { getVersion(); }},
        {3, QStringLiteral("R/W Data"), true, [this] { openReadWriteData(); }},
        {4, QStringLiteral("Color Ctrl"), true, [this] { runModal<CColorCtrlDlg>(session(), rememberedFeatures(), this); }},
        {5, QStringLiteral("Mirror Ctrl"), true, [this] { runModal<CMirrorCtrlDlg>(session(), rememberedFeatures(), this); }},
        {6, QStringLiteral("Power Ctrl"), true, [this] { runModal<CPowerCtrlDlg>(session(), rememberedFeatures(), this); }},
        {7, QStringLiteral("Timer Ctrl"), true, [this] { runModal<CRtcTimeDlg>(session(), this); }},
        {8, QStringLiteral("AE Ctrl"), true, [this] { runModal<CAeCtrlDlg>(session(), rememberedFeatures(), this); }},
        {9, QStringLiteral("Motion Ctrl"), false, [this] { openMotionCtrl(); }},
        {10, QStringLiteral("OSD Config"), true, [this] { openOsdConfig(); }},
        {11, QStringLiteral("Image Property"), true, [this] { runModal<CImagePropertyDlg>(session(), this); }},
        {12, QStringLiteral("Gamma"), true, [this] { runModal<CGammaDlg>(session(), rememberedFeatures(), this); }},
        {13, QStringLiteral("Spi Flash"), true, [this] { runModal<CFlashOperationDlg>(session(), this); }},
        {14, QStringLiteral("Other Ctrl"), true, [this] { runModal<COtherCtrlDlg>(session(), this); }},
        {15, QStringLiteral("Up/Down Load"), true, [this] { runModal<CUploadDownloadDlg>(session(), this); }},
        {16, QStringLiteral("System Reset"), true, [this] { systemReset(); }},
        {17, QStringLiteral("Fbuf Ctrl"), true, [this] { openFbuf(); }},
        {18, QStringLiteral("Zoom Ctrl"), false, [this] { runModal<CZoomDlg>(session(), rememberedFeatures(), this); }},
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
    tools->addAction(QStringLiteral("OSD Char List"), this, [this] {
        COsdCharListDlg dlg(this);
        dlg.exec();
    });
    tools->addSeparator();
    tools->addAction(QStringLiteral("Traffic Log"), this, [this] { showTrafficLog(); });
    QMenu *help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("About"), this, [this] { about(); });
    layout()->setMenuBar(m_menuBar);
}

CTrafficLogDlg *CCommToolDlg::showTrafficLog()
{
    // Its own window, not a child of the console: it stays usable while a tool window is open.
    if (!m_trafficLog) {
        m_trafficLog = std::make_unique<CTrafficLogDlg>(session());
        // Beside the console, which it is read with, not over it.
        if (const QScreen *screen = this->screen())
            m_trafficLog->setGeometry(besideRect(screen->availableGeometry(), frameGeometry(), m_trafficLog->size(), 900));
    }
    m_trafficLog->show();
    m_trafficLog->raise();
    m_trafficLog->activateWindow();
    return m_trafficLog.get();
}

void CCommToolDlg::placeStatusLine(QLabel *line)
{
    ui->leftLayout->addWidget(line);
}

DataShowView *CCommToolDlg::dataShow() const
{
    return ui->dataShow;
}

void CCommToolDlg::selectPort(const QString &port)
{
    ui->comPortCombo->selectPort(port);
}

PortSettings CCommToolDlg::portSettings() const
{
    PortSettings s;
    s.port = ui->comPortCombo->port();
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
    for (QPushButton *b : std::as_const(m_buttons))
        b->setEnabled(m_portOpen);
    ui->openButton->setText(m_portOpen ? QStringLiteral("Close") : QStringLiteral("Open"));
    ui->stateIcon->setPixmap(portStateIcon(m_portOpen).pixmap(32, 32));
    ui->stateIcon->setToolTip(m_portOpen ? QStringLiteral("Port open") : QStringLiteral("Port closed"));
}

void CCommToolDlg::toggleOpen()
{
    if (m_portOpen) {
        // Closing under a running command would fail it half-way; let it finish first.
        if (session().isBusy()) {
            showMessage(this, QString::fromLatin1(msg::kBusy));
            return;
        }
        session().close();
        m_portOpen = false;
        applyPortState();
        return;
    }
    const PortSettings s = portSettings();
    QString error;
    if (s.port.isEmpty() || !session().open(s.port, s.settingsString(), &error)) {
        showMessage(this, QString::fromLatin1(msg::kOpenPortFailed) + (error.isEmpty() ? QString() : "\n" + error));
    } else {
        m_portOpen = true;
        m_watch.stop();
    }
    applyPortState();
    showPortStatus();
}

bool CCommToolDlg::reopen()
{
    if (m_portOpen)
        return true;
    QString error;
    if (!session().open(m_lostSettings.port, m_lostSettings.settingsString(), &error)) {
        showMessage(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this,
                    QString::fromLatin1(msg::kOpenPortFailed) + (error.isEmpty() ? QString() : "\n" + error));
        return false;
    }
    m_portOpen = true;
    m_watch.stop();
    applyPortState();
    showPortStatus();
    return true;
}

bool CCommToolDlg::switchBaud(int baud)
{
    const int index = int(PortSettings::baudRates().indexOf(QString::number(baud)));
    if (index < 0 || session().isBusy())
        return false;
    ui->baudRateCombo->setCurrentIndex(index);
    if (!m_portOpen)
        return true;
    // The same port again, at the rate the chip now runs.
    const PortSettings s = portSettings();
    session().close();
    QString error;
    if (!session().open(s.port, s.settingsString(), &error)) {
        m_portOpen = false;
        applyPortState();
        showMessage(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this,
                    QString::fromLatin1(msg::kOpenPortFailed) + (error.isEmpty() ? QString() : "\n" + error));
        return false;
    }
    return true;
}

void CCommToolDlg::setDemoSimulator(DemoSimulator *simulator)
{
    if (m_demo)
        m_demo->setEndedHandler({});
    m_demo = simulator;
    m_demoEnded = false;
    if (m_demo)
        m_demo->setEndedHandler([this] {
            // Its port never comes back: what helps is another simulated chip.
            m_demoEnded = true;
            showPortStatus();
        });
    showPortStatus();
}

void CCommToolDlg::restartDemo()
{
    if (!m_demo)
        return;
    QString error;
    if (!m_demo->start(&error, m_demo->program())) {
        showMessage(this, QString::fromLatin1(msg::kDemoSimulatorFailed) + "\n" + error);
        return;
    }
    m_demoEnded = false;
    m_watch.stop();
    selectPort(m_demo->port());
    if (m_portOpen)
        showPortStatus();
    else
        toggleOpen();
}

void CCommToolDlg::showPortStatus()
{
    const bool demoGone = m_demo && m_demoEnded;
    const bool lost = demoGone || (!m_portOpen && (m_watch.watching() || m_watch.isBack()));
    ui->portStatusLabel->setVisible(lost);
    ui->reopenButton->setVisible(lost && !demoGone && m_watch.isBack());
    ui->restartDemoButton->setVisible(demoGone);
    if (demoGone)
        ui->portStatusLabel->setText(QStringLiteral("The simulated chip has ended; its port will not come back."));
    else if (lost)
        ui->portStatusLabel->setText(m_watch.isBack()
                                         ? QStringLiteral("%1 is back.").arg(m_watch.port())
                                         : QStringLiteral("Waiting for %1 to come back...").arg(m_watch.port()));
}

void CCommToolDlg::portLost(const QString &reason)
{
    // The link closed itself already; a command that waited has ended with its failure.
    if (!m_portOpen)
        return;
    m_portOpen = false;
    applyPortState();
    // The same device path may come back (an adapter plugged in again): offer to reopen it then.
    m_lostSettings = portSettings();
    m_watch.watch(m_lostSettings.port, systemPortName(m_lostSettings.port));
    showPortStatus();
    showMessage(this, QString::fromLatin1(msg::kPortLost) + "\n" + reason);
}

void CCommToolDlg::showIdleBytes()
{
    const QByteArray bytes = session().idleFeed().take();
    if (bytes.isEmpty())
        return;
    ui->dataShow->appendBytes(bytes);
    QString error;
    if (m_capture.isOpen() && !m_capture.write(bytes, QDateTime::currentDateTime(), &error)) {
        const QSignalBlocker block(ui->logToFileCheck);
        ui->logToFileCheck->setChecked(false);
        showMessage(this, QStringLiteral("Logging to %1 stopped: %2").arg(m_capture.path(), error));
    }
}

void CCommToolDlg::saveShow()
{
    const QString path = m_chooseFile(QStringLiteral("Save Data Show"), QStringLiteral("data_show.bin"));
    if (path.isEmpty())
        return;
    const DataShow &data = ui->dataShow->data();
    QString error;
    if (!FileWriter::writeAll(path, data.bytes(0, data.size()), &error))
        showMessage(this, QStringLiteral("The data show could not be saved: %1.").arg(error));
}

void CCommToolDlg::logToFile(bool on)
{
    if (!on) {
        m_capture.close();
        return;
    }
    const QString path = m_chooseFile(QStringLiteral("Log Data Show To"), QStringLiteral("data_show.log"));
    QString error;
    if (path.isEmpty() || !m_capture.open(path, &error)) {
        const QSignalBlocker block(ui->logToFileCheck);
        ui->logToFileCheck->setChecked(false);
        if (!path.isEmpty())
            showMessage(this, QStringLiteral("%1 cannot be logged to: %2.").arg(path, error));
    }
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
    CReadWriteDataDlg dlg(session(), this);
    dlg.exec();
}

void CCommToolDlg::openFbuf()
{
    CFbufDlg dlg(session(), this);
    dlg.exec();
}

void CCommToolDlg::openMotionCtrl()
{
    CMotionCtrlDlg dlg(session(), programMotionCtrlSettings(), this);
    dlg.exec();
}

void CCommToolDlg::openOsdConfig()
{
    COsdConfigDlg dlg(session(), this);
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
