#include "ctrlinfo/configuration_dlg.h"

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_chooser.h"
#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "protocol/hex_text.h"
#include "ui/edit_filter.h"
#include "ui/one_command.h"
#include "ui_configuration_dlg.h"

#include <QSignalBlocker>

namespace zm {

namespace {

QStringList serialTexts()
{
    QStringList texts;
    for (int n = 0; n < 256; ++n)
        texts << QString::asprintf("%03d  (0x%02X)", n, n);
    return texts;
}

uint16_t fieldValue(const QLineEdit *edit)
{
    return uint16_t(hexFieldNumber(edit->text()));
}

void select(QComboBox *combo, int index)
{
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index);
}

} // namespace

CConfigurationDlg::CConfigurationDlg(LinkSession &session, QWidget *parent, RateSwitcher switchRate)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CConfigurationDlg>())
    , m_settings(ConfigSettings::of(session))
    , m_switchRate(std::move(switchRate))
{
    ui->setupUi(this);
    ui->followLabel->hide();
    ui->followButton->hide();
    connect(ui->followButton, &QPushButton::clicked, this, &CConfigurationDlg::switchConsole);
    for (QLineEdit *e : {ui->mcuValueEdit, ui->fracEdit, ui->interEdit, ui->dividerEdit, ui->ssEdit})
        new EditFilter(e, EditFilter::hexRule([] { return 4; }));

    ui->uartClockCombo->addItems(clockTexts());
    ui->spiClockCombo->addItems(clockTexts());
    ui->mcuBaudCombo->addItems(mcuBaudTexts());
    ui->hsBaudCombo->addItems(highSpeedBaudTexts());
    ui->spiBaudCombo->addItems(spiRateTexts(m_settings.spiClockIndex()));
    ui->uartClockCombo->setCurrentIndex(m_settings.uartClockIndex());
    ui->mcuBaudCombo->setCurrentIndex(m_settings.mcuBaudIndex());
    ui->hsBaudCombo->setCurrentIndex(m_settings.highSpeedBaudIndex());
    ui->spiClockCombo->setCurrentIndex(m_settings.spiClockIndex());
    ui->spiBaudCombo->setCurrentIndex(m_settings.spiBaudIndex());

    ui->commDeviceCombo->addItems({QStringLiteral("MCU UART"), QStringLiteral("HUART")});
    ui->commDeviceCombo->setCurrentIndex(m_settings.commDevice() == 2 ? 1 : 0);

    m_chooser = new DeviceChooser(this, session, {ui->deviceCombo, ui->sizeCombo, ui->modelCombo, ui->checkFlashButton});
    m_chooser->show(true);
    showPageSize();

    ui->currentSerialCombo->addItems(serialTexts());
    ui->newSerialCombo->addItems(serialTexts());
    ui->currentSerialCombo->setCurrentIndex(m_settings.currentSerial());
    ui->newSerialCombo->setCurrentIndex(m_settings.newSerial());
    showValues();

    connect(ui->commDeviceCombo, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_settings.setCommDevice(i + 1); });
    connect(ui->currentSerialCombo, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_settings.setCurrentSerial(uint8_t(i)); });
    connect(ui->newSerialCombo, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_settings.setNewSerial(uint8_t(i)); });
    connect(ui->uartClockCombo, &QComboBox::currentIndexChanged, this, &CConfigurationDlg::mcuChosen);
    connect(ui->mcuBaudCombo, &QComboBox::currentIndexChanged, this, &CConfigurationDlg::mcuChosen);
    connect(ui->hsBaudCombo, &QComboBox::currentIndexChanged, this, &CConfigurationDlg::highSpeedChosen);
    connect(ui->spiBaudCombo, &QComboBox::currentIndexChanged, this, &CConfigurationDlg::spiChosen);
    connect(ui->spiClockCombo, &QComboBox::currentIndexChanged, this, &CConfigurationDlg::spiClockChosen);
    connect(m_chooser, &DeviceChooser::changed, this, &CConfigurationDlg::showPageSize);
    connect(ui->checkDeviceButton, &QPushButton::clicked, m_chooser, &DeviceChooser::checkCtrlInfoDevice);
    connect(ui->setSerialButton, &QPushButton::clicked, this, &CConfigurationDlg::setSerialNumber);
    connect(ui->mcuSetButton, &QPushButton::clicked, this, &CConfigurationDlg::setMcuBaud);
    connect(ui->hsSetButton, &QPushButton::clicked, this, &CConfigurationDlg::setHighSpeedBaud);
    connect(ui->spiSetButton, &QPushButton::clicked, this, &CConfigurationDlg::setSpiBaud);
    setCloseButton(ui->closeButton);
}

CConfigurationDlg::~CConfigurationDlg() = default;

void CConfigurationDlg::takeValues()
{
    m_settings.setMcuValue(fieldValue(ui->mcuValueEdit));
    m_settings.setHighSpeedValues(fieldValue(ui->fracEdit), fieldValue(ui->interEdit));
    m_settings.setSpiValues(fieldValue(ui->dividerEdit), fieldValue(ui->ssEdit));
}

void CConfigurationDlg::showValues()
{
    ui->mcuValueEdit->setText(formatHex(m_settings.mcuValue(), 4));
    ui->fracEdit->setText(formatHex(m_settings.frac(), 4));
    ui->interEdit->setText(formatHex(m_settings.inter(), 4));
    ui->dividerEdit->setText(formatHex(m_settings.spiDivider(), 4));
    ui->ssEdit->setText(formatHex(m_settings.spiSs(), 4));
}

void CConfigurationDlg::showPageSize()
{
    ui->pageSizeEdit->setText(QStringLiteral("%1 Bytes").arg(m_settings.pageSize()));
}

// Each calculator keeps what was typed into the other groups: the form is taken first and shown
// again afterwards.
void CConfigurationDlg::mcuChosen()
{
    takeValues();
    m_settings.chooseMcu(ui->uartClockCombo->currentIndex(), ui->mcuBaudCombo->currentIndex());
    showValues();
}

void CConfigurationDlg::highSpeedChosen()
{
    takeValues();
    m_settings.chooseHighSpeed(ui->hsBaudCombo->currentIndex());
    showValues();
}

void CConfigurationDlg::spiChosen()
{
    takeValues();
    m_settings.chooseSpi(ui->spiClockCombo->currentIndex(), ui->spiBaudCombo->currentIndex());
    showValues();
}

void CConfigurationDlg::spiClockChosen()
{
    // The rates are those of the new clock; the chosen entry keeps its place in the list.
    const int rate = qMax(0, ui->spiBaudCombo->currentIndex());
    {
        const QSignalBlocker block(ui->spiBaudCombo);
        ui->spiBaudCombo->clear();
        ui->spiBaudCombo->addItems(spiRateTexts(ui->spiClockCombo->currentIndex()));
        ui->spiBaudCombo->setCurrentIndex(rate);
    }
    spiChosen();
}

void CConfigurationDlg::setSerialNumber()
{
    const uint8_t serial = uint8_t(ui->newSerialCombo->currentIndex());
    m_settings.setNewSerial(serial);
    // The link session carries the new number in every later frame once the chip has it.
    runQuery<uint8_t>(
        this, session(), QString(),
        [serial](Commands &c, uint8_t &done) {
            done = serial;
            return c.setSerialNumber(serial);
        },
        [this](uint8_t done) { select(ui->currentSerialCombo, done); });
}

void CConfigurationDlg::setMcuBaud()
{
    takeValues();
    const uint16_t value = m_settings.mcuValue();
    const int baud = mcuBaudOf(m_settings.uartClockIndex(), value);
    runQuery<int>(
        this, session(), QString(),
        [value, baud](Commands &c, int &set) {
            set = baud;
            return c.setBaudRateMcuUart(value);
        },
        [this](int set) { rateSet(1, set); });
}

void CConfigurationDlg::setHighSpeedBaud()
{
    takeValues();
    const uint16_t frac = m_settings.frac(), inter = m_settings.inter();
    const int baud = highSpeedBaudOf({frac, inter});
    runQuery<int>(
        this, session(), QString(),
        [frac, inter, baud](Commands &c, int &set) {
            set = baud;
            return c.setBaudRateHuart(frac, inter);
        },
        [this](int set) { rateSet(2, set); });
}

void CConfigurationDlg::rateSet(int uart, int baud)
{
    // Another port's rate leaves this line as it is.
    if (uart != m_settings.commDevice() || baud <= 0)
        return;
    const QString port = uart == 1 ? QStringLiteral("MCU UART") : QStringLiteral("HUART");
    m_followBaud = baud;
    ui->followLabel->setText(QStringLiteral("The chip's %1 now runs at %2 bit/s: the console's \"BautRate:\" must "
                                            "follow, or the chip no longer hears it.")
                                 .arg(port)
                                 .arg(baud));
    ui->followLabel->show();
    ui->followButton->setText(QStringLiteral("Switch BautRate to %1").arg(baud));
    ui->followButton->setVisible(bool(m_switchRate));
}

void CConfigurationDlg::switchConsole()
{
    if (!m_switchRate)
        return;
    ui->followButton->hide();
    ui->followLabel->setText(m_switchRate(m_followBaud)
                                 ? QStringLiteral("The console now runs at %1 bit/s.").arg(m_followBaud)
                                 : QStringLiteral("The console could not switch to %1 bit/s; choose it in its "
                                                  "\"BautRate:\" list.")
                                       .arg(m_followBaud));
}

void CConfigurationDlg::setSpiBaud()
{
    takeValues();
    const uint16_t divider = m_settings.spiDivider(), ss = m_settings.spiSs();
    runCommand(this, session(), QString(), [divider, ss](Commands &c) { return c.setBaudRateSpi(divider, ss); });
}

} // namespace zm
