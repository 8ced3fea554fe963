#include "tools/fbuf_dlg.h"

#include "link/messages.h"
#include "tools/fbuf_settings.h"
#include "ui/edit_filter.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui_fbuf_dlg.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QImageReader>
#include <QPixmap>

namespace zm {

namespace {

// Reads one chip register; the worker shows the failure.
bool readRegister(Worker &w, uint16_t address, uint8_t &value)
{
    const uint8_t r = w.commands().readRegister(address, value);
    if (r)
        w.failure(r, QString::fromLatin1(msg::kReadRegisterFailed));
    return r == 0;
}

bool writeRegister(Worker &w, uint16_t address, uint8_t value)
{
    const uint8_t r = w.commands().writeRegister(address, value);
    if (r)
        w.failure(r, QString::fromLatin1(msg::kWriteRegisterFailed));
    return r == 0;
}

} // namespace

CFbufDlg::CFbufDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CFbufDlg>())
{
    ui->setupUi(this);
    m_chooseFile = [this](bool save, const QString &name, const QString &filter) {
        return save ? QFileDialog::getSaveFileName(this, QString(), name, filter)
                    : QFileDialog::getOpenFileName(this, QString(), name, filter);
    };

    ui->frameTypeCombo->addItems({"Current Fbuf", "Next Fbuf"});
    ui->opModeCombo->addItems({"MCU", "DMA"});
    ui->deviceCombo->addItems({"MCU UART", "HUART", "SPI"});
    ui->spiTypeCombo->addItems({"Host", "Memory"});
    for (QComboBox *c : {ui->decryptKeyCombo, ui->encryptKeyCombo, ui->cryptKeyCombo, ui->tcrCombo})
        for (int i = 0; i < 256; ++i)
            c->addItem(byteEntry(i));
    ui->tcrCombo->setCurrentIndex(kDefaultTcr);
    // 0..65535 as typed: anything else is undone, so what is sent is what the field shows.
    m_delay = new EditFilter(ui->delayEdit, EditFilter::decimalRule(kMaxDelay));
    m_delay->setText(QStringLiteral("3000"));
    setOfflineWidgets({ui->selFileButton, ui->readFileButton});
    ui->showImageCheck->setChecked(true);
    // Room for the longest length text and the longest size text.
    ui->imageLenEdit->setMinimumWidth(
        ui->imageLenEdit->fontMetrics().horizontalAdvance(QStringLiteral("0x00000000 (0000.00K)")) + 16);
    ui->sizeEdit->setMinimumWidth(ui->sizeEdit->fontMetrics().horizontalAdvance(QStringLiteral("(not a picture)")) + 16);
    showRatio();

    connect(ui->stopCurrentButton, &QPushButton::clicked, this, [this] { frameControl(0); });
    connect(ui->stopNextButton, &QPushButton::clicked, this, [this] { frameControl(1); });
    connect(ui->stepButton, &QPushButton::clicked, this, [this] { frameControl(2); });
    connect(ui->resumeButton, &QPushButton::clicked, this, [this] { frameControl(3); });
    connect(ui->selFileButton, &QPushButton::clicked, this, &CFbufDlg::onSelFile);
    connect(ui->readFileButton, &QPushButton::clicked, this, &CFbufDlg::onReadFile);
    connect(ui->readButton, &QPushButton::clicked, this, &CFbufDlg::onRead);
    connect(ui->writeButton, &QPushButton::clicked, this, &CFbufDlg::onWrite);
    connect(ui->getLenButton, &QPushButton::clicked, this, &CFbufDlg::onGetLen);
    connect(ui->cryptGetButton, &QPushButton::clicked, this, &CFbufDlg::onCryptGet);
    connect(ui->cryptSetButton, &QPushButton::clicked, this, &CFbufDlg::onCryptSet);
    connect(ui->tcrGetButton, &QPushButton::clicked, this, &CFbufDlg::onTcrGet);
    connect(ui->tcrSetButton, &QPushButton::clicked, this, &CFbufDlg::onTcrSet);
    connect(ui->tcrCombo, &QComboBox::currentIndexChanged, this, [this] { showRatio(); });
    connect(ui->showImageCheck, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            m_preview = QImage();
            m_previewFailed = false;
        }
        showPreview();
    });
}

CFbufDlg::~CFbufDlg() = default;

FbufOptions CFbufDlg::options(bool write) const
{
    FbufOptions o;
    o.frame = uint8_t(ui->frameTypeCombo->currentIndex());
    o.dma = ui->opModeCombo->currentIndex() == 1;
    o.device = ui->deviceCombo->currentIndex();
    o.spiType = ui->spiTypeCombo->currentIndex();
    o.videoSource = ui->videoSourceCheck->isChecked();
    o.delay = uint16_t(EditFilter::decimalValue(m_delay->text(), 0, kMaxDelay).value_or(0));
    o.crypt = write ? ui->encryptCheck->isChecked() : ui->decryptCheck->isChecked();
    o.key = uint8_t(write ? ui->encryptKeyCombo->currentIndex() : ui->decryptKeyCombo->currentIndex());
    o.path = write ? m_writePath : m_readPath;
    return o;
}

// What a transfer tells the window: progress, the length text and the picture to preview.
Report CFbufDlg::report(Worker &w)
{
    Worker::ReportTargets targets;
    targets.progress = ui->progressBar;
    targets.value = [this](const QString &name, const QString &text) {
        if (name == QLatin1String("length"))
            ui->imageLenEdit->setText(text);
        else if (name == QLatin1String("picture") && ui->showImageCheck->isChecked())
            loadPreview(text);
    };
    return w.report(targets);
}

void CFbufDlg::frameControl(uint8_t operation)
{
    runCommand(this, session(), QString(), [operation](Commands &c) { return c.fbufControl(operation); });
}

void CFbufDlg::onSelFile()
{
    const QString path = m_chooseFile(true, QStringLiteral("tmp.jpg"), QStringLiteral("(*.jpg)"));
    if (path.isNull())
        return; // cancelled
    if (path.trimmed().isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kFilePathError), QMessageBox::Critical, QMessageBox::Ok,
                    QStringLiteral("Error"));
        return;
    }
    m_readPath = path;
    ui->readPathEdit->setText(path);
}

void CFbufDlg::onReadFile()
{
    const QString path = m_chooseFile(false, QStringLiteral("tmp.jpg"), QStringLiteral("(*.jpg)"));
    if (path.isNull())
        return;
    if (path.trimmed().isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kFilePathError), QMessageBox::Critical, QMessageBox::Ok,
                    QStringLiteral("Error"));
        return;
    }
    // Only a regular file has a length to show and send; opening a pipe would wait for its writer.
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        showMessage(this, QString::fromLatin1(msg::kOpenFileFailed));
        return;
    }
    m_writePath = path;
    m_writeLength = file.size();
    ui->writePathEdit->setText(path);
    ui->imageLenEdit->setText(fbufLengthText(uint32_t(m_writeLength)));
    if (ui->showImageCheck->isChecked())
        loadPreview(path);
}

bool CFbufDlg::delayValid()
{
    if (EditFilter::decimalValue(m_delay->text(), 0, kMaxDelay))
        return true;
    showMessage(this, QStringLiteral("\"Delay Time:\" takes a number from 0 to %1.").arg(kMaxDelay));
    ui->delayEdit->setFocus();
    return false;
}

void CFbufDlg::onRead()
{
    if (m_readPath.isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kSelectReadFile));
        return;
    }
    if (!delayValid())
        return;
    const FbufOptions o = options(false);
    runWorker([this, o](Worker &w) {
        const Report r = report(w);
        FbufTransfer(w.commands(), r).readToFile(o);
    });
}

void CFbufDlg::onWrite()
{
    if (m_writePath.isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kOpenWriteFile));
        return;
    }
    if (!delayValid())
        return;
    const FbufOptions o = options(true);
    runWorker([this, o](Worker &w) {
        const Report r = report(w);
        FbufTransfer(w.commands(), r).writeFromFile(o);
    });
}

void CFbufDlg::onGetLen()
{
    const uint8_t frame = uint8_t(ui->frameTypeCombo->currentIndex());
    runWorker([this, frame](Worker &w) {
        const Report r = report(w);
        FbufTransfer(w.commands(), r).getLength(frame);
    });
}

void CFbufDlg::onCryptGet()
{
    runWorker([this](Worker &w) {
        uint8_t control = 0, key = 0;
        if (!readRegister(w, kFbufCryptRegister, control))
            return;
        w.gui([this, control] { ui->cryptEnableCheck->setChecked(control & 0x80); });
        if (!readRegister(w, kFbufKeyRegister, key))
            return;
        w.gui([this, key] { ui->cryptKeyCombo->setCurrentIndex(key); });
    });
}

void CFbufDlg::onCryptSet()
{
    const bool enable = ui->cryptEnableCheck->isChecked();
    const uint8_t key = uint8_t(ui->cryptKeyCombo->currentIndex());
    runWorker([enable, key](Worker &w) {
        uint8_t control = 0;
        if (!readRegister(w, kFbufCryptRegister, control))
            return;
        if (const auto update = cryptRegisterUpdate(control, enable))
            if (!writeRegister(w, kFbufCryptRegister, *update))
                return;
        writeRegister(w, kFbufKeyRegister, key);
    });
}

void CFbufDlg::onTcrGet()
{
    runWorker([this](Worker &w) {
        uint8_t tcr = 0;
        if (readRegister(w, kTcrRegister, tcr))
            w.gui([this, tcr] {
                ui->tcrCombo->setCurrentIndex(tcr);
                showRatio();
            });
    });
}

void CFbufDlg::onTcrSet()
{
    const uint8_t tcr = uint8_t(ui->tcrCombo->currentIndex());
    runWorker([tcr](Worker &w) { writeRegister(w, kTcrRegister, tcr); });
}

void CFbufDlg::showRatio()
{
    ui->ratioEdit->setText(tcrRatioText(uint8_t(ui->tcrCombo->currentIndex())));
}

void CFbufDlg::loadPreview(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    m_preview = reader.read();
    // The transfer itself is fine; the viewer just cannot show these bytes.
    m_previewFailed = m_preview.isNull();
    showPreview();
}

QSize CFbufDlg::previewDrawSize() const
{
    return m_preview.isNull() ? QSize() : previewSize(m_preview.size());
}

void CFbufDlg::showPreview()
{
    if (isMinimized())
        return;
    if (m_preview.isNull()) {
        ui->pictureLabel->clear();
        ui->pictureLabel->resize(0, 0);
        ui->sizeEdit->setText(m_previewFailed && ui->showImageCheck->isChecked() ? QStringLiteral("(not a picture)")
                                                                                 : QString());
        return;
    }
    ui->sizeEdit->setText(QStringLiteral("(%1*%2)").arg(m_preview.width()).arg(m_preview.height()));
    const QSize size = previewDrawSize();
    ui->pictureLabel->setPixmap(QPixmap::fromImage(m_preview.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    // The whole picture, with scroll bars where the frame is smaller.
    ui->pictureLabel->resize(size);
}

void CFbufDlg::changeEvent(QEvent *event)
{
    // Coming back from minimised draws the preview again.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        showPreview();
    ToolDialog::changeEvent(event);
}

} // namespace zm
