#include "features/image_property_dlg.h"

#include "link/messages.h"
#include "ui/one_command.h"
#include "ui_image_property_dlg.h"

#include <QFontDatabase>

namespace zm {

using namespace picture;

namespace {

const QString kReadFailed = QString::fromLatin1(msg::kReadRegisterFailed);
const QString kWriteFailed = QString::fromLatin1(msg::kWriteRegisterFailed);

// The widest text a value label can show, so the window does not jump while a slider moves.
int labelWidth(const QLabel *label, const QStringList &widest)
{
    int w = 0;
    for (const QString &t : widest)
        w = std::max(w, label->fontMetrics().horizontalAdvance(t));
    return w + 4;
}

} // namespace

CImagePropertyDlg::CImagePropertyDlg(CommandLayer &layer, QWidget *parent)
    : ToolDialog(layer, parent)
    , ui(std::make_unique<Ui::CImagePropertyDlg>())
{
    ui->setupUi(this);
    ui->registerText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto plain = [](int v) { return uint8_t(v); };
    auto unsignedValue = [](uint8_t b) { return int(b); };
    m_sliders = {
        {ui->brightnessSlider, ui->brightnessValueLabel, kBrightnessRegister, brightnessByte, brightnessLabel,
         brightnessValue},
        {ui->contrastSlider, ui->contrastValueLabel, uint16_t(kBrightnessRegister + 1), plain,
         [](int v) { return contrastLabel(uint8_t(v)); }, unsignedValue},
        {ui->offContrastSlider, ui->offContrastValueLabel, uint16_t(kBrightnessRegister + 2), plain,
         [](int v) { return offContrastLabel(uint8_t(v)); }, unsignedValue},
        {ui->hueSlider, ui->hueValueLabel, kHueRegister, hueByte, hueLabel, hueValue},
        {ui->saturationSlider, ui->saturationValueLabel, uint16_t(kHueRegister + 1), plain,
         [](int v) { return saturationLabel(uint8_t(v)); }, unsignedValue},
    };
    const QStringList widest = {brightnessLabel(-128), contrastLabel(0xFF), saturationLabel(0xFF), hueLabel(-30)};
    const PictureControls start;
    const uint8_t startBytes[5] = {start.brightness, start.contrast, start.offContrast, start.hue, start.saturation};
    for (int i = 0; i < m_sliders.size(); ++i) {
        const Slider &s = m_sliders[i];
        s.label->setMinimumWidth(labelWidth(s.label, widest));
        showValue(s, startBytes[i]);
        connect(s.slider, &QSlider::valueChanged, this, [this, i] { sliderMoved(m_sliders[i]); });
        connect(s.slider, &QSlider::sliderReleased, this, [this, i] { writeSlider(m_sliders[i]); });
    }

    connect(ui->reloadButton, &QPushButton::clicked, this, [this] { reload(true); });
    connect(ui->readRegisterButton, &QPushButton::clicked, this, [this] { reload(false); });
    connect(ui->setDefaultButton, &QPushButton::clicked, this, &CImagePropertyDlg::setDefault);
    connect(ui->functionGetButton, &QPushButton::clicked, this, &CImagePropertyDlg::getFunction);
    connect(ui->functionSetButton, &QPushButton::clicked, this, &CImagePropertyDlg::setFunction);
    connect(ui->cancelButton, &QPushButton::clicked, this, &CImagePropertyDlg::reject);
    reload(true);
}

CImagePropertyDlg::~CImagePropertyDlg() = default;

void CImagePropertyDlg::sliderMoved(const Slider &s)
{
    s.label->setText(s.text(s.slider->value()));
    // A drag writes once, when the handle is let go; a step from the keyboard or a click beside
    // the handle has no release and writes now.
    if (!m_showing && !s.slider->isSliderDown())
        writeSlider(s);
}

void CImagePropertyDlg::writeSlider(const Slider &s)
{
    const uint8_t byte = s.byte(s.slider->value());
    runCommand(
        this, layer(), kWriteFailed,
        [address = s.address, byte](Commands &c) { return writeRegisters(c, address, &byte, 1); },
        {.disableWindow = false});
}

void CImagePropertyDlg::showValue(const Slider &s, uint8_t byte)
{
    m_showing = true;
    s.slider->setValue(s.value(byte));
    s.label->setText(s.text(s.slider->value()));
    m_showing = false;
}

void CImagePropertyDlg::showControls(const PictureControls &c)
{
    const uint8_t bytes[5] = {c.brightness, c.contrast, c.offContrast, c.hue, c.saturation};
    for (int i = 0; i < m_sliders.size(); ++i)
        showValue(m_sliders[i], bytes[i]);
    showEnables(c.control);
}

void CImagePropertyDlg::showEnables(uint8_t control)
{
    ui->enContrastCheck->setChecked(control & kEnContrast);
    ui->enBrightnessCheck->setChecked(control & kEnBrightness);
    ui->enHueCheck->setChecked(control & kEnHue);
    ui->enSaturationCheck->setChecked(control & kEnSaturation);
}

uint8_t CImagePropertyDlg::checkedEnables() const
{
    return uint8_t((ui->enContrastCheck->isChecked() ? kEnContrast : 0)
                   | (ui->enBrightnessCheck->isChecked() ? kEnBrightness : 0)
                   | (ui->enHueCheck->isChecked() ? kEnHue : 0)
                   | (ui->enSaturationCheck->isChecked() ? kEnSaturation : 0));
}

void CImagePropertyDlg::reload(bool sliders)
{
    runQuery<PictureControls>(
        this, layer(), kReadFailed, [](Commands &c, PictureControls &p) { return readPictureControls(c, p); },
        [this, sliders](const PictureControls &p) {
            if (sliders)
                showControls(p);
            ui->registerText->setPlainText(registerDump(p));
        });
}

void CImagePropertyDlg::setDefault()
{
    runWorker([this](Worker &w) {
        // Both halves are written even when the first fails; a slider moves only when its
        // register really took the default.
        const uint8_t first = writeRegisters(w.commands(), kBrightnessRegister, kDefaultFirst.data(), 3);
        if (first)
            w.failure(first, kWriteFailed);
        const uint8_t second = writeRegisters(w.commands(), kHueRegister, kDefaultSecond.data(), 2);
        if (second)
            w.failure(second, kWriteFailed);
        w.gui([&] {
            for (int i = 0; i < 3 && !first; ++i)
                showValue(m_sliders[i], kDefaultFirst[size_t(i)]);
            for (int i = 0; i < 2 && !second; ++i)
                showValue(m_sliders[3 + i], kDefaultSecond[size_t(i)]);
        });
    });
}

void CImagePropertyDlg::getFunction()
{
    runQuery<uint8_t>(
        this, layer(), kReadFailed, [](Commands &c, uint8_t &control) { return readControl(c, control); },
        [this](uint8_t control) { showEnables(control); });
}

void CImagePropertyDlg::setFunction()
{
    runWorker([enables = checkedEnables()](Worker &w) {
        uint8_t control = 0;
        if (const uint8_t r = readControl(w.commands(), control))
            return w.failure(r, kReadFailed);
        const uint8_t updated = withEnables(control, enables);
        if (const uint8_t r = writeRegisters(w.commands(), kControlRegister, &updated, 1))
            w.failure(r, kWriteFailed);
    });
}

} // namespace zm
