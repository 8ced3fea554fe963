#include "motion/motion_ctrl_dlg.h"

#include "link/messages.h"
#include "motion/motion_setting_dlg.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui_motion_ctrl_dlg.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QTimer>

namespace zm {

namespace {

struct Detection {
    uint8_t source = 0;
    uint8_t flags = 0;
};

struct Alarm {
    uint8_t setup = 0;
    uint16_t time = 0;
};

const QString kUnknown = QStringLiteral("Unknow");

} // namespace

CMotionCtrlDlg::CMotionCtrlDlg(LinkSession &session, MotionCtrlSettings &settings, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CMotionCtrlDlg>())
    , m_settings(settings)
{
    ui->setupUi(this);
    m_chooseFile = [this](const QString &name, const QString &filter) {
        return QFileDialog::getSaveFileName(this, QString(), name, filter);
    };
    ui->alarmTypeCombo->addItems({QStringLiteral("Alarm certain time"), QStringLiteral("Always alarm")});
    ui->alarmLevelCombo->addItems({QStringLiteral("Output high level"), QStringLiteral("Output low level")});
    m_alarmTime = new EditFilter(ui->alarmTimeEdit, EditFilter::decimalRule(65535));
    ui->saveLogButton->setEnabled(false); // nothing to save before a run
    setOfflineWidgets({ui->saveLogButton, ui->motionConfigButton});
    showSettings();

    connect(ui->alarmTimeEdit, &QLineEdit::textChanged, this, [this] { alarmTimeChanged(); });
    connect(ui->detectSetButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onDetectSet);
    connect(ui->detectGetButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onDetectGet);
    connect(ui->alarmSetButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onAlarmSet);
    connect(ui->alarmGetButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onAlarmGet);
    connect(ui->getStatusButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onGetStatus);
    const auto alarmOutput = [this](QPushButton *button, auto op) {
        connect(button, &QPushButton::clicked, this, [this, op] { runCommand(this, this->session(), QString(), op); });
    };
    alarmOutput(ui->enableAlarmButton, [](Commands &c) { return c.enableAlarmOutput(true); });
    alarmOutput(ui->disableAlarmButton, [](Commands &c) { return c.enableAlarmOutput(false); });
    alarmOutput(ui->openAlarmButton, [](Commands &c) { return c.openAlarmOutput(true); });
    alarmOutput(ui->closeAlarmButton, [](Commands &c) { return c.openAlarmOutput(false); });
    connect(ui->commMotionButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onCommMotion);
    connect(ui->saveLogButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onSaveLog);
    connect(ui->motionConfigButton, &QPushButton::clicked, this, &CMotionCtrlDlg::onMotionConfig);
}

CMotionCtrlDlg::~CMotionCtrlDlg() = default;

QList<QPushButton *> CMotionCtrlDlg::commandButtons() const
{
    return {ui->detectSetButton,    ui->detectGetButton,   ui->alarmSetButton,  ui->alarmGetButton,
            ui->getStatusButton,    ui->enableAlarmButton, ui->disableAlarmButton, ui->openAlarmButton,
            ui->closeAlarmButton,   ui->motionConfigButton};
}

void CMotionCtrlDlg::showSettings()
{
    showDetection();
    ui->alarmTypeCombo->setCurrentIndex(m_settings.alarmType());
    ui->alarmLevelCombo->setCurrentIndex(m_settings.alarmLevel());
    m_alarmTime->setText(QString::number(m_settings.alarmTime));
    ui->commStatusEdit->setText(kUnknown);
    ui->motionStatusEdit->setText(kUnknown);
    ui->alarmStatusEdit->setPlainText(kUnknown);
}

void CMotionCtrlDlg::showDetection()
{
    (m_settings.reportMode == 1 ? ui->uartRadio : ui->gpioRadio)->setChecked(true);
    (m_settings.detectionEnabled() ? ui->enableRadio : ui->disableRadio)->setChecked(true);
}

void CMotionCtrlDlg::alarmTimeChanged()
{
    // The field may be empty while the user retypes it; the last number stays stored.
    if (const auto v = EditFilter::decimalValue(m_alarmTime->text(), 0, 65535))
        m_settings.alarmTime = uint16_t(*v);
}

void CMotionCtrlDlg::onDetectSet()
{
    // Stored before sending, whatever the chip then answers.
    m_settings.reportMode = ui->gpioRadio->isChecked() ? 0 : 1;
    const uint8_t enable = ui->disableRadio->isChecked() ? 0 : 1;
    m_settings.detectionFlags = (m_settings.detectionFlags & ~1u) | enable;
    const uint8_t mode = m_settings.reportMode;
    runCommand(this, session(), QString(), [mode, enable](Commands &c) { return c.setMotionDetection(mode, enable); });
}

void CMotionCtrlDlg::onDetectGet()
{
    runQuery<Detection>(
        this, session(), QString(), [](Commands &c, Detection &d) { return c.getMotionDetection(d.source, d.flags); },
        [this](const Detection &d) {
            m_settings.reportMode = d.source;
            m_settings.detectionFlags = d.flags;
            showDetection();
            ui->motionStatusEdit->setText(motionStatusText(d.flags));
        });
}

void CMotionCtrlDlg::onAlarmSet()
{
    const auto time = EditFilter::decimalValue(m_alarmTime->text(), 0, 65535);
    if (!time) {
        showMessage(this, QString::fromLatin1(msg::kAlarmTimeEmpty));
        return;
    }
    m_settings.alarmSetup = alarmSetupByte(ui->alarmTypeCombo->currentIndex(), ui->alarmLevelCombo->currentIndex());
    m_settings.alarmTime = uint16_t(*time);
    const Alarm a{m_settings.alarmSetup, m_settings.alarmTime};
    runCommand(this, session(), QString(), [a](Commands &c) { return c.setMotionAlarm(a.setup, a.time); });
}

void CMotionCtrlDlg::onAlarmGet()
{
    runQuery<Alarm>(
        this, session(), QString(), [](Commands &c, Alarm &a) { return c.getMotionAlarm(a.setup, a.time); },
        [this](const Alarm &a) {
            m_settings.alarmSetup = a.setup;
            m_settings.alarmTime = a.time;
            ui->alarmTypeCombo->setCurrentIndex(m_settings.alarmType());
            ui->alarmLevelCombo->setCurrentIndex(m_settings.alarmLevel());
            m_alarmTime->setText(QString::number(a.time));
        });
}

void CMotionCtrlDlg::onGetStatus()
{
    runWorker([this](Worker &w) {
        uint8_t enabled = 0, opened = 0;
        uint8_t r = w.commands().getAlarmOutputEnabled(enabled);
        if (r == 0)
            r = w.commands().getAlarmOutputOpened(opened);
        const QString text = r == 0 ? alarmStatusText(enabled, opened) : kUnknown;
        w.gui([this, text] { ui->alarmStatusEdit->setPlainText(text); });
        if (r != 0)
            w.failure(r);
    });
}

void CMotionCtrlDlg::onCommMotion()
{
    if (m_running) {
        // The monitor stops after its current wait and closes comm motion; the button comes
        // back when it has.
        m_running = false;
        ui->commMotionButton->setEnabled(false);
        if (m_monitor)
            m_monitor->requestStop();
        return;
    }
    // The window stays enabled: its start button is the stop button while the monitor runs.
    m_monitor = runWorker([this](Worker &w) { runMonitor(w); }, {.disableWindow = false});
    if (!m_monitor)
        return;
    m_running = true;
    for (QPushButton *b : commandButtons())
        b->setEnabled(false);
    ui->commMotionButton->setText(QStringLiteral("Close Comm Motion"));
    m_log = MotionLog(m_logCapacity);
    m_logFullTold = false;
    ui->saveLogButton->setEnabled(true);
}

void CMotionCtrlDlg::runMonitor(Worker &w)
{
    // However the run ends, the window gets its buttons back.
    struct Ended {
        Worker &w;
        CMotionCtrlDlg *dlg;
        ~Ended() { w.gui([this] { dlg->monitorEnded(); }); }
    } ended{w, this};

    Worker::ReportTargets targets;
    targets.status = ui->commStatusEdit;
    targets.counter = ui->commCountEdit;
    targets.value = [this](const QString &name, const QString &text) {
        if (name == QLatin1String("time"))
            ui->lastTimeEdit->setText(text);
        else if (name == QLatin1String("interval"))
            ui->intervalEdit->setText(text);
    };
    const Report report = w.report(targets);
    MotionMonitor monitor(w.commands(), report,
                          [this, &w](const MotionNotification &n) { w.gui([this, &n] { showNotification(n); }); });
    monitor.run();
}

void CMotionCtrlDlg::showNotification(const MotionNotification &n)
{
    ui->commCountEdit->setText(QString::number(n.count));
    ui->lastTimeEdit->setText(motionTimeText(n.time));
    ui->intervalEdit->setText(QString::number(n.intervalMs));
    if (m_log.append(n) || m_logFullTold)
        return;
    m_logFullTold = true;
    // Shown after this update returns, so that the monitor goes on counting while it is open.
    QTimer::singleShot(0, this, [this] {
        showMessage(this, QString::fromLatin1(msg::kMotionLogFull).arg(m_log.maxRows()), QMessageBox::Information);
    });
}

void CMotionCtrlDlg::monitorEnded()
{
    m_running = false;
    for (QPushButton *b : commandButtons())
        b->setEnabled(true);
    ui->commMotionButton->setText(QStringLiteral("Open Comm Motion"));
    ui->commMotionButton->setEnabled(true);
    // A port that went away during the run: the buttons wait for it like every other window's.
    if (!session().isOpen())
        ToolDialog::portOpenChanged(false);
}

void CMotionCtrlDlg::onSaveLog()
{
    const QString path = m_chooseFile(QStringLiteral("motion_log.csv"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!m_log.save(path, &error))
        showMessage(this, QString::fromLatin1(msg::kWriteFileFailed) + "\n" + error + '.');
}

void CMotionCtrlDlg::onMotionConfig()
{
    CMotionSettingDlg dlg(session(), this);
    dlg.exec();
}

void CMotionCtrlDlg::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        showMessage(this, QString::fromLatin1(msg::kCloseCommMotionFirst));
        event->ignore();
        return;
    }
    ToolDialog::closeEvent(event);
}

} // namespace zm
