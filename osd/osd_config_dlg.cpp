#include "osd/osd_config_dlg.h"

#include "osd/block_exchange.h"
#include "osd/logo_dlg.h"
#include "osd/mosaic_dlg.h"
#include "osd/osd_bitmap_dlg.h"
#include "osd/osd_char_channel_dlg.h"
#include "ui_osd_config_dlg.h"

namespace zm {

namespace {

template <typename T>
std::array<T *, 4> four(T *a, T *b, T *c, T *d)
{
    return {a, b, c, d};
}

} // namespace

COsdConfigDlg::COsdConfigDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::COsdConfigDlg>())
    , m_chooseColor(colorDialogChooser(this))
{
    ui->setupUi(this);
    for (QComboBox *c : {ui->inputMode1, ui->inputMode2, ui->inputMode3, ui->inputMode4})
        c->addItems({QStringLiteral("Frame Mode"), QStringLiteral("Field Mode")});
    for (QComboBox *c : {ui->location1, ui->location2, ui->location3, ui->location4})
        c->addItems({QStringLiteral("After ISP"), QStringLiteral("After Scalar")});
    ui->logoResolutionCombo->addItems({QStringLiteral("1*1"), QStringLiteral("2*2"), QStringLiteral("4*4")});
    ui->logoBitWidthCombo->addItems({QStringLiteral("4   Bits"), QStringLiteral("16  Bits")});
    // The chip has no flicker for channel 3.
    ui->flicker3->setEnabled(false);

    QLineEdit *edits[] = {ui->palette1,  ui->palette2,  ui->palette3,  ui->palette4,  ui->palette5,
                          ui->palette6,  ui->palette7,  ui->palette8,  ui->palette9,  ui->palette10,
                          ui->palette11, ui->palette12, ui->palette13, ui->palette14, ui->palette15};
    QPushButton *swatches[] = {ui->swatch1,  ui->swatch2,  ui->swatch3,  ui->swatch4,  ui->swatch5,
                               ui->swatch6,  ui->swatch7,  ui->swatch8,  ui->swatch9,  ui->swatch10,
                               ui->swatch11, ui->swatch12, ui->swatch13, ui->swatch14, ui->swatch15};
    for (int n = 0; n < osd::OsdControl::kPaletteSize; ++n)
        m_palette[n] = new PaletteField(edits[n], swatches[n], &m_chooseColor);
    // The swatches and the detail windows need no port.
    setOfflineWidgets({swatches, swatches + osd::OsdControl::kPaletteSize});
    setOfflineWidgets({ui->charConfigButton, ui->logoConfigButton, ui->mosaicConfigButton, ui->bitmapConfigButton});

    showBlock(m_read);

    connect(ui->getButton, &QPushButton::clicked, this, &COsdConfigDlg::onGet);
    connect(ui->setButton, &QPushButton::clicked, this, &COsdConfigDlg::onSet);
    connect(ui->charConfigButton, &QPushButton::clicked, this, &COsdConfigDlg::openDetail<COsdCharChannelDlg>);
    connect(ui->logoConfigButton, &QPushButton::clicked, this, &COsdConfigDlg::openDetail<CLogoDlg>);
    connect(ui->mosaicConfigButton, &QPushButton::clicked, this, &COsdConfigDlg::openDetail<CMosaicDlg>);
    connect(ui->bitmapConfigButton, &QPushButton::clicked, this, &COsdConfigDlg::openDetail<COsdBitmapDlg>);
    setCloseButton(ui->cancelButton);

    onGet();
}

COsdConfigDlg::~COsdConfigDlg() = default;

void COsdConfigDlg::showBlock(const osd::OsdControl &c)
{
    const auto enables = four(ui->enable1, ui->enable2, ui->enable3, ui->enable4);
    const auto modes = four(ui->inputMode1, ui->inputMode2, ui->inputMode3, ui->inputMode4);
    const auto flickers = four(ui->flicker1, ui->flicker2, ui->flicker3, ui->flicker4);
    const auto locations = four(ui->location1, ui->location2, ui->location3, ui->location4);
    for (int i = 0; i < 4; ++i) {
        enables[i]->setChecked(c.enabled[i]);
        modes[i]->setCurrentIndex(c.fieldMode[i] ? 1 : 0);
        flickers[i]->setChecked(c.flicker[i]);
        locations[i]->setCurrentIndex(c.afterScalar[i] ? 1 : 0);
    }
    selectValue(ui->logoResolutionCombo, c.logoResolution);
    // The list starts at the field value 2; 0 and 1 have no item.
    selectValue(ui->logoBitWidthCombo, c.logoBitWidth - 2);
    ui->foilCheck->setChecked(c.charFoil);
    for (int n = 0; n < osd::OsdControl::kPaletteSize; ++n)
        m_palette[n]->setValue(c.palette[n]);
}

osd::OsdControl COsdConfigDlg::composed() const
{
    osd::OsdControl c = m_read;
    const auto enables = four(ui->enable1, ui->enable2, ui->enable3, ui->enable4);
    const auto modes = four(ui->inputMode1, ui->inputMode2, ui->inputMode3, ui->inputMode4);
    const auto flickers = four(ui->flicker1, ui->flicker2, ui->flicker3, ui->flicker4);
    const auto locations = four(ui->location1, ui->location2, ui->location3, ui->location4);
    for (int i = 0; i < 4; ++i) {
        c.enabled[i] = enables[i]->isChecked();
        c.fieldMode[i] = modes[i]->currentIndex() == 1;
        c.flicker[i] = flickers[i]->isChecked();
        c.afterScalar[i] = locations[i]->currentIndex() == 1;
    }
    c.logoResolution = pickedValue(ui->logoResolutionCombo, c.logoResolution);
    c.logoBitWidth = pickedValue(ui->logoBitWidthCombo, c.logoBitWidth - 2) + 2;
    c.charFoil = ui->foilCheck->isChecked();
    for (int n = 0; n < osd::OsdControl::kPaletteSize; ++n)
        c.palette[n] = m_palette[n]->value();
    return c;
}

void COsdConfigDlg::onGet()
{
    readBlock(this, osd::OsdControl::kRuns, [this](const QByteArray &bytes) {
        m_read = osd::OsdControl::fromBytes(bytes);
        showBlock(m_read);
    });
}

void COsdConfigDlg::onSet()
{
    writeBlock(this, osd::OsdControl::kRuns, composed().toBytes());
}

template <typename Dialog>
void COsdConfigDlg::openDetail()
{
    Dialog dlg(session(), this);
    if constexpr (std::is_same_v<Dialog, COsdCharChannelDlg>)
        dlg.setColorChooser(m_chooseColor);
    dlg.exec();
}

} // namespace zm
