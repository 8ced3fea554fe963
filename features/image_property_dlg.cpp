#include "features/image_property_dlg.h"

#include "ctrlinfo/ctrl_info.h"
#include "link/messages.h"
#include "ui/one_command.h"
#include "ui_image_property_dlg.h"

#include <QFontDatabase>

namespace zm {

using namespace picture;

namespace {

const QString kReadFailed = QString::fromLatin1(msg::kReadRegisterFailed);
const QString kWriteFailed = QString::fromLatin1(msg::kWriteRegisterFailed);

const QString kE2promReadFailed = QString::fromLatin1(msg::kReadE2promFailed);
const QString kE2promWriteFailed = QString::fromLatin1(msg::kWriteE2promFailed);

static_assert(std::tuple_size_v<PictureRecord> == kImagePropertyLength);

// The memory that holds the control info, located on first use; None after the message that says
// why there is none.
CtrlInfoDevice ctrlInfoDevice(Worker &w)
{
    QString error;
    const CtrlInfoDevice device = EnsureCtrlInfoDevice(w.commands(), error);
    // A probe that failed because the port went away: the console says so, once.
    if (device == CtrlInfoDevice::None && !w.session().portLost())
        w.message(error);
    return device;
}

// As ctrlInfoDevice(), for a save: the SPI flash is refused before anything is read, since a
// flash cell cannot be rewritten in place.
CtrlInfoDevice writableCtrlInfoDevice(Worker &w)
{
    const CtrlInfoDevice device = ctrlInfoDevice(w);
    if (device == CtrlInfoDevice::None || CtrlInfoWritable(device))
        return device;
    w.message(QString::fromLatin1(msg::kSpiFlashNotModifiable));
    return CtrlInfoDevice::None;
}

// The address of the Image Property record; false after the message that says why it cannot be
// used.
bool findRecord(Worker &w, CtrlInfoDevice device, uint16_t &record)
{
    if (const uint8_t r = FindImagePropertyRecord(w.commands(), device, record)) {
        w.failure(r, kE2promReadFailed);
        return false;
    }
    if (record == 0) {
        w.message(QString::fromLatin1(msg::kNoImagePropertyConfig));
        return false;
    }
    // The addresses of the control info are 16 bits: a record at the very end would have its last
    // bytes wrap to the start of the memory, over the signature.
    if (uint32_t(record) + kImagePropertyLength > 0x10000) {
        w.message(QString::fromLatin1(msg::kImagePropertyPastEnd).arg(QString::asprintf("%04X", record)));
        return false;
    }
    return true;
}

uint8_t readDevice(Commands &c, CtrlInfoDevice device, uint16_t address, uint8_t *bytes, int n)
{
    BlockDescriptor block{ctrlInfoMemoryType(device), address, uint16_t(n), bytes};
    return c.blockRead(&block, 1);
}

// Written in pieces that never cross a page of the SPI EEPROM: the part would wrap a longer write
// to the start of the page and overwrite the bytes there.
uint8_t writeDevice(Commands &c, CtrlInfoDevice device, uint16_t address, uint8_t *bytes, int n)
{
    BlockDescriptor block{ctrlInfoMemoryType(device), address, uint16_t(n), bytes};
    return c.blockWrite(&block, 1);
}

void saved(Worker &w)
{
    w.message(QString::fromLatin1(msg::kSaveToE2promFinish), QMessageBox::Information);
}

// The widest text a value label can show, so the window does not jump while a slider moves.
int labelWidth(const QLabel *label, const QStringList &widest)
{
    int w = 0;
    for (const QString &t : widest)
        w = std::max(w, label->fontMetrics().horizontalAdvance(t));
    return w + 4;
}

} // namespace

CImagePropertyDlg::CImagePropertyDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CImagePropertyDlg>())
{
    ui->setupUi(this);
    ui->registerText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->e2promText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
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
    connect(ui->readE2promButton, &QPushButton::clicked, this, &CImagePropertyDlg::readE2prom);
    connect(ui->saveSlidersE2promButton, &QPushButton::clicked, this, &CImagePropertyDlg::saveControlsToE2prom);
    connect(ui->saveEnablesE2promButton, &QPushButton::clicked, this, &CImagePropertyDlg::saveEnablesToE2prom);
    setCloseButton(ui->cancelButton);
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
    const int index = int(&s - m_sliders.constData());
    runQuery<uint8_t>(
        this, session(), kWriteFailed,
        [address = s.address, byte](Commands &c, uint8_t &written) {
            written = byte;
            return writeRegisters(c, address, &byte, 1);
        },
        [this, index](uint8_t written) { showWritten(index, &written, 1); }, {.disableWindow = false});
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

void CImagePropertyDlg::showWritten(int first, const uint8_t *bytes, int n)
{
    if (!m_registers)
        return;
    uint8_t *fields[] = {&m_registers->brightness, &m_registers->contrast, &m_registers->offContrast, &m_registers->hue,
                         &m_registers->saturation};
    for (int i = 0; i < n && first + i < 5; ++i)
        *fields[first + i] = bytes[i];
    ui->registerText->setPlainText(registerDump(*m_registers));
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
        this, session(), kReadFailed, [](Commands &c, PictureControls &p) { return readPictureControls(c, p); },
        [this, sliders](const PictureControls &p) {
            if (sliders)
                showControls(p);
            m_registers = p;
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
            if (!first)
                showWritten(0, kDefaultFirst.data(), 3);
            if (!second)
                showWritten(3, kDefaultSecond.data(), 2);
        });
    });
}

void CImagePropertyDlg::getFunction()
{
    runQuery<uint8_t>(
        this, session(), kReadFailed, [](Commands &c, uint8_t &control) { return readControl(c, control); },
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

void CImagePropertyDlg::readE2prom()
{
    runWorker([this](Worker &w) {
        const CtrlInfoDevice device = ctrlInfoDevice(w);
        uint16_t record = 0;
        if (device == CtrlInfoDevice::None || !findRecord(w, device, record))
            return;
        PictureRecord values{};
        if (const uint8_t r = readDevice(w.commands(), device, record, values.data(), kImagePropertyLength))
            return w.failure(r, kE2promReadFailed);
        w.gui([&] { ui->e2promText->setPlainText(recordDump(record, values)); });
    });
}

void CImagePropertyDlg::saveControlsToE2prom()
{
    runWorker([](Worker &w) {
        const CtrlInfoDevice device = writableCtrlInfoDevice(w);
        if (device == CtrlInfoDevice::None)
            return;
        // What the chip shows now, not the sliders: a slider write may have failed.
        PictureRecord values{};
        if (const uint8_t r = readRecordRegisters(w.commands(), values))
            return w.failure(r, kReadFailed);
        uint16_t record = 0;
        if (!findRecord(w, device, record))
            return;
        if (const uint8_t r = writeDevice(w.commands(), device, record, values.data(), kImagePropertyLength))
            return w.failure(r, kE2promWriteFailed);
        saved(w);
    });
}

void CImagePropertyDlg::saveEnablesToE2prom()
{
    runWorker([enables = checkedEnables()](Worker &w) {
        const CtrlInfoDevice device = writableCtrlInfoDevice(w);
        if (device == CtrlInfoDevice::None)
            return;
        uint8_t word = 0;
        if (const uint8_t r = readDevice(w.commands(), device, kIspWord3LowOffset, &word, 1))
            return w.failure(r, kE2promReadFailed);
        word = withEnables(word, enables);
        if (const uint8_t r = writeDevice(w.commands(), device, kIspWord3LowOffset, &word, 1))
            return w.failure(r, kE2promWriteFailed);
        saved(w);
    });
}

} // namespace zm
