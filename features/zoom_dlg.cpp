#include "features/zoom_dlg.h"

#include "features/feature_records.h"
#include "link/messages.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui_zoom_dlg.h"

namespace zm {

namespace {

constexpr int kMaxSize = 65535;

QString rangeMessage(const QString &field)
{
    return QString::fromLatin1(msg::kNumberRange).arg(field).arg(0).arg(kMaxSize);
}

void fillSteps(QComboBox *combo, const StepList &list, int &value)
{
    combo->addItems(list.entries());
    combo->setCurrentIndex(list.startIndex);
    value = list.value(list.startIndex);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [list, &value](int i) {
        if (i >= 0)
            value = list.value(i);
    });
}

} // namespace

CZoomDlg::CZoomDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CZoomDlg>())
    , m_record(records.zoom)
{
    ui->setupUi(this);
    ui->horCombo->addItems(downSizeNames());
    ui->verCombo->addItems(downSizeNames());
    showDownSize(m_record.hDownSize, m_record.vDownSize);

    const QList<QPair<QLineEdit *, QLabel *>> edits = {
        {ui->srcWidthEdit, ui->srcWidthLabel},   {ui->srcHeightEdit, ui->srcHeightLabel},
        {ui->zoomWidthEdit, ui->zoomWidthLabel}, {ui->zoomHeightEdit, ui->zoomHeightLabel},
        {ui->hStartEdit, ui->hStartLabel},       {ui->vStartEdit, ui->vStartLabel},
    };
    for (const auto &[edit, label] : edits) {
        auto *filter = new EditFilter(edit, EditFilter::decimalRule(kMaxSize));
        const QString name = label->text().chopped(1); // without its colon
        connect(filter, &EditFilter::rejected, this, [this, name] { showMessage(this, rangeMessage(name)); });
        // The drawing follows what is typed.
        connect(edit, &QLineEdit::textChanged, this, &CZoomDlg::redraw);
        m_edits << filter;
        m_editNames << name;
    }
    // Room for the warning from the start, so that the window does not jump when it comes.
    ui->refuseLabel->setMinimumHeight(2 * ui->refuseLabel->fontMetrics().lineSpacing());
    showSizes({m_record.sourceWidth, m_record.sourceHeight, m_record.zoom});

    fillSteps(ui->horZoomCombo, kHorZoomSteps, m_steps.zoomH);
    fillSteps(ui->verZoomCombo, kVerZoomSteps, m_steps.zoomV);
    fillSteps(ui->horMoveCombo, kHorMoveSteps, m_steps.moveH);
    fillSteps(ui->verMoveCombo, kVerMoveSteps, m_steps.moveV);

    connect(ui->setDownSizeButton, &QPushButton::clicked, this, &CZoomDlg::setDownSize);
    connect(ui->getDownSizeButton, &QPushButton::clicked, this, &CZoomDlg::getDownSize);
    connect(ui->setZoomButton, &QPushButton::clicked, this, &CZoomDlg::setZoomConfig);
    connect(ui->getZoomButton, &QPushButton::clicked, this, &CZoomDlg::getZoomConfig);
    const QList<QPair<QPushButton *, Pan>> pans = {
        {ui->zoomInButton, Pan::ZoomIn}, {ui->zoomOutButton, Pan::ZoomOut}, {ui->upButton, Pan::Up},
        {ui->downButton, Pan::Down},     {ui->leftButton, Pan::Left},       {ui->rightButton, Pan::Right},
        {ui->centerButton, Pan::Center},
    };
    for (const auto &[button, how] : pans)
        connect(button, &QPushButton::clicked, this, [this, how = how] { panZoom(how); });
    setCloseButton(ui->cancelButton);
}

CZoomDlg::~CZoomDlg() = default;

std::optional<CZoomDlg::Sizes> CZoomDlg::typedSizes(bool tell)
{
    uint16_t v[6];
    for (int i = 0; i < 6; ++i) {
        const auto n = EditFilter::decimalValue(m_edits[i]->text(), 0, kMaxSize);
        if (!n) {
            if (tell)
                showMessage(this, rangeMessage(m_editNames[i]));
            return std::nullopt;
        }
        v[i] = uint16_t(*n);
    }
    return Sizes{v[0], v[1], ZoomRect{v[2], v[3], v[4], v[5]}};
}

void CZoomDlg::showSizes(const Sizes &s)
{
    const uint16_t v[6] = {s.sourceWidth, s.sourceHeight, s.zoom.width, s.zoom.height, s.zoom.hStart, s.zoom.vStart};
    for (int i = 0; i < 6; ++i)
        m_edits[i]->setText(QString::number(v[i]));
    redraw();
}

void CZoomDlg::showDownSize(int horizontal, int vertical)
{
    // An index the lists do not have (3 from the chip) leaves the list without a choice.
    ui->horCombo->setCurrentIndex(horizontal < ui->horCombo->count() ? horizontal : -1);
    ui->verCombo->setCurrentIndex(vertical < ui->verCombo->count() ? vertical : -1);
}

void CZoomDlg::redraw()
{
    // Half-typed fields leave the drawing as it was.
    if (m_edits.size() < 6)
        return;
    const auto s = typedSizes(false);
    if (!s)
        return;
    ui->zoomView->setZoom(s->sourceWidth, s->sourceHeight, s->zoom);
    // Still sent as typed: the user may know the chip better; but not without a word.
    const bool fits = zoomFits(s->sourceWidth, s->sourceHeight, s->zoom);
    ui->refuseLabel->setText(fits ? QString()
                                  : QStringLiteral("The rectangle leaves the %1x%2 source: the chip will refuse it "
                                                   "(\"Invalid data format\"). It is sent as typed all the same.")
                                        .arg(s->sourceWidth)
                                        .arg(s->sourceHeight));
}

void CZoomDlg::apply(const Sizes &s)
{
    m_record.hDownSize = ui->horCombo->currentIndex();
    m_record.vDownSize = ui->verCombo->currentIndex();
    m_record.sourceWidth = s.sourceWidth;
    m_record.sourceHeight = s.sourceHeight;
    m_record.zoom = s.zoom;
    runCommand(this, session(), QString(), [z = s.zoom](Commands &c) { return c.setZoom(z); });
}

void CZoomDlg::setZoomConfig()
{
    if (const auto s = typedSizes(true))
        apply(*s);
}

void CZoomDlg::panZoom(Pan how)
{
    auto s = typedSizes(true);
    if (!s)
        return;
    s->zoom = pan(s->zoom, s->sourceWidth, s->sourceHeight, how, m_steps);
    showSizes(*s);
    apply(*s);
}

void CZoomDlg::getZoomConfig()
{
    runQuery<ZoomInfo>(
        this, session(), QString(), [](Commands &c, ZoomInfo &z) { return c.getZoom(z); },
        [this](const ZoomInfo &z) {
            m_record.sourceWidth = z.sourceWidth;
            m_record.sourceHeight = z.sourceHeight;
            m_record.zoom = z.zoom;
            showSizes({z.sourceWidth, z.sourceHeight, z.zoom});
        });
}

void CZoomDlg::setDownSize()
{
    const int h = ui->horCombo->currentIndex(), v = ui->verCombo->currentIndex();
    if (h < 0 || v < 0) {
        showMessage(this, QString::fromLatin1(msg::kSelectChoice).arg(downSizeNames().join(QStringLiteral(", "))));
        return;
    }
    m_record.hDownSize = h;
    m_record.vDownSize = v;
    runCommand(this, session(), QString(), [b = downSizeByte(h, v)](Commands &c) { return c.setDownSize(b); });
}

void CZoomDlg::getDownSize()
{
    runQuery<uint8_t>(
        this, session(), QString(), [](Commands &c, uint8_t &b) { return c.getDownSize(b); },
        [this](uint8_t b) {
            m_record.hDownSize = downSizeHorizontal(b);
            m_record.vDownSize = downSizeVertical(b);
            showDownSize(m_record.hDownSize, m_record.vDownSize);
        });
}

} // namespace zm
