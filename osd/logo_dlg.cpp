#include "osd/logo_dlg.h"

#include "protocol/hex_text.h"
#include "osd/block_exchange.h"
#include "ui/one_command.h"
#include "ui_logo_dlg.h"

namespace zm {

CLogoDlg::CLogoDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CLogoDlg>())
{
    ui->setupUi(this);
    m_fields = {ui->posXEdit, ui->posYEdit, ui->widthEdit, ui->heightEdit, ui->alphaEdit, ui->flickerFreqEdit};
    bindHexBytes(m_fields);
    showHexBytes(m_fields, osd::LogoBlock::opening());
    bindHexOrZeros(ui->logoAddrEdit, 8, QStringLiteral("0"));
    bindHexOrZeros(ui->logoSizeEdit, 4, QStringLiteral("0"));

    connect(ui->getButton, &QPushButton::clicked, this, [this] {
        readBlock(this, osd::LogoBlock::kRuns, [this](const QByteArray &b) {
            showHexBytes(m_fields, b);
        });
    });
    connect(ui->setButton, &QPushButton::clicked, this, [this] {
        writeBlock(this, osd::LogoBlock::kRuns, readHexBytes(m_fields));
    });
    connect(ui->readLogoButton, &QPushButton::clicked, this, [this] {
        const uint32_t address = hexFieldNumber(ui->logoAddrEdit->text());
        const uint16_t size = uint16_t(hexFieldNumber(ui->logoSizeEdit->text()));
        runCommand(this, this->session(), QString(),
                   [address, size](Commands &c) { return c.logoControl(3, size, address); });
    });
    setCloseButton(ui->cancelButton);

    ui->getButton->click();
}

CLogoDlg::~CLogoDlg() = default;

} // namespace zm
