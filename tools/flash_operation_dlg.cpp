#include "tools/flash_operation_dlg.h"

#include "protocol/hex_text.h"
#include "link/messages.h"
#include "tools/device_transfer.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui/readable_text.h"
#include "ui_flash_operation_dlg.h"

namespace zm {

CFlashOperationDlg::CFlashOperationDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CFlashOperationDlg>())
{
    ui->setupUi(this);
    m_sector = new EditFilter(ui->sectorEdit, EditFilter::hexRule([] { return 8; }));
    m_sector->setText(QStringLiteral("00"));
    ui->flashSizeEdit->setText(QStringLiteral("0"));
    ui->statusEdit->setFrame(false);
    keepReadableWhenDisabled(ui->statusEdit);

    connect(ui->getSizeButton, &QPushButton::clicked, this, &CFlashOperationDlg::getFlashSize);
    connect(ui->eraseSectorButton, &QPushButton::clicked, this, &CFlashOperationDlg::eraseSector);
    connect(ui->chipEraseButton, &QPushButton::clicked, this, &CFlashOperationDlg::chipErase);
    setCloseButton(ui->cancelButton);
}

CFlashOperationDlg::~CFlashOperationDlg() = default;

void CFlashOperationDlg::getFlashSize()
{
    // The chip answers in kilobits; the field shows kilobytes.
    runQuery<uint32_t>(
        this, session(), QString(), [](Commands &c, uint32_t &kilobits) { return c.getFlashSize(kilobits); },
        [this](uint32_t kilobits) { ui->flashSizeEdit->setText(QString::number(kilobits / 8)); });
}

void CFlashOperationDlg::eraseSector()
{
    const uint32_t address = hexFieldNumber(m_sector->text());
    runCommand(this, session(), QString(), [address](Commands &c) { return c.eraseFlashSector(address); });
}

void CFlashOperationDlg::chipErase()
{
    // It wipes what the chip starts from.
    if (showMessage(this, QString::fromLatin1(msg::kEraseWholeFlashQuestion), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    runWorker([this](Worker &w) {
        Worker::ReportTargets targets;
        targets.status = ui->statusEdit;
        const Report r = w.report(targets);
        DeviceTransfer(w.commands(), r).eraseFlash(false);
    });
}

} // namespace zm
