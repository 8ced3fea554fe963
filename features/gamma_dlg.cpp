#include "features/gamma_dlg.h"

#include "features/feature_records.h"
#include "protocol/hex_text.h"
#include "link/messages.h"
#include "ui_gamma_dlg.h"

namespace zm {

CGammaDlg::CGammaDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CGammaDlg>())
    , m_table(records.gamma)
{
    ui->setupUi(this);
    for (int n = 0; n < kGammaYCount; ++n) {
        m_ySliders << findChild<QSlider *>(QStringLiteral("ySlider%1").arg(n));
        m_yEdits << findChild<QLineEdit *>(QStringLiteral("yEdit%1").arg(n));
    }
    for (int n = 1; n <= kGammaXCount; ++n)
        m_xEdits << findChild<QLineEdit *>(QStringLiteral("xEdit%1").arg(n));
    for (int n = 0; n < kGammaYCount; ++n) {
        connect(m_ySliders[n], &QSlider::valueChanged, this, [this, n] { sliderMoved(n); });
        connect(m_ySliders[n], &QSlider::sliderReleased, this, &CGammaDlg::writeTable);
    }
    connect(ui->setDefaultButton, &QPushButton::clicked, this, &CGammaDlg::setDefault);
    connect(ui->setValueButton, &QPushButton::clicked, this, &CGammaDlg::writeTable);
    connect(ui->getValueButton, &QPushButton::clicked, this, &CGammaDlg::readTable);
    setCloseButton(ui->cancelButton);
    showTable();
    readTable();
}

CGammaDlg::~CGammaDlg() = default;

void CGammaDlg::sliderMoved(int n)
{
    if (m_showing)
        return;
    const uint8_t y = uint8_t(m_ySliders[n]->value());
    m_table[size_t(kGammaYOffset + n)] = y;
    m_yEdits[n]->setText(formatHex(y, 2));
    ui->curveView->setTable(m_table);
    // A drag writes once, when the handle is let go; a step from the keyboard or a click beside
    // the handle has no release and writes now.
    if (!m_ySliders[n]->isSliderDown())
        writeTable();
}

void CGammaDlg::showTable()
{
    m_showing = true;
    for (int n = 0; n < kGammaYCount; ++n) {
        m_ySliders[n]->setValue(gammaY(m_table, n));
        m_yEdits[n]->setText(formatHex(gammaY(m_table, n), 2));
    }
    for (int n = 1; n <= kGammaXCount; ++n)
        m_xEdits[n - 1]->setText(formatHex(gammaX(m_table, n), 2));
    ui->curveView->setTable(m_table);
    m_showing = false;
}

void CGammaDlg::setDefault()
{
    m_table = kDefaultGamma;
    showTable();
    writeTable();
}

void CGammaDlg::writeTable()
{
    runWorker([this, table = m_table](Worker &w) {
        if (const uint8_t r = writeGamma(w.commands(), table))
            w.failure(r, QString::fromLatin1(msg::kGammaWriteFailed));
        w.gui([this] { showTable(); });
    });
}

void CGammaDlg::readTable()
{
    runWorker([this](Worker &w) {
        GammaTable table{};
        const uint8_t r = readGamma(w.commands(), table);
        if (r)
            w.failure(r, QString::fromLatin1(msg::kGammaReadFailed));
        w.gui([&] {
            if (r == 0)
                m_table = table;
            showTable();
        });
    });
}

} // namespace zm
