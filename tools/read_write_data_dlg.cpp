#include "tools/read_write_data_dlg.h"

#include "ui/edit_filter.h"
#include "ui_read_write_data_dlg.h"

#include <QFontDatabase>
#include <QSignalBlocker>

namespace zm {

CReadWriteDataDlg::CReadWriteDataDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CReadWriteDataDlg>())
{
    ui->setupUi(this);
    // The help lines line up by blanks.
    ui->helpLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->helpLabel->setText(ReadWriteData::helpLines().join('\n'));

    ui->operationCombo->addItems(ReadWriteData::operationNames());
    ui->deviceCombo->addItems(ReadWriteData::deviceNames());
    ui->widthCombo->addItems(ReadWriteData::widthNames());
    ui->widthCombo->setEnabled(false);
    ui->widthLabel->setEnabled(false);
    fillCounts();

    m_address = new EditFilter(ui->addressEdit, [this](const QString &before, const QString &after) {
        return m_state.filterAddress(before, after);
    });
    m_value = new EditFilter(ui->valueEdit, [this](const QString &before, const QString &after) {
        return m_state.filterValue(before, after);
    });
    m_address->setText(QStringLiteral("00"));
    m_value->setText(QStringLiteral("00"));
    ui->sendButton->setText(m_state.sendCaption());

    connect(ui->operationCombo, &QComboBox::currentIndexChanged, this, &CReadWriteDataDlg::operationChanged);
    connect(ui->deviceCombo, &QComboBox::currentIndexChanged, this, &CReadWriteDataDlg::deviceChanged);
    connect(ui->widthCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        m_state.width = qMax(0, i);
        fillCounts();
    });
    connect(ui->countCombo, &QComboBox::currentIndexChanged, this, [this](int i) { m_state.count = qMax(0, i); });
    connect(ui->sendButton, &QPushButton::clicked, this, &CReadWriteDataDlg::sendCmd);
    setCloseButton(ui->cancelButton);
}

CReadWriteDataDlg::~CReadWriteDataDlg() = default;

QString CReadWriteDataDlg::addressText() const
{
    return m_address->text();
}

QString CReadWriteDataDlg::valueText() const
{
    return m_value->text();
}

void CReadWriteDataDlg::fillCounts()
{
    const QStringList names = m_state.countNames();
    // The count stays what it was where it still fits.
    const int keep = qMin(m_state.count, int(names.size()) - 1);
    {
        const QSignalBlocker block(ui->countCombo);
        if (names.size() != ui->countCombo->count()) {
            ui->countCombo->clear();
            ui->countCombo->addItems(names);
        }
        ui->countCombo->setCurrentIndex(keep);
    }
    m_state.count = keep;
    ui->countCombo->setToolTip(m_state.countHint());
}

void CReadWriteDataDlg::operationChanged(int index)
{
    m_state.operation = index == ReadWriteData::Write ? ReadWriteData::Write : ReadWriteData::Read;
    if (m_state.operation == ReadWriteData::Read)
        m_value->setText(QStringLiteral("00"));
    fillCounts();
    ui->sendButton->setText(m_state.sendCaption());
}

void CReadWriteDataDlg::deviceChanged(int index)
{
    m_state.setDevice(index);
    m_address->setText(QStringLiteral("00"));
    {
        const QSignalBlocker block(ui->widthCombo);
        ui->widthCombo->setCurrentIndex(0);
    }
    ui->widthCombo->setEnabled(m_state.widthSelectable());
    // A label of a control that cannot be used looks as unusable as its control.
    ui->widthLabel->setEnabled(m_state.widthSelectable());
    fillCounts();
    m_value->setText(QStringLiteral("00"));
}

void CReadWriteDataDlg::sendCmd()
{
    // The window is disabled from here until the worker is done, so the record stays put.
    const bool write = m_state.operation == ReadWriteData::Write;
    const ReadWriteData state = m_state;
    const QString address = m_address->text();
    const QString value = m_value->text();
    runWorker([this, write, state, address, value](Worker &w) {
        m_record = state.record(address, value);
        if (write) {
            const uint8_t r = w.commands().writeData(m_record);
            if (r != 0)
                w.failure(r);
            return;
        }
        const uint8_t r = w.commands().readData(m_record);
        if (r != 0)
            return w.failure(r); // the value box keeps what it showed
        const QString text = ReadWriteData::readText(m_record);
        w.gui([&] { m_value->setText(text); });
    });
}

} // namespace zm
