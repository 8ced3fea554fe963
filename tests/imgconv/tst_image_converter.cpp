#include "imgconv/image_converter.h"
#include "pictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

using zm::ImageConverter;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every file below dir with its contents: what a failed conversion must leave as it was.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, readAll(path));
    }
    return files;
}

// Same picture as a top-down bitmap (negative height), which Qt never writes itself.
QByteArray topDown(const QByteArray &bottomUp, int rowBytes)
{
    const qint32 offset = qFromLittleEndian<qint32>(bottomUp.constData() + 10);
    const qint32 height = qFromLittleEndian<qint32>(bottomUp.constData() + 22);
    QByteArray bytes = bottomUp.left(offset);
    qToLittleEndian<qint32>(-height, bytes.data() + 22);
    for (int row = height - 1; row >= 0; --row)
        bytes += bottomUp.mid(offset + row * rowBytes, rowBytes);
    return bytes;
}

} // namespace

class TestImageConverter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // A fresh folder per row: the failure rows compare its whole contents.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void convertsPictures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("24-bit bitmap") << "rgb";
        QTest::newRow("8-bit bitmap") << "indexed";
        QTest::newRow("1-bit bitmap") << "mono";
        QTest::newRow("top-down bitmap") << "topdown";
        QTest::newRow("PNG") << "png";
        QTest::newRow("JPEG") << "jpeg";
    }

    void convertsPictures()
    {
        QFETCH(QString, kind);
        // Odd sizes: bitmap rows are padded to four bytes.
        QImage source = zm::test::picture(61, 47);
        const QString input = m_dir->filePath("in." + kind);
        if (kind == "indexed")
            source = source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        if (kind == "mono")
            source = source.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        const char *format = kind == "png" ? "png" : kind == "jpeg" ? "jpeg" : "bmp";
        QVERIFY(source.save(input, format, 100));
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
        const double difference = zm::test::meanDifference(result, expected);
        // Swapped red and blue or an upside-down picture score above 40.
        QVERIFY2(difference < 10.0, qPrintable(QString::number(difference)));
    }

    void higherQualityGivesLargerFile()
    {
        const QString input = m_dir->filePath("in.bmp");
        QVERIFY(zm::test::picture(200, 150).save(input, "bmp"));
        qint64 previous = 0;
        for (int quality : {0, 25, 50, 75, 100}) {
            const QString output = m_dir->filePath(QString("q%1.jpg").arg(quality));
            const auto saved = ImageConverter::convert(input, output, quality);
            QVERIFY2(saved.ok, qPrintable(saved.error));
            QVERIFY2(saved.bytes > previous, qPrintable(QString::number(quality)));
            previous = saved.bytes;
        }
    }

    void transparentAreasBecomeWhite()
    {
        QImage source(40, 20, QImage::Format_ARGB32);
        source.fill(Qt::transparent); // hidden colour is black
        for (int y = 0; y < 20; ++y)
            for (int x = 20; x < 40; ++x)
                source.setPixel(x, y, qRgba(200, 30, 30, 255));
        const QString input = m_dir->filePath("in.png");
        QVERIFY(source.save(input, "png"));

        const QString output = m_dir->filePath("out.jpg");
        QVERIFY(ImageConverter::convert(input, output, 95).ok);
        const QImage result(output);
        QVERIFY(qGray(result.pixel(5, 10)) > 245);
        QVERIFY(qAbs(qRed(result.pixel(35, 10)) - 200) < 10);
    }

    void failuresLeaveFilesAlone_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("quality");
        QTest::addColumn<bool>("outputExists");
        QTest::addColumn<QString>("message"); // {in}, {out}: the paths

        QTest::newRow("missing input") << "missing.bmp" << "out.jpg" << 90 << true
                                       << "The input file {in} does not exist.";
        QTest::newRow("input is a folder") << "folder" << "out.jpg" << 90 << false
                                           << "The input {in} is not a file.";
        QTest::newRow("empty input") << "empty.bmp" << "out.jpg" << 90 << true
                                     << "The input file {in} is empty.";
        QTest::newRow("not a picture") << "text.bmp" << "out.jpg" << 90 << true
                                       << "Cannot read {in} as a picture: ";
        QTest::newRow("bitmap cut short") << "short.bmp" << "out.jpg" << 90 << true
                                          << "The picture in {in} is incomplete";
        QTest::newRow("quality below 0") << "in.bmp" << "out.jpg" << -1 << true
                                         << "from 0 to 100, not \"-1\"";
        QTest::newRow("quality above 100") << "in.bmp" << "out.jpg" << 101 << false
                                           << "from 0 to 100, not \"101\"";
        QTest::newRow("output folder missing") << "in.bmp" << "missing/out.jpg" << 90 << false
                                               << "Cannot write {out}: ";
        QTest::newRow("output is a folder") << "in.bmp" << "folder" << 90 << false
                                            << "Cannot write {out}: ";
    }

    void failuresLeaveFilesAlone()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, quality);
        QFETCH(bool, outputExists);
        QFETCH(QString, message);

        QVERIFY(zm::test::picture(61, 47).save(m_dir->filePath("in.bmp"), "bmp"));
        const QByteArray bitmap = readAll(m_dir->filePath("in.bmp"));
        writeAll(m_dir->filePath("short.bmp"), bitmap.left(bitmap.size() - 200));
        writeAll(m_dir->filePath("empty.bmp"), {});
        writeAll(m_dir->filePath("text.bmp"), "not a picture\n");
        QVERIFY(QDir(m_dir->path()).mkpath("folder"));
        if (outputExists)
            writeAll(m_dir->filePath("out.jpg"), "the user's earlier file");
        const auto before = snapshot(m_dir->path());

        const QString in = m_dir->filePath(input);
        const QString out = m_dir->filePath(output);
        const auto saved = ImageConverter::convert(in, out, quality);
        QVERIFY(!saved.ok);
        QVERIFY2(saved.error.contains(message.replace("{in}", QDir::toNativeSeparators(in))
                                              .replace("{out}", QDir::toNativeSeparators(out))),
                 qPrintable(saved.error));
        QCOMPARE(snapshot(m_dir->path()), before);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestImageConverter)
#include "tst_image_converter.moc"
