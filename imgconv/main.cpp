// zmimgconv: a window, or a one-shot conversion from the command line.

#include "imgconv/command_line.h"
#include "imgconv/convert_window.h"
#include "imgconv/image_converter.h"
#include "link/file_writer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int runWindow(int argc, char **argv, const zm::CommandLine &line)
{
    QApplication app(argc, argv);
    zm::ConvertWindow window;
    if (line.quality >= 0)
        window.setQuality(line.quality);
    if (!line.input.isEmpty())
        window.openFile(line.input); // a failure shows in the window's status line
    window.show();
    return app.exec();
}

// A plain core application: scripts and build machines often have no window system,
// and the picture format plugins load without one.
int runConvert(int argc, char **argv, const zm::CommandLine &line)
{
    QCoreApplication app(argc, argv);
    const int quality = line.quality >= 0 ? line.quality : zm::ImageConverter::kDefaultQuality;
    const auto saved = zm::ImageConverter::convert(line.input, line.output, quality);
    if (!saved.ok) {
        print(stderr, QStringLiteral("zmimgconv: %1\n").arg(saved.error));
        return 1;
    }
    print(stdout, QStringLiteral("%1 -> %2: %3 bytes, quality %4\n")
                      .arg(QDir::toNativeSeparators(line.input),
                           QDir::toNativeSeparators(line.output))
                      .arg(saved.bytes)
                      .arg(quality));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    zm::FileWriter::ignoreWriteSignals();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const zm::CommandLine line = zm::CommandLine::parse(arguments);

    switch (line.mode) {
    case zm::CommandLine::Mode::Help:
        print(stdout, zm::CommandLine::helpText());
        return 0;
    case zm::CommandLine::Mode::UsageError:
        print(stderr, QStringLiteral("zmimgconv: %1\nTry 'zmimgconv --help'.\n").arg(line.error));
        return 2;
    case zm::CommandLine::Mode::Convert:
        return runConvert(argc, argv, line);
    case zm::CommandLine::Mode::Window:
        break;
    }
    return runWindow(argc, argv, line);
}
