#pragma once
// Test pictures for the converter: smooth colour with some fine detail, so that
// the JPEG quality visibly changes the file size while colours stay comparable.

#include <QColor>
#include <QImage>
#include <QtGlobal>

#include <cstdlib>

namespace zm::test {

inline QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int detail = ((x / 2 + y / 2) % 2) * 24; // fine checks: costly at high quality
            image.setPixel(x, y, qRgb(qMin(255, x * 255 / width + detail), y * 255 / height,
                                      qMin(255, 96 + detail)));
        }
    }
    return image;
}

// Mean difference per colour channel, 0..255.
inline double meanDifference(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * left.width() * left.height());
}

} // namespace zm::test
