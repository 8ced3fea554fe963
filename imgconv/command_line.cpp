#include "imgconv/command_line.h"

#include "imgconv/image_converter.h"

namespace zm {

namespace {

CommandLine usageError(const QString &text)
{
    CommandLine line;
    line.mode = CommandLine::Mode::UsageError;
    line.error = text;
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    QStringList files;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-'))) {
            files << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true; // lets a file name start with '-'
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            line.mode = Mode::Help;
            return line;
        } else if (arg == QLatin1String("--quality") || arg == QLatin1String("-q")
                   || arg.startsWith(QLatin1String("--quality="))) {
            QString value;
            if (arg.contains(QLatin1Char('='))) {
                value = arg.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                return usageError(QStringLiteral("%1 needs a value.").arg(arg));
            }
            bool ok = false;
            const int quality = value.toInt(&ok);
            if (!ok || !ImageConverter::isValidQuality(quality))
                return usageError(ImageConverter::qualityError(value));
            line.quality = quality;
        } else {
            return usageError(QStringLiteral("Unknown option %1.").arg(arg));
        }
    }

    if (files.size() > 2)
        return usageError(QStringLiteral("Too many file names: give IN and OUT only."));
    if (files.contains(QString()))
        return usageError(QStringLiteral("A file name is empty."));
    if (files.size() == 2) {
        line.mode = Mode::Convert;
        line.output = files.at(1);
    }
    if (!files.isEmpty())
        line.input = files.at(0);
    return line;
}

QString CommandLine::helpText()
{
    return QStringLiteral(
               "Usage: zmimgconv [FILE] [--quality Q]\n"
               "       zmimgconv IN OUT [--quality Q]\n"
               "\n"
               "Converts a picture (BMP, PNG, JPEG, GIF or any other format Qt reads) to JPEG.\n"
               "\n"
               "Without file names, or with one FILE, a window opens (with FILE loaded).\n"
               "With IN and OUT, IN is converted to the JPEG file OUT without a window.\n"
               "OUT is replaced only once the new JPEG is complete.\n"
               "\n"
               "Options:\n"
               "  -q, --quality Q  JPEG quality from %1 (smallest file) to %2 (best picture),\n"
               "                   default %3\n"
               "  -h, --help       show this text\n"
               "  --               end of options; the names after it may start with '-'\n"
               "\n"
               "Exit status: 0 converted, 1 the conversion failed (the reason is printed),\n"
               "2 the command line was wrong.\n")
        .arg(ImageConverter::kMinQuality)
        .arg(ImageConverter::kMaxQuality)
        .arg(ImageConverter::kDefaultQuality);
}

} // namespace zm
