// zmcomm: the console of the ZM3386 camera processor.

#include "app/comm_tool_dlg.h"
#include "app/demo_simulator.h"
#include "link/link_session.h"
#include "link/file_writer.h"
#include "link/messages.h"
#include "ui/message_box.h"
#include "ui/resources.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace {

// While the window system is being reached, Qt's messages are held back: without a display it
// ends the program with an abort and lines about plugins that tell a user nothing. The held
// messages are shown once the application stands.
bool g_starting = true;
QStringList g_held;
QString g_commandLine;

void startupMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QString line = qFormatLogMessage(type, context, text);
    if (!g_starting || type != QtFatalMsg) {
        if (g_starting)
            g_held << line;
        else
            std::fprintf(stderr, "%s\n", qPrintable(line));
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const bool noDisplay = g_held.join('\n').contains(QLatin1String("could not connect to display"))
        || (display.isEmpty() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    if (noDisplay) {
        const QString where = display.isEmpty() ? QStringLiteral("DISPLAY is not set")
                                                : QStringLiteral("DISPLAY %1 cannot be reached").arg(QString::fromLocal8Bit(display));
        std::fprintf(stderr, "zmcomm: no display found (%s); run it on a desktop, or on a virtual one: xvfb-run %s\n",
                     qPrintable(where), qPrintable(g_commandLine));
    } else {
        for (const QString &held : std::as_const(g_held))
            std::fprintf(stderr, "%s\n", qPrintable(held));
        std::fprintf(stderr, "zmcomm: %s\n", qPrintable(text));
    }
    std::_Exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    zm::FileWriter::ignoreWriteSignals();
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

    g_commandLine = QStringLiteral("zmcomm");
    for (int i = 1; i < argc; ++i)
        g_commandLine += ' ' + QString::fromLocal8Bit(argv[i]);
    qInstallMessageHandler(startupMessage);
    QApplication app(argc, argv);
    g_starting = false;
    for (const QString &held : std::as_const(g_held))
        std::fprintf(stderr, "%s\n", qPrintable(held));
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QStringLiteral("zmcomm"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZM3386 Comm Tool"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // Ties the window to the installed menu entry, so a desktop shows that entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zmcomm"));
    zm::initResources();
    QApplication::setWindowIcon(zm::appIcon());

    zm::LinkSession session;
    zm::DemoSimulator simulator;
    {
        zm::CCommToolDlg console(session);
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
        // Every worker is asked to stop and joined before the windows and the session go.
        zm::WorkerRunner::shutdown(session);
        session.close();
    }
    simulator.stop();
    return 0;
}
