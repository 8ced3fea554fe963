#pragma once
// Picture-to-JPEG conversion shared by the window and the command line. No widgets here.

#include <QImage>
#include <QString>

namespace zm {

class ImageConverter
{
public:
    static constexpr int kDefaultQuality = 90;
    static constexpr int kMinQuality = 0;
    static constexpr int kMaxQuality = 100;

    struct Loaded
    {
        QImage image; // null on failure
        QString error;
    };

    struct Saved
    {
        bool ok = false;
        qint64 bytes = 0; // size of the written JPEG
        QString error;
    };

    static bool isValidQuality(int quality);
    static QString qualityError(const QString &given);

    // Any picture format Qt reads; the orientation stored in the file is applied.
    static Loaded load(const QString &path);

    // Writes through a temporary file in the target folder, so a failure leaves
    // no file behind and an existing output untouched.
    static Saved saveJpeg(const QImage &image, const QString &path, int quality);

    // load() then saveJpeg(); the quality is checked before anything is read or written.
    static Saved convert(const QString &input, const QString &output, int quality);
};

} // namespace zm
