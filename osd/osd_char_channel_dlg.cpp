#include "osd/osd_char_channel_dlg.h"

#include "link/messages.h"
#include "osd/block_exchange.h"
#include "osd/osd_char_list_dlg.h"
#include "osd/osd_char_set.h"
#include "osd/osd_registers.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui_osd_char_channel_dlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>

namespace zm {

COsdCharChannelDlg::COsdCharChannelDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::COsdCharChannelDlg>())
    , m_chooseColor(colorDialogChooser(this))
{
    ui->setupUi(this);
    m_lines = {{
        {ui->posX1, ui->posY1, ui->horStep1, ui->charSize1, ui->charNumber1, ui->display1, ui->flicker1, ui->lineEdit1,
         ui->lengthLabel1, ui->preview1, ui->addChar1, ui->clearLine1},
        {ui->posX2, ui->posY2, ui->horStep2, ui->charSize2, ui->charNumber2, ui->display2, ui->flicker2, ui->lineEdit2,
         ui->lengthLabel2, ui->preview2, ui->addChar2, ui->clearLine2},
        {ui->posX3, ui->posY3, ui->horStep3, ui->charSize3, ui->charNumber3, ui->display3, ui->flicker3, ui->lineEdit3,
         ui->lengthLabel3, ui->preview3, ui->addChar3, ui->clearLine3},
        {ui->posX4, ui->posY4, ui->horStep4, ui->charSize4, ui->charNumber4, ui->display4, ui->flicker4, ui->lineEdit4,
         ui->lengthLabel4, ui->preview4, ui->addChar4, ui->clearLine4},
    }};
    const QStringList posX = osd::CharChannel::posXLabels();
    const QStringList posY = osd::CharChannel::posYLabels();
    const QStringList numbers = osd::CharChannel::charNumberLabels();
    const QStringList steps = {QStringLiteral("0  pixels"), QStringLiteral("4  pixels"), QStringLiteral("8  pixels"),
                               QStringLiteral("12 pixels")};
    QPushButton *swatches[] = {ui->charSwatch1, ui->charSwatch2, ui->charSwatch3, ui->charSwatch4};
    QLineEdit *colors[] = {ui->charColor1, ui->charColor2, ui->charColor3, ui->charColor4};
    for (int n = 0; n < osd::CharChannel::kLines; ++n) {
        LineControls &l = m_lines[n];
        l.posX->addItems(posX);
        l.posY->addItems(posY);
        l.horStep->addItems(steps);
        l.charSize->addItems({QStringLiteral("16*16"), QStringLiteral("32*32")});
        l.charNumber->addItems(numbers);
        for (QComboBox *c : {l.posX, l.posY, l.charNumber})
            c->setMaxVisibleItems(20);
        m_colors[n] = new PaletteField(colors[n], swatches[n], &m_chooseColor);
        connect(m_colors[n], &PaletteField::changed, this, [this, n] { drawPreview(n + 1); });
        // Room for a whole line of capitals.
        l.text->setMinimumWidth(l.text->fontMetrics().horizontalAdvance(QString(osd::CharChannel::kMaxChars, 'X')) + 12);
        m_texts[n] = new EditFilter(l.text, EditFilter::charSetRule(&osd::OsdCharSet::canType,
                                                                    osd::CharChannel::kMaxChars));
        connect(l.text, &QLineEdit::textChanged, this, [this, n] { textChanged(n + 1); });
        connect(l.addChar, &QPushButton::clicked, this, [this, n] { addChar(n + 1); });
        connect(l.clearLine, &QPushButton::clicked, this, [this, n] { clearLine(n + 1); });
    }
    // A colour field keeps its size; the line columns share the group's width with the rest.
    for (QHBoxLayout *l : {ui->charColorLayout1, ui->charColorLayout2, ui->charColorLayout3, ui->charColorLayout4})
        l->addStretch(1);
    const QStringList alpha = osd::CharChannel::alphaLabels();
    ui->alphaCombo->addItems(alpha);
    ui->flickerFreqCombo->addItems(alpha);
    ui->alphaCombo->setMaxVisibleItems(20);
    ui->flickerFreqCombo->setMaxVisibleItems(20);
    m_foil = new PaletteField(ui->foilColorEdit, ui->foilSwatch, &m_chooseColor);
    setOfflineWidgets({ui->charSwatch1, ui->charSwatch2, ui->charSwatch3, ui->charSwatch4, ui->foilSwatch,
                       ui->charListButton});

    showBlock(m_read);
    for (int line = 1; line <= osd::CharChannel::kLines; ++line)
        textChanged(line);

    connect(ui->getButton, &QPushButton::clicked, this, &COsdCharChannelDlg::onGet);
    connect(ui->setButton, &QPushButton::clicked, this, &COsdCharChannelDlg::onSet);
    connect(ui->charListButton, &QPushButton::clicked, this, [this] {
        COsdCharListDlg list(this);
        list.exec();
    });
    setCloseButton(ui->cancelButton);

    onGet();
}

COsdCharChannelDlg::~COsdCharChannelDlg() = default;

QImage COsdCharChannelDlg::preview(int line) const
{
    return m_previews.at(line - 1);
}

void COsdCharChannelDlg::showBlock(const osd::CharChannel &block)
{
    for (int n = 0; n < osd::CharChannel::kLines; ++n) {
        const osd::CharLine &v = block.lines[n];
        const LineControls &l = m_lines[n];
        selectValue(l.posX, v.posX);
        selectValue(l.posY, v.posY);
        selectValue(l.horStep, v.horStep);
        selectValue(l.charSize, v.charSize);
        selectValue(l.charNumber, v.charNumber);
        l.display->setChecked(v.display);
        l.flicker->setChecked(v.flicker);
        m_colors[n]->setValue(v.color);
    }
    selectValue(ui->alphaCombo, block.alpha);
    selectValue(ui->flickerFreqCombo, block.flickerFrequency);
    m_foil->setValue(block.foil);
    for (int line = 1; line <= osd::CharChannel::kLines; ++line)
        drawPreview(line);
}

osd::CharChannel COsdCharChannelDlg::composed() const
{
    osd::CharChannel block = m_read;
    for (int n = 0; n < osd::CharChannel::kLines; ++n) {
        osd::CharLine &v = block.lines[n];
        const LineControls &l = m_lines[n];
        // Positions, alpha and flicker frequency are item indexes cut to the register's byte.
        v.posX = pickedValue(l.posX, v.posX) & 0xFF;
        v.posY = pickedValue(l.posY, v.posY) & 0xFF;
        v.horStep = pickedValue(l.horStep, v.horStep);
        v.charSize = pickedValue(l.charSize, v.charSize);
        v.charNumber = pickedValue(l.charNumber, v.charNumber);
        v.display = l.display->isChecked();
        v.flicker = l.flicker->isChecked();
        v.color = m_colors[n]->value();
    }
    block.alpha = pickedValue(ui->alphaCombo, block.alpha) & 0xFF;
    block.flickerFrequency = pickedValue(ui->flickerFreqCombo, block.flickerFrequency) & 0xFF;
    block.foil = m_foil->value();
    return block;
}

void COsdCharChannelDlg::onGet()
{
    readBlock(this, osd::CharChannel::kRuns, [this](const QByteArray &bytes) {
        m_read = osd::CharChannel::fromBytes(bytes);
        showBlock(m_read);
    });
}

void COsdCharChannelDlg::onSet()
{
    writeBlock(this, osd::CharChannel::kRuns, composed().toBytes());
}

void COsdCharChannelDlg::addChar(int line)
{
    const std::optional<QByteArray> indexes = osd::OsdCharSet::toIndexes(m_texts[line - 1]->text());
    if (!indexes) {
        showMessage(this, QString::fromLatin1(msg::kIncludeInvalidChar));
        return;
    }
    const std::vector<osd::CharPiece> pieces = osd::linePieces(line, *indexes);
    if (pieces.empty())
        return;
    runWorker([pieces](Worker &w) {
        if (const uint8_t r = osd::writePieces(w.commands(), pieces, w.stopToken()))
            w.failure(r, QString::fromLatin1(msg::kWriteRegisterFailed));
    });
}

void COsdCharChannelDlg::clearLine(int line)
{
    const auto job = runWorker([line](Worker &w) {
        if (const uint8_t r = osd::writePieces(w.commands(), osd::clearPieces(line), w.stopToken()))
            w.failure(r, QString::fromLatin1(msg::kWriteRegisterFailed));
    });
    // A press that was refused (another command in flight) keeps the text the user typed.
    if (job)
        m_texts[line - 1]->setText(QString());
}

void COsdCharChannelDlg::textChanged(int line)
{
    const LineControls &l = m_lines[line - 1];
    l.length->setText(QString::asprintf("(%2d)", int(m_texts[line - 1]->text().size())));
    drawPreview(line);
}

void COsdCharChannelDlg::drawPreview(int line)
{
    const LineControls &l = m_lines[line - 1];
    // A cell per character of the longest line, in a fixed-pitch font like the chip's cells.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int cell = metrics.horizontalAdvance(QLatin1Char('W'));
    QImage image(cell * osd::CharChannel::kMaxChars + 8, metrics.height() + 6, QImage::Format_RGB32);
    image.fill(paletteColor(m_read.background));
    QPainter painter(&image);
    painter.setFont(font);
    // The entry's colour, not the colour picked for it: the chip keeps only the entry's bits.
    painter.setPen(paletteColor(m_colors[line - 1] ? m_colors[line - 1]->value() : 0));
    const QString text = m_texts[line - 1] ? m_texts[line - 1]->text() : QString();
    for (int i = 0; i < text.size(); ++i)
        painter.drawText(QRect(4 + i * cell, 3, cell, metrics.height()), Qt::AlignCenter, text.mid(i, 1));
    painter.end();
    m_previews[line - 1] = image;
    l.preview->setPixmap(QPixmap::fromImage(image));
    l.preview->setToolTip(QStringLiteral("Line%1 as the camera overlays it").arg(line));
}

} // namespace zm
