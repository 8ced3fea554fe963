#include "features/rtc_time_dlg.h"

#include "features/rtc_text.h"
#include "ui/one_command.h"
#include "ui_rtc_time_dlg.h"

#include <QDateTime>

namespace zm {

CRtcTimeDlg::CRtcTimeDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CRtcTimeDlg>())
{
    ui->setupUi(this);
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &CRtcTimeDlg::showCurrentTime);
    connect(ui->useCurrentCheck, &QCheckBox::toggled, this, &CRtcTimeDlg::useCurrentTime);
    connect(ui->setTimeButton, &QPushButton::clicked, this, &CRtcTimeDlg::setTime);
    connect(ui->getTimeButton, &QPushButton::clicked, this, &CRtcTimeDlg::getTime);
    setCloseButton(ui->cancelButton);
    ui->useCurrentCheck->setChecked(true);
}

CRtcTimeDlg::~CRtcTimeDlg() = default;

void CRtcTimeDlg::useCurrentTime(bool on)
{
    ui->dateEdit->setEnabled(!on);
    ui->timeEdit->setEnabled(!on);
    if (on) {
        showCurrentTime();
        m_clock.start();
    } else {
        m_clock.stop();
    }
}

void CRtcTimeDlg::showCurrentTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    ui->dateEdit->setDate(now.date());
    ui->timeEdit->setTime(now.time());
}

void CRtcTimeDlg::setTime()
{
    // The pickers may be up to a second behind the PC's clock; take the second it is now.
    if (ui->useCurrentCheck->isChecked())
        showCurrentTime();
    const RtcTime t = rtcTime(ui->dateEdit->date(), ui->timeEdit->time());
    ui->setTimeEdit->setText(rtcText(t));
    runCommand(this, session(), QString(), [t](Commands &c) { return c.setTime(t); });
}

void CRtcTimeDlg::getTime()
{
    runQuery<RtcTime>(
        this, session(), QString(), [](Commands &c, RtcTime &t) { return c.getTime(t); },
        [this](const RtcTime &t) { ui->getTimeEdit->setText(rtcText(t)); });
}

} // namespace zm
