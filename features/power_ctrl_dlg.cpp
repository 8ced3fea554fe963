#include "features/power_ctrl_dlg.h"

#include "features/feature_records.h"
#include "features/mode_group.h"
#include "link/messages.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui_power_ctrl_dlg.h"

namespace zm {

namespace {

constexpr int kMaxTime = 65535;

QString timeRangeMessage()
{
    return QString::fromLatin1(msg::kNumberRange).arg(QStringLiteral("Power Save Time")).arg(0).arg(kMaxTime);
}

struct PowerProperty {
    uint8_t flags = 0;
    uint16_t time = 0;
};

} // namespace

CPowerCtrlDlg::CPowerCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CPowerCtrlDlg>())
    , m_record(records.powerSave)
{
    ui->setupUi(this);
    new ModeGroup(this, ModeFeature::PowerSave, m_record.mode, {ui->powerGpioRadio, ui->powerUartRadio},
                  {ui->powerModeRadio0, ui->powerModeRadio1}, ui->powerSetButton, ui->powerGetButton);
    ui->powerModeCombo->addItems(powerSaveModeNames());
    m_time = new EditFilter(ui->timeEdit, EditFilter::decimalRule(kMaxTime));
    connect(m_time, &EditFilter::rejected, this, [this] { showMessage(this, timeRangeMessage()); });
    // Taken into the record at every change, as typed.
    connect(ui->timeEdit, &QLineEdit::textChanged, this, [this] {
        if (const auto v = EditFilter::decimalValue(m_time->text(), 0, kMaxTime))
            m_record.time = uint16_t(*v);
    });
    showProperty();

    connect(ui->propertySetButton, &QPushButton::clicked, this, &CPowerCtrlDlg::setProperty);
    connect(ui->propertyGetButton, &QPushButton::clicked, this, &CPowerCtrlDlg::getProperty);
    setCloseButton(ui->cancelButton);
}

CPowerCtrlDlg::~CPowerCtrlDlg() = default;

void CPowerCtrlDlg::showProperty()
{
    // Flags with a mode index the list does not have leave the list without a choice.
    const int index = powerSaveModeIndex(m_record.flags);
    ui->powerModeCombo->setCurrentIndex(index < ui->powerModeCombo->count() ? index : -1);
    ui->relateMotionCheck->setChecked(powerSaveRelates(m_record.flags));
    m_time->setText(QString::number(m_record.time));
}

void CPowerCtrlDlg::setProperty()
{
    const auto time = EditFilter::decimalValue(m_time->text(), 0, kMaxTime);
    if (!time) {
        showMessage(this, timeRangeMessage());
        return;
    }
    if (ui->powerModeCombo->currentIndex() < 0) {
        showMessage(this, QString::fromLatin1(msg::kSelectChoice).arg(powerSaveModeNames().join(QStringLiteral(", "))));
        return;
    }
    m_record.flags = powerSaveFlags(ui->powerModeCombo->currentIndex(), ui->relateMotionCheck->isChecked());
    m_record.time = uint16_t(*time);
    runCommand(this, session(), QString(),
               [flags = m_record.flags, t = m_record.time](Commands &c) { return c.setPowerSaveTimer(flags, t); });
}

void CPowerCtrlDlg::getProperty()
{
    runQuery<PowerProperty>(
        this, session(), QString(), [](Commands &c, PowerProperty &p) { return c.getPowerSaveTimer(p.flags, p.time); },
        [this](const PowerProperty &p) {
                    m_record.flags = p.flags;
            m_record.time = p.time;
            showProperty();
        });
}

} // namespace zm
