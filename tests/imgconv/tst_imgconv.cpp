// The companion converter: the conversion itself, the built zmimgconv run as a process (the way
// scripts and the console use it), and its window driven offscreen.

#include "imgconv/convert_window.h"
#include "imgconv/image_converter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

using zm::ImageConverter;

namespace {

// Smooth colour with fine checks, which make the JPEG quality change the file size.
QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int detail = ((x / 2 + y / 2) % 2) * 24;
            image.setPixel(x, y, qRgb(qMin(255, x * 255 / width + detail), y * 255 / height, 96 + detail));
        }
    return image;
}

// Mean difference per colour channel, 0..255. Swapped red and blue or an upside-down picture
// score above 40.
double meanDifference(const QImage &a, const QImage &b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// The folder's entries with their contents: what a failed conversion must leave as it was.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &entry : QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        files.insert(entry.fileName(), readAll(entry.filePath()));
    return files;
}

// The same bitmap stored top-down (negative height), which Qt never writes itself.
QByteArray topDown(const QByteArray &bottomUp, int rowBytes)
{
    if (bottomUp.size() < 26)
        return {}; // not a bitmap: nothing to turn

    const qint32 offset = qFromLittleEndian<qint32>(bottomUp.constData() + 10);
    const qint32 height = qFromLittleEndian<qint32>(bottomUp.constData() + 22);
    QByteArray bytes = bottomUp.left(offset);
    qToLittleEndian<qint32>(-height, bytes.data() + 22);
    for (int row = height - 1; row >= 0; --row)
        bytes += bottomUp.mid(offset + row * rowBytes, rowBytes);
    return bytes;
}

} // namespace

class TestImgconv : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // A fresh folder per row: the failure rows compare its whole contents.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // Odd sizes: bitmap rows are padded to four bytes.
        QVERIFY(picture(61, 47).save(m_dir->filePath("in.bmp"), "bmp"));
    }

    // Bitmaps of 24, 8 and 1 bits, a top-down bitmap, PNG and JPEG.
    void convertsPictures_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"rgb", "indexed", "mono", "topdown", "png", "jpeg"})
            QTest::newRow(kind) << kind;
    }
    void convertsPictures()
    {
        QFETCH(QString, kind);
        QImage source = picture(61, 47);
        const QString input = m_dir->filePath("in." + kind);
        if (kind == "indexed")
            source = source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        if (kind == "mono")
            source = source.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        QVERIFY(source.save(input, kind == "png" ? "png" : kind == "jpeg" ? "jpeg" : "bmp", 100));
        if (kind == "topdown")
            writeAll(input, topDown(readAll(input), (61 * 3 + 3) / 4 * 4));
        const QImage expected(input); // what the input really holds (palette, JPEG loss)
        QVERIFY(!expected.isNull());

        const QString output = m_dir->filePath("out.jpg");
        const auto saved = ImageConverter::convert(input, output, 90);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(saved.bytes, QFileInfo(output).size());
        QImageReader reader(output);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage result = reader.read();
        QCOMPARE(result.size(), QSize(61, 47));
        const double difference = meanDifference(result, expected);
        QVERIFY2(difference < 10.0, qPrintable(QString::number(difference)));
        // The quality reaches the file: the fine checks cost bytes at high quality.
        const auto low = ImageConverter::convert(input, m_dir->filePath("low.jpg"), 10);
        QVERIFY2(low.ok && low.bytes < saved.bytes, qPrintable(QString("%1 %2").arg(low.bytes).arg(saved.bytes)));
    }

    void transparentAreasBecomeWhite()
    {
        QImage source(40, 20, QImage::Format_ARGB32);
        source.fill(Qt::transparent); // hidden colour is black
        QPainter(&source).fillRect(20, 0, 20, 20, QColor(200, 30, 30));
        QVERIFY(source.save(m_dir->filePath("in.png"), "png"));
        QVERIFY(ImageConverter::convert(m_dir->filePath("in.png"), m_dir->filePath("out.jpg"), 95).ok);
        const QImage result(m_dir->filePath("out.jpg"));
        QVERIFY(qGray(result.pixel(5, 10)) > 245);
        QVERIFY(qAbs(qRed(result.pixel(35, 10)) - 200) < 10);
    }

    void failuresLeaveFilesAlone_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("message"); // {in}, {out}: the paths
        QTest::newRow("missing input") << "missing.bmp" << "out.jpg" << 90 << "The input file {in} does not exist.";
        QTest::newRow("input is a folder") << "folder" << "out.jpg" << 90 << "The input {in} is not a file.";
        QTest::newRow("empty input") << "empty.bmp" << "out.jpg" << 90 << "The input file {in} is empty.";
        QTest::newRow("not a picture") << "text.bmp" << "out.jpg" << 90 << "Cannot read {in} as a picture: ";
        QTest::newRow("bitmap cut short") << "short.bmp" << "out.jpg" << 90 << "The picture in {in} is incomplete";
        QTest::newRow("top-down bitmap cut short") << "shortdown.bmp" << "out.jpg" << 90 << "The picture in {in} is incomplete";
        QTest::newRow("quality above 100") << "in.bmp" << "out.jpg" << 101 << "from 0 to 100, not \"101\"";
        QTest::newRow("output folder missing") << "in.bmp" << "missing/out.jpg" << 90 << "Cannot write {out}: ";
    }
    void failuresLeaveFilesAlone()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, quality);
        QFETCH(QString, message);
        const QByteArray bitmap = readAll(m_dir->filePath("in.bmp"));
        writeAll(m_dir->filePath("short.bmp"), bitmap.left(bitmap.size() - 200));
        writeAll(m_dir->filePath("shortdown.bmp"), topDown(bitmap, (61 * 3 + 3) / 4 * 4).left(bitmap.size() - 200));
        writeAll(m_dir->filePath("empty.bmp"), {});
        writeAll(m_dir->filePath("text.bmp"), "not a picture\n");
        QVERIFY(QDir(m_dir->path()).mkpath("folder"));
        writeAll(m_dir->filePath("out.jpg"), "the user's earlier file");
        const auto before = snapshot(m_dir->path());

        const QString in = m_dir->filePath(input), out = m_dir->filePath(output);
        const auto saved = ImageConverter::convert(in, out, quality);
        QVERIFY(!saved.ok);
        QVERIFY2(saved.error.contains(message.replace("{in}", QDir::toNativeSeparators(in))
                                          .replace("{out}", QDir::toNativeSeparators(out))),
                 qPrintable(saved.error));
        QCOMPARE(snapshot(m_dir->path()), before);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on stdout for 0, on stderr otherwise
        QTest::newRow("--quality Q") << QStringList{"in.bmp", "out.jpg", "--quality", "20"} << 0 << "quality 20";
        QTest::newRow("default, name after --") << QStringList{"--", "-dash.bmp", "out.jpg"} << 0 << "quality 90";
        QTest::newRow("failure") << QStringList{"nothing.bmp", "out.jpg"} << 1
                                 << "zmimgconv: The input file nothing.bmp does not exist.";
        QTest::newRow("quality not a number") << QStringList{"in.bmp", "out.jpg", "-q", "best"} << 2 << "not \"best\"";
        QTest::newRow("unknown option") << QStringList{"--size", "in.bmp", "out.jpg"} << 2 << "Unknown option --size.";
        QTest::newRow("empty output name") << QStringList{"in.bmp", ""} << 2 << "A file name is empty.";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(QFile::copy(m_dir->filePath("in.bmp"), m_dir->filePath("-dash.bmp")));
        QProcess process;
        // No window system at all: conversion must not need one (build machines, scripts).
        process.setEnvironment({"QT_QPA_PLATFORM=xcb"});
        process.setWorkingDirectory(m_dir->path());
        process.start(ZMIMGCONV_PATH, arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2((exitCode == 0 ? out : err).contains(message), qPrintable(out + err));
        const bool written = exitCode == 0 && arguments.contains("out.jpg");
        QCOMPARE(QImage(m_dir->filePath("out.jpg")).size(), written ? QSize(61, 47) : QSize(0, 0));
    }

    void windowOpensAndSaves()
    {
        zm::ConvertWindow window;
        window.show();
        auto *save = window.findChild<QPushButton *>("saveButton");
        auto *size = window.findChild<QLabel *>("sizeLabel");
        QVERIFY(!save->isEnabled()); // nothing to save yet
        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        QVERIFY(save->isEnabled());
        QCOMPARE(size->text(), QString("61 x 47 pixels"));

        // A failed open keeps the picture that was there.
        QVERIFY(!window.openFile(m_dir->filePath("missing.bmp")));
        QVERIFY2(window.statusText().contains("does not exist"), qPrintable(window.statusText()));
        QCOMPARE(size->text(), QString("61 x 47 pixels"));

        // The slider's quality reaches the converter (below).
        window.findChild<QSlider *>("qualitySlider")->setValue(30);

        // Through the button: the dialog proposes the picture's name, a name typed without a
        // suffix gets ".jpg".
        QString proposed;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            proposed = dialog->selectedFiles().value(0);
            dialog->selectFile(m_dir->filePath("photo"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(window.findChild<QPushButton *>("saveButton"), Qt::LeftButton);
        QCOMPARE(proposed, m_dir->filePath("in.jpg"));
        const QString photo = m_dir->filePath("photo.jpg");
        QCOMPARE(QImage(photo).size(), QSize(61, 47));
        QVERIFY2(window.statusText().startsWith("Saved " + QDir::toNativeSeparators(photo)) && window.statusText().contains("quality 30"),
                 qPrintable(window.statusText()));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestImgconv)
#include "tst_imgconv.moc"
