#include "motion/motion_setting_dlg.h"

#include "protocol/hex_text.h"
#include "link/messages.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui_motion_setting_dlg.h"

#include <QComboBox>
#include <QLineEdit>

namespace zm {

namespace {

const char *const kValueNames[4] = {"RowSum", "RowLine", "ColSum", "ColLine"};

QString boundaryName(int i)
{
    return QStringLiteral("%1 %2").arg(i < 5 ? "Hor" : "Ver").arg(i % 5);
}

} // namespace

CMotionSettingDlg::CMotionSettingDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CMotionSettingDlg>())
{
    ui->setupUi(this);
    const auto &fields = thresholdFields();
    for (int i = 0; i < kThresholdFieldCount; ++i) {
        QLineEdit *edit = findChild<QLineEdit *>(QStringLiteral("thresholdEdit%1").arg(i));
        const int digits = fields[i].digits;
        edit->setMaxLength(digits);
        // One column wide enough for the longest value, whatever the font.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDD")) + 16);
        (new EditFilter(edit, EditFilter::hexRule([digits] { return digits; })))->setText(fields[i].defaultText);
        m_thresholdEdits[i] = edit;
    }
    for (int i = 0; i < 10; ++i)
        m_boundaryCombos[i] = findChild<QComboBox *>(QStringLiteral("%1Combo%2").arg(i < 5 ? "hor" : "ver").arg(i % 5));
    for (int w = 0; w < kWindowCount; ++w) {
        for (int v = 0; v < 4; ++v) {
            QLineEdit *edit = findChild<QLineEdit *>(QStringLiteral("win%1%2Edit").arg(w).arg(kValueNames[v]));
            // Four digits make the 16-bit value; a longer text would only be cut.
            (new EditFilter(edit, EditFilter::hexRule([] { return 4; })))->setText(QStringLiteral("0000"));
            m_windowEdits[windowSelector(w, WindowValue(v))] = edit;
        }
    }
    for (const ImageType &t : imageTypes())
        ui->imageTypeCombo->addItem(QString::fromLatin1(t.name));
    ui->imageTypeCombo->setCurrentIndex(kDefaultImageType);
    fillBoundaries();

    connect(ui->imageTypeCombo, &QComboBox::currentIndexChanged, this, [this] { fillBoundaries(); });
    connect(ui->averageButton, &QPushButton::clicked, this, [this] { fillBoundaries(); });
    setOfflineWidgets({ui->averageButton});
    connect(ui->thresholdSetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onThresholdSet);
    connect(ui->thresholdGetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onThresholdGet);
    connect(ui->windowsSetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onWindowsSet);
    connect(ui->windowsGetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onWindowsGet);
    connect(ui->singleSetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onSingleSet);
    connect(ui->singleGetButton, &QPushButton::clicked, this, &CMotionSettingDlg::onSingleGet);
}

CMotionSettingDlg::~CMotionSettingDlg() = default;

// Every list gets the positions of the chosen image type, and the selections cut the picture
// into four even parts each way.
void CMotionSettingDlg::fillBoundaries()
{
    const ImageType &type = imageTypes()[size_t(std::max(0, ui->imageTypeCombo->currentIndex()))];
    for (int axis = 0; axis < 2; ++axis) {
        const int size = axis == 0 ? type.width : type.height;
        const QStringList entries = boundaryEntries(size);
        const auto even = evenBoundaries(size);
        for (int i = 0; i < 5; ++i) {
            QComboBox *combo = m_boundaryCombos[size_t(axis * 5 + i)];
            if (combo->count() != size) {
                combo->clear();
                combo->addItems(entries);
            }
            combo->setCurrentIndex(even[size_t(i)]);
        }
    }
}

void CMotionSettingDlg::startSteps(int steps)
{
    ui->progressBar->setRange(0, steps);
    ui->progressBar->setValue(0);
}

Report CMotionSettingDlg::stepReport(Worker &w)
{
    Worker::ReportTargets targets;
    targets.progress = ui->progressBar;
    return w.report(targets);
}

void CMotionSettingDlg::onThresholdSet()
{
    QStringList texts;
    for (QLineEdit *e : m_thresholdEdits)
        texts << e->text();
    const ThresholdBytes bytes = thresholdBytes(texts);
    startSteps(kThresholdRegisterCount);
    runWorker([this, bytes](Worker &w) {
        const Report r = stepReport(w);
        MotionSettingAccess(w.commands(), r).writeThresholds(bytes);
    });
}

void CMotionSettingDlg::onThresholdGet()
{
    startSteps(kThresholdRegisterCount);
    runWorker([this](Worker &w) {
        const Report r = stepReport(w);
        ThresholdBytes bytes{};
        if (!MotionSettingAccess(w.commands(), r).readThresholds(bytes))
            return;
        const QStringList texts = thresholdTexts(bytes);
        w.gui([this, &texts] {
            for (int i = 0; i < kThresholdFieldCount; ++i)
                m_thresholdEdits[i]->setText(texts[i]);
        });
    });
}

void CMotionSettingDlg::onWindowsSet()
{
    Boundaries b{};
    for (int i = 0; i < 10; ++i)
        b[i] = uint16_t(m_boundaryCombos[i]->currentIndex());
    startSteps(5);
    runWorker([this, b](Worker &w) {
        const Report r = stepReport(w);
        MotionSettingAccess(w.commands(), r).writeBoundaries(b);
    });
}

void CMotionSettingDlg::onWindowsGet()
{
    startSteps(5);
    runWorker([this](Worker &w) {
        const Report r = stepReport(w);
        Boundaries b{};
        if (MotionSettingAccess(w.commands(), r).readBoundaries(b))
            w.gui([this, &b] { showBoundaries(b); });
    });
}

// A position beyond the chosen image type has no entry to select; rather than leave a list
// without a selection (which the next "Set Config" would write as 0xFFFF), nothing is changed
// and the user is told which boundaries do not fit.
void CMotionSettingDlg::showBoundaries(const Boundaries &b)
{
    QStringList outside;
    for (int i = 0; i < 10; ++i)
        if (b[i] >= m_boundaryCombos[i]->count())
            outside << QStringLiteral("%1 = %2").arg(boundaryName(i), QString::asprintf("0x%03X(%03d)", b[i], b[i]));
    if (!outside.isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kBoundaryOutside) + "\n" + outside.join('\n'));
        return;
    }
    for (int i = 0; i < 10; ++i)
        m_boundaryCombos[i]->setCurrentIndex(b[i]);
}

void CMotionSettingDlg::onSingleSet()
{
    WindowThresholds t{};
    for (size_t s = 0; s < t.size(); ++s)
        t[s] = uint16_t(hexFieldValue(m_windowEdits[s]->text(), 4));
    startSteps(int(t.size()));
    runWorker([this, t](Worker &w) {
        const Report r = stepReport(w);
        if (MotionSettingAccess(w.commands(), r).writeWindowThresholds(t))
            w.message(QString::fromLatin1(msg::kMotionWriteFinish), QMessageBox::Information);
    });
}

void CMotionSettingDlg::onSingleGet()
{
    startSteps(4 * kWindowCount);
    runWorker([this](Worker &w) {
        const Report r = stepReport(w);
        WindowThresholds t{};
        if (!MotionSettingAccess(w.commands(), r).readWindowThresholds(t))
            return;
        w.gui([this, &t] {
            for (size_t s = 0; s < t.size(); ++s)
                m_windowEdits[s]->setText(formatHex(t[s], 4));
        });
        w.message(QString::fromLatin1(msg::kMotionReadFinish), QMessageBox::Information);
    });
}

} // namespace zm
