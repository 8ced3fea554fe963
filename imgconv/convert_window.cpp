#include "imgconv/convert_window.h"

#include "imgconv/image_converter.h"
#include "ui_convert_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLocale>
#include <QStandardPaths>

namespace zm {

ConvertWindow::ConvertWindow(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::ConvertWindow>())
{
    m_ui->setupUi(this);
    m_ui->qualitySlider->setRange(ImageConverter::kMinQuality, ImageConverter::kMaxQuality);
    m_ui->qualitySpin->setRange(ImageConverter::kMinQuality, ImageConverter::kMaxQuality);
    connect(m_ui->qualitySlider, &QSlider::valueChanged, m_ui->qualitySpin, &QSpinBox::setValue);
    connect(m_ui->qualitySpin, &QSpinBox::valueChanged, m_ui->qualitySlider, &QSlider::setValue);
    setQuality(ImageConverter::kDefaultQuality);

    connect(m_ui->openButton, &QPushButton::clicked, this, [this] { chooseInput(); });
    connect(m_ui->saveButton, &QPushButton::clicked, this, [this] { chooseOutput(); });
    connect(m_ui->closeButton, &QPushButton::clicked, this, [this] { close(); });
}

ConvertWindow::~ConvertWindow() = default;

bool ConvertWindow::openFile(const QString &path)
{
    const ImageConverter::Loaded loaded = ImageConverter::load(path);
    if (loaded.image.isNull()) {
        // The picture shown before, if any, stays: a wrong pick should not lose it.
        showStatus(loaded.error, true);
        return false;
    }
    m_image = loaded.image;
    m_inputPath = QFileInfo(path).absoluteFilePath();
    m_ui->fileLabel->setText(QFileInfo(path).fileName());
    m_ui->fileLabel->setToolTip(QDir::toNativeSeparators(m_inputPath));
    m_ui->sizeLabel->setText(
        QStringLiteral("%1 x %2 pixels").arg(m_image.width()).arg(m_image.height()));
    m_ui->saveButton->setEnabled(true);
    showPreview();
    showStatus(QStringLiteral("Opened %1.").arg(QDir::toNativeSeparators(m_inputPath)), false);
    return true;
}

bool ConvertWindow::saveJpeg(const QString &path)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ImageConverter::Saved saved = ImageConverter::saveJpeg(m_image, path, quality());
    QGuiApplication::restoreOverrideCursor();
    if (!saved.ok) {
        showStatus(saved.error, true);
        return false;
    }
    showStatus(QStringLiteral("Saved %1 (%2 bytes, quality %3).")
                   .arg(QDir::toNativeSeparators(path), QLocale().toString(saved.bytes))
                   .arg(quality()),
               false);
    return true;
}

int ConvertWindow::quality() const
{
    return m_ui->qualitySpin->value();
}

void ConvertWindow::setQuality(int quality)
{
    m_ui->qualitySpin->setValue(quality);
}

QString ConvertWindow::statusText() const
{
    return m_ui->statusLabel->text();
}

void ConvertWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showPreview();
}

void ConvertWindow::chooseInput()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString start = m_inputPath.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)
        : QFileInfo(m_inputPath).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Picture"), start,
        QStringLiteral("Pictures (%1);;Bitmaps (*.bmp);;All files (*)").arg(patterns.join(u' ')));
    if (!path.isEmpty())
        openFile(path);
}

void ConvertWindow::chooseOutput()
{
    // Offer the picture's own name and folder with the JPEG suffix.
    const QFileInfo input(m_inputPath);
    QFileDialog dialog(this, QStringLiteral("Save JPEG"),
                       input.absoluteDir().filePath(input.completeBaseName() + ".jpg"),
                       QStringLiteral("JPEG pictures (*.jpg *.jpeg);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveJpeg(dialog.selectedFiles().constFirst());
}

void ConvertWindow::showPreview()
{
    if (m_image.isNull())
        return;
    const QSize room = m_ui->previewLabel->contentsRect().size();
    // Shrink to fit but never enlarge: a blown-up small picture misleads about its quality.
    QImage shown = m_image;
    if (m_image.width() > room.width() || m_image.height() > room.height())
        shown = m_image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_ui->previewLabel->setPixmap(QPixmap::fromImage(shown));
}

void ConvertWindow::showStatus(const QString &text, bool isError)
{
    m_ui->statusLabel->setText(text);
    m_ui->statusLabel->setToolTip(text);
    m_ui->statusLabel->setStyleSheet(isError ? QStringLiteral("color: #b00020;") : QString());
}

} // namespace zm
