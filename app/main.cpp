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

#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zmcomm"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZM3386 Comm Tool"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    zm::initResources();
    QApplication::setWindowIcon(zm::appIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Console for a ZM3386 camera processor on a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Preselects PORT: COM1..COM20 or a device path."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Starts a simulated chip (zmsim beside this program) "
                                                       "for the console's lifetime and preselects its port."));
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.process(app);

    zm::CommandLayer layer;
    zm::DemoSimulator simulator;
    {
        zm::CCommToolDlg console(layer);
        if (parser.isSet(portOption))
            console.selectPort(parser.value(portOption));
        if (parser.isSet(demoOption)) {
            QString error;
            if (simulator.start(&error))
                console.selectPort(simulator.port());
            else
                zm::showMessage(&console, QString::fromLatin1(zm::msg::kDemoSimulatorFailed) + "\n" + error);
        }
        console.exec();
        // Every worker is asked to stop and joined before the windows and the layer go.
        zm::WorkerRunner::shutdown(layer);
        layer.close();
    }
    simulator.stop();
    return 0;
}
