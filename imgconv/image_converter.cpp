#include "imgconv/image_converter.h"

#include "link/file_writer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace zm {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// JPEG has no alpha: without this, transparent areas come out in whatever colour
// the hidden pixels happen to hold (black for most pictures).
QImage flattened(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

quint32 littleEndian(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// Qt's BMP reader stops quietly at the end of a cut-off file and hands back a picture
// whose missing rows hold whatever the memory held. Uncompressed bitmaps say how long
// they must be, so a short one can be refused instead of converted into garbage.
bool isTruncatedBitmap(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // the reader already got through; nothing more to learn
    const QByteArray head = file.read(34);
    if (head.size() < 26 || !head.startsWith("BM"))
        return false;
    const qint64 dataOffset = littleEndian(head, 10, 4);
    const quint32 infoSize = littleEndian(head, 14, 4);
    qint64 width = 0, height = 0, bitsPerPixel = 0;
    if (infoSize == 12) { // the old OS/2 header: 16-bit sizes, never compressed
        width = littleEndian(head, 18, 2);
        height = littleEndian(head, 20, 2);
        bitsPerPixel = littleEndian(head, 24, 2);
    } else if (head.size() >= 34) {
        const quint32 compression = littleEndian(head, 30, 4);
        if (compression != 0 && compression != 3 && compression != 6)
            return false; // run-length data has no fixed size
        width = qint32(littleEndian(head, 18, 4));
        height = qAbs(qint64(qint32(littleEndian(head, 22, 4)))); // negative: top-down rows
        bitsPerPixel = littleEndian(head, 28, 2);
    }
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return file.size() < dataOffset + rowBytes * height;
}

// The JPEG decoder says what is wrong with a picture only as a warning, and hands back a picture
// all the same: a file cut short is finished in grey, a damaged one with smeared blocks. Its
// warnings while this thread reads are collected here, so that such a picture can be refused;
// messages of other threads go on to the handler that was there before.
class DecoderWarnings
{
public:
    DecoderWarnings()
    {
        s_previous = qInstallMessageHandler(&DecoderWarnings::handle);
        t_current = this;
    }
    ~DecoderWarnings()
    {
        t_current = nullptr;
        qInstallMessageHandler(s_previous);
    }
    QStringList texts() const { return m_texts; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (t_current && type == QtWarningMsg)
            t_current->m_texts << text.trimmed();
        else if (s_previous)
            s_previous(type, context, text);
    }

    static thread_local DecoderWarnings *t_current;
    static inline QtMessageHandler s_previous = nullptr;
    QStringList m_texts;
};

thread_local DecoderWarnings *DecoderWarnings::t_current = nullptr;

} // namespace

bool ImageConverter::isValidQuality(int quality)
{
    return quality >= kMinQuality && quality <= kMaxQuality;
}

QString ImageConverter::qualityError(const QString &given)
{
    return QStringLiteral("The JPEG quality must be a whole number from %1 to %2, not \"%3\".")
        .arg(kMinQuality)
        .arg(kMaxQuality)
        .arg(given);
}

ImageConverter::Loaded ImageConverter::load(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {{}, QStringLiteral("The input file %1 does not exist.").arg(shown(path))};
    if (!info.isFile())
        return {{}, QStringLiteral("The input %1 is not a file.").arg(shown(path))};
    if (!info.isReadable()) // the reader would call this "File not found"
        return {{}, QStringLiteral("You are not allowed to read the input file %1.").arg(shown(path))};
    if (info.size() == 0)
        return {{}, QStringLiteral("The input file %1 is empty.").arg(shown(path))};

    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format(); // asked before reading moves the file position
    QImage image;
    QStringList warnings;
    {
        const DecoderWarnings collect;
        image = reader.read();
        warnings = collect.texts();
    }
    if (image.isNull()) {
        return {{},
                QStringLiteral("Cannot read %1 as a picture: %2.")
                    .arg(shown(path), reader.errorString())};
    }
    if (format == "jpeg" && !warnings.isEmpty()) {
        return {{},
                QStringLiteral("The picture in %1 is damaged or incomplete: %2.")
                    .arg(shown(path), warnings.join(QStringLiteral("; ")))};
    }
    if (format == "bmp" && isTruncatedBitmap(path)) {
        return {{},
                QStringLiteral("The picture in %1 is incomplete: the file ends too early.")
                    .arg(shown(path))};
    }
    return {image, {}};
}

ImageConverter::Saved ImageConverter::saveJpeg(const QImage &image, const QString &path,
                                               int quality)
{
    if (!isValidQuality(quality))
        return {false, 0, qualityError(QString::number(quality))};
    if (image.isNull())
        return {false, 0, QStringLiteral("There is no picture to save.")};
    if (path.isEmpty())
        return {false, 0, QStringLiteral("No output file was given.")};

    // Encoded in memory first: the file is then written, synced and put in place in one go, and
    // an encoder failure never touches it.
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(flattened(image))) {
        return {false, 0,
                QStringLiteral("Cannot write %1: %2.").arg(shown(path), writer.errorString())};
    }
    QString error;
    if (!FileWriter::writeAll(path, jpeg, &error))
        return {false, 0, QStringLiteral("Cannot write %1.").arg(error)};
    return {true, jpeg.size(), {}};
}

ImageConverter::Saved ImageConverter::convert(const QString &input, const QString &output,
                                              int quality)
{
    if (!isValidQuality(quality))
        return {false, 0, qualityError(QString::number(quality))};
    const Loaded loaded = load(input);
    if (loaded.image.isNull())
        return {false, 0, loaded.error};
    return saveJpeg(loaded.image, output, quality);
}

} // namespace zm
