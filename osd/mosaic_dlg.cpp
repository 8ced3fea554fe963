#include "osd/mosaic_dlg.h"

#include "osd/block_exchange.h"
#include "ui_mosaic_dlg.h"

namespace zm {

CMosaicDlg::CMosaicDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CMosaicDlg>())
{
    ui->setupUi(this);
    // In register order, 0x2561 to 0x2566.
    m_fields = {ui->posXEdit, ui->posYEdit, ui->widthEdit, ui->heightEdit, ui->subbWidthEdit, ui->subbHeightEdit};
    bindHexBytes(m_fields);
    showHexBytes(m_fields, osd::MosaicBlock::opening());

    // The window stays enabled while its commands run.
    const WorkerRunner::Options enabled{.disableWindow = false};
    connect(ui->getButton, &QPushButton::clicked, this, [this, enabled] {
        readBlock(this, osd::MosaicBlock::kRuns, [this](const QByteArray &b) { showHexBytes(m_fields, b); }, enabled);
    });
    connect(ui->setButton, &QPushButton::clicked, this, [this, enabled] {
        writeBlock(this, osd::MosaicBlock::kRuns, readHexBytes(m_fields), enabled);
    });
    setCloseButton(ui->cancelButton);

    ui->getButton->click();
}

CMosaicDlg::~CMosaicDlg() = default;

} // namespace zm
