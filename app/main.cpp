// zmcomm: the console of the ZM3386 camera processor.

#include "app/comm_tool_dlg.h"
#include "app/demo_simulator.h"
#include "link/command_layer.h"
#include "link/messages.h"
#include "ui/message_box.h"
#include "ui/resources.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char **argv)
{
    // The command line is read before the window system is touched, so that --help and
    // --version work, and a wrong option is told, on a machine without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Console for a ZM3386 camera processor on a serial line."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this text."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Shows the version."));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Preselects PORT: COM1..COM20 or a device path."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Starts a simulated chip (zmsim, beside this program or on the PATH) "
                                                       "for the console's lifetime and preselects its port."));
    parser.addOptions({helpOption, versionOption, portOption, demoOption});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "zmcomm: %s\nSee zmcomm --help.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("zmcomm"))), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::puts("zmcomm 1.00");
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "zmcomm: unexpected argument %s\nSee zmcomm --help.\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zmcomm"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZM3386 Comm Tool"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // Ties the window to the installed menu entry, so a desktop shows that entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zmcomm"));
    zm::initResources();
    QApplication::setWindowIcon(zm::appIcon());

    zm::CommandLayer layer;
    zm::DemoSimulator simulator;
    {
        zm::CCommToolDlg console(layer);
        if (parser.isSet(portOption))
            console.selectPort(parser.value(portOption));
        if (parser.isSet(demoOption)) {
            QString error;
            if (simulator.start(&error)) {
                console.selectPort(simulator.port());
                console.setDemoSimulator(&simulator);
            } else
                zm::showMessage(&console, QString::fromLatin1(zm::msg::kDemoSimulatorFailed) + "\n" + error);
        }
        console.exec();
        console.setDemoSimulator(nullptr);
        // Every worker is asked to stop and joined before the windows and the layer go.
        zm::WorkerRunner::shutdown(layer);
        layer.close();
    }
    simulator.stop();
    return 0;
}
