#include "osd/osd_bitmap_dlg.h"

#include "protocol/hex_text.h"
#include "osd/block_exchange.h"
#include "ui/edit_filter.h"
#include "ui/one_command.h"
#include "ui_osd_bitmap_dlg.h"

namespace zm {

COsdBitmapDlg::COsdBitmapDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::COsdBitmapDlg>())
{
    ui->setupUi(this);
    ui->bitWidthCombo->addItems({QStringLiteral("1 pp"), QStringLiteral("2 pp"), QStringLiteral("4 pp")});
    ui->resolutionCombo->addItems({QStringLiteral("(W*H) 1*1"), QStringLiteral("(W*H) 2*1"),
                                   QStringLiteral("(W*H) 2*2"), QStringLiteral("(W*H) 4*2"),
                                   QStringLiteral("(W*H) 4*4")});
    for (QComboBox *c : {ui->colorIndex0, ui->colorIndex1, ui->colorIndex2, ui->colorIndex3})
        for (int i = 0; i < 16; ++i)
            c->addItem(QStringLiteral("0x%1").arg(formatHex(i, 2)));
    QLineEdit *const bytes[] = {ui->posXEdit, ui->posYEdit, ui->widthEdit, ui->heightEdit, ui->alphaEdit,
                                ui->flickFreqEdit};
    bindHexBytes(bytes);
    new EditFilter(ui->thresholdEdit, EditFilter::hexRule([] { return 4; }));
    bindHexOrZeros(ui->addressEdit, 8, QStringLiteral("0"));
    bindHexOrZeros(ui->lengthEdit, 4, QStringLiteral("0"));

    showBlock(m_read);

    connect(ui->getButton, &QPushButton::clicked, this, [this] {
        readBlock(this, osd::BitmapBlock::kRuns, [this](const QByteArray &b) {
            m_read = osd::BitmapBlock::fromBytes(b);
            showBlock(m_read);
        });
    });
    connect(ui->setButton, &QPushButton::clicked, this,
            [this] { writeBlock(this, osd::BitmapBlock::kRuns, composed().toBytes()); });
    connect(ui->startButton, &QPushButton::clicked, this, &COsdBitmapDlg::onStart);
    connect(ui->stopButton, &QPushButton::clicked, this, &COsdBitmapDlg::onStop);
    setCloseButton(ui->cancelButton);

    ui->getButton->click();
}

COsdBitmapDlg::~COsdBitmapDlg() = default;

void COsdBitmapDlg::showBlock(const osd::BitmapBlock &b)
{
    selectValue(ui->bitWidthCombo, b.bitWidth);
    selectValue(ui->resolutionCombo, b.resolution);
    QComboBox *indexes[] = {ui->colorIndex0, ui->colorIndex1, ui->colorIndex2, ui->colorIndex3};
    for (int i = 0; i < 4; ++i)
        selectValue(indexes[i], b.colorIndex[i]);
    QLineEdit *const edits[] = {ui->posXEdit, ui->posYEdit, ui->widthEdit, ui->heightEdit, ui->alphaEdit,
                                ui->flickFreqEdit};
    const uint8_t bytes[] = {b.posX, b.posY, b.width, b.height, b.alpha, b.flickFreq};
    showHexBytes(edits, QByteArray(reinterpret_cast<const char *>(bytes), sizeof bytes));
    ui->thresholdEdit->setText(formatHex(b.threshold, 4));
}

osd::BitmapBlock COsdBitmapDlg::composed() const
{
    osd::BitmapBlock b = m_read;
    b.bitWidth = pickedValue(ui->bitWidthCombo, b.bitWidth);
    b.resolution = pickedValue(ui->resolutionCombo, b.resolution);
    const QComboBox *indexes[] = {ui->colorIndex0, ui->colorIndex1, ui->colorIndex2, ui->colorIndex3};
    for (int i = 0; i < 4; ++i)
        b.colorIndex[i] = pickedValue(indexes[i], b.colorIndex[i]);
    QLineEdit *const edits[] = {ui->posXEdit, ui->posYEdit, ui->widthEdit, ui->heightEdit, ui->alphaEdit,
                                ui->flickFreqEdit};
    const QByteArray bytes = readHexBytes(edits);
    b.posX = uint8_t(bytes[0]);
    b.posY = uint8_t(bytes[1]);
    b.width = uint8_t(bytes[2]);
    b.height = uint8_t(bytes[3]);
    b.alpha = uint8_t(bytes[4]);
    b.flickFreq = uint8_t(bytes[5]);
    b.threshold = uint16_t(hexFieldNumber(ui->thresholdEdit->text()));
    return b;
}

void COsdBitmapDlg::onStart()
{
    const uint32_t address = hexFieldNumber(ui->addressEdit->text());
    const uint16_t length = uint16_t(hexFieldNumber(ui->lengthEdit->text()));
    runCommand(this, session(), QString(),
               [address, length](Commands &c) { return c.bitmapControl(2, length, address); });
}

void COsdBitmapDlg::onStop()
{
    runCommand(this, session(), QString(), [](Commands &c) { return c.bitmapControl(1, 0, 0); });
}

} // namespace zm
