// Build tool: draws the two test pictures and writes them as a C++ source holding the JPEG
// bytes, so that the widget-free simulator library carries real pictures without Qt Gui.

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

namespace {

QByteArray drawFrame(int frame)
{
    QImage image(640, 480, QImage::Format_RGB32);
    QPainter p(&image);
    const QColor bars[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green,
                           Qt::magenta, Qt::red, Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i)
        p.fillRect(i * 80, 0, 80, 320, bars[i]);
    QLinearGradient ramp(0, 0, 640, 0);
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    p.fillRect(0, 320, 640, 80, ramp);
    for (int x = 0; x < 640; x += 16)
        p.fillRect(x, 400, 8, 80, QColor(40 + x / 4, 90, 200 - x / 4));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPoint(320, 240), 150, 150);
    // The frame marker: a white square whose place tells the two frames apart.
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawRect(40 + frame * 480, 420, 80, 40);
    p.end();

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    if (!writer.write(image)) {
        std::fprintf(stderr, "make_test_picture: %s\n", qPrintable(writer.errorString()));
        std::exit(1);
    }
    return buffer.data();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_picture OUTPUT.cpp\n");
        return 2;
    }
    QByteArray source = "// Made by make_test_picture at build time.\n"
                        "#include \"sim/test_picture.h\"\n\nnamespace {\n";
    for (int frame = 0; frame < 2; ++frame) {
        const QByteArray jpeg = drawFrame(frame);
        source += "const unsigned char kFrame" + QByteArray::number(frame) + "[] = {";
        for (int i = 0; i < jpeg.size(); ++i) {
            source += (i % 24 == 0 ? "\n" : "") + QByteArray::number(uint8_t(jpeg[i])) + ",";
        }
        source += "\n};\n";
    }
    source += "} // namespace\n\nQByteArray zm::sim::testPicture(int frame)\n{\n"
              "    if (frame == 0)\n"
              "        return QByteArray::fromRawData(reinterpret_cast<const char *>(kFrame0), sizeof kFrame0);\n"
              "    return QByteArray::fromRawData(reinterpret_cast<const char *>(kFrame1), sizeof kFrame1);\n}\n";
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(source) != source.size()) {
        std::fprintf(stderr, "make_test_picture: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
