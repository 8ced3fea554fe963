// zmctl: the console's command layer from a terminal.

#include "cli/cli.h"

#include "link/file_writer.h"
#include "link/traffic_rows.h"

#include <QCoreApplication>
#include <QDateTime>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace zm;
using namespace zm::cli;

namespace {

const char *kHeader = R"(Usage: zmctl [--port PORT] [--baud RATE] [--serial N] COMMAND [ARGS]

Talks to a ZM3386 chip over a serial line, one command per run.

Options:
  --port PORT     COM1..COM20 (COMn is /dev/ttyS(n-1)) or a device path such as
                  /dev/ttyUSB0 or a pseudo-terminal; default COM1
  --baud RATE     line rate in bit/s; default 38400 (8 data bits, no parity, 1 stop bit)
  --serial N      serial number put into every frame, 0..255; default 0
  --log FILE      appends every frame sent and received to FILE, decoded, with its time
                  since the port was opened and the round trip of each answer
  --commands      lists zmctl and each command on a line of its own, for shell completion:
                  the name, the options it takes (those ending in = take a value) and its
                  synopsis, separated by tabs
  --help          this text

Commands:
)";

const char *kFooter = R"(Messages go to stderr; on a terminal, long transfers show a progress line there too.
Ctrl+C stops a command cleanly: a file being written is left as it was. A command that has
not stopped a second later is ended all the same; a second Ctrl+C ends it at once.
Files are replaced whole or not at all; -, a pipe or a device is written as a stream.
Exit status: 0 success; 1 the command failed (the reason on stderr, e.g. "Cmd time out");
2 usage error or the port cannot be opened; 3 done with a warning (fbuf-read kept the
picture, but the chip did not confirm the end of the transfer); 130 interrupted.
)";

const QList<Option> kGlobalOptions = {{"--port", true}, {"--baud", true}, {"--serial", true}, {"--log", true}};

// --log FILE: the traffic of the run, decoded, appended to FILE as it happens (written every
// tenth of a second, so a run cut short keeps what it did).
class TrafficFile
{
public:
    TrafficFile(TrafficRecorder &recorder, const QString &path, const QStringList &arguments)
        : m_recorder(recorder)
    {
        if (!m_file.open(path, FileWriter::Mode::Append))
            usage(QStringLiteral("cannot write %1").arg(m_file.errorString()));
        write(QStringLiteral("# zmctl %1 (%2)\n")
                  .arg(arguments.join(' '), QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                  .toUtf8());
        m_recorder.setEnabled(true);
        m_thread = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                drain();
            }
        });
    }
    ~TrafficFile()
    {
        m_thread.request_stop();
        m_thread.join();
        drain();
        if (m_recorder.dropped())
            write(QStringLiteral("# %1 events could not be recorded\n").arg(m_recorder.dropped()).toUtf8());
        m_recorder.setEnabled(false);
        if (!m_file.commit() && !m_failed)
            printError(QStringLiteral("zmctl: the traffic log is incomplete: %1").arg(m_file.errorString()));
    }

private:
    void drain()
    {
        std::vector<TrafficRecorder::Event> events;
        m_recorder.take(events);
        if (events.empty())
            return;
        m_rows.clear();
        m_rows.add(events);
        QByteArray text;
        for (size_t i = 0; i < m_rows.size(); ++i)
            text += (m_rows.at(i).text() + '\n').toUtf8();
        write(text);
    }
    // A log that stops taking lines says so once; the command itself goes on.
    void write(const QByteArray &text)
    {
        if (!m_failed && !m_file.write(text)) {
            m_failed = true;
            printError(QStringLiteral("zmctl: the traffic log is incomplete: %1").arg(m_file.errorString()));
        }
    }

    TrafficRecorder &m_recorder;
    FileWriter m_file;
    bool m_failed = false;
    TrafficRows m_rows;
    std::jthread m_thread;
};

Table commandTable()
{
    Table t;
    addLinkCommands(t);
    addFbufCommands(t);
    addCtrlInfoCommands(t);
    addToolsCommands(t);
    addMotionCommands(t);
    addOsdCommands(t);
    addFeatureCommands(t);
    return t;
}

QString helpText(const Table &table)
{
    QString text = QString::fromLatin1(kHeader);
    constexpr int kColumn = 37;
    for (const Command &c : table.commands) {
        const QStringList lines = c.help.split('\n');
        QString first = QStringLiteral("  ") + c.synopsis;
        if (first.size() + 1 > kColumn) {
            text += first + '\n';
            first.clear();
        }
        for (int i = 0; i < lines.size(); ++i) {
            const QString lead = i == 0 && !first.isEmpty() ? first : QString();
            text += lead.leftJustified(kColumn, ' ') + lines[i] + '\n';
        }
    }
    for (const QString &note : table.notes)
        text += '\n' + note + '\n';
    text += '\n' + QString::fromLatin1(kFooter);
    return text;
}

// --commands: what the shell completion needs, from the same table as everything else.
QString commandList(const Table &table)
{
    auto options = [](const QList<Option> &list) {
        QStringList words;
        for (const Option &o : list)
            words << (o.valued ? o.name + '=' : o.name);
        return words;
    };
    const QStringList global = options(kGlobalOptions) + QStringList{"--commands", "--help"};
    QString text = QStringLiteral("zmctl\t%1\tzmctl [--port PORT] [--baud RATE] [--serial N] COMMAND [ARGS]\n")
                       .arg(global.join(' '));
    for (const Command &c : table.commands)
        text += QStringLiteral("%1\t%2\t%3\n").arg(c.name, options(c.options).join(' '), c.synopsis);
    return text;
}

// Ctrl+C and SIGTERM are taken by a thread of their own, which asks the running command to
// stop. A command that has not ended a second later is ended here, whatever it is blocked in,
// as is the program at a second signal: the temporary files of writers not yet done are removed,
// so every target is as it was.
constexpr auto kStopGrace = std::chrono::seconds(1);
std::stop_source g_stop;
std::atomic<CommandLayer *> g_layer{nullptr};

void blockStopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

[[noreturn]] void endNow()
{
    FileWriter::removePendingTemporaries();
    printError(QStringLiteral("Interrupted"));
    ::_exit(kInterrupted);
}

void watchStopSignals()
{
    std::thread([] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        int sig = 0;
        while (sigwait(&set, &sig) != 0) {
        }
        g_stop.request_stop();
        if (CommandLayer *layer = g_layer.load())
            layer->interruptWait();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kStopGrace);
        timespec grace{time_t(seconds.count()), 0};
        // A second signal, or the grace gone by: the command did not stop by itself.
        while (sigtimedwait(&set, nullptr, &grace) < 0 && errno == EINTR) {
        }
        endNow();
    }).detach();
}

} // namespace

int main(int argc, char **argv)
{
    // Before any thread exists, so that every thread inherits the mask.
    blockStopSignals();
    FileWriter::ignoreWriteSignals();
    QCoreApplication app(argc, argv);
    const Table table = commandTable();
    const QStringList in = app.arguments().mid(1);
    QString port = QStringLiteral("COM1");
    int baud = 38400;
    int serial = 0;
    QString logPath;
    try {
        const Command *command = nullptr;
        Args args;
        auto optionOf = [&](const QString &name) -> const Option * {
            for (const Option &o : kGlobalOptions)
                if (o.name == name)
                    return &o;
            if (command)
                for (const Option &o : command->options)
                    if (o.name == name)
                        return &o;
            return nullptr;
        };
        for (int i = 0; i < in.size(); ++i) {
            const QString &s = in[i];
            if (s == "--help" || s == "-h") {
                std::fputs(qPrintable(helpText(table)), stdout);
                return kOk;
            }
            if (s == "--commands") {
                std::fputs(qPrintable(commandList(table)), stdout);
                return kOk;
            }
            const bool looksLikeOption = s.startsWith('-') && s.size() > 1 && !(command && s == "-");
            if (!looksLikeOption) {
                if (!command) {
                    command = table.find(s);
                    if (!command)
                        usage(QStringLiteral("unknown command \"%1\"; see zmctl --help").arg(s));
                } else {
                    args.positional << s;
                }
                continue;
            }
            QString name = s, value;
            const bool hasEq = s.startsWith("--") && s.contains('=');
            if (hasEq) {
                name = s.section('=', 0, 0);
                value = s.section('=', 1);
            }
            const Option *option = optionOf(name);
            if (!option)
                usage(command ? QStringLiteral("%1 does not take %2; see zmctl --help").arg(command->name, name)
                              : QStringLiteral("unknown option %1; see zmctl --help").arg(name));
            if (option->valued && !hasEq) {
                if (i + 1 >= in.size())
                    usage(QStringLiteral("%1 needs a value").arg(name));
                value = in[++i];
            } else if (!option->valued && hasEq) {
                usage(QStringLiteral("%1 takes no value").arg(name));
            }
            if (name == "--port")
                port = value;
            else if (name == "--log")
                logPath = value;
            else if (name == "--baud")
                baud = toInt(value, QStringLiteral("--baud"), 1, 100000000);
            else if (name == "--serial")
                serial = toInt(value, QStringLiteral("--serial"), 0, 255);
            else
                args.options[name] = option->valued ? value : QStringLiteral("1");
        }
        if (!command)
            usage(QStringLiteral("no command given; see zmctl --help"));
        const int n = int(args.positional.size());
        if (n < command->minArgs || n > command->maxArgs)
            usage(QStringLiteral("usage: zmctl %1").arg(command->synopsis));

        CommandLayer layer;
        layer.setSerialNumber(uint8_t(serial));
        Commands commands(layer);
        Context ctx{layer, commands, g_stop.get_token()};
        g_layer.store(&layer);
        // Forgotten before the layer goes, however this block is left.
        struct Forget {
            ~Forget() { g_layer.store(nullptr); }
        } forget;
        watchStopSignals();
        std::optional<TrafficFile> log;
        if (!logPath.isEmpty())
            log.emplace(layer.traffic(), logPath, in);
        if (command->needsPort) {
            QString error;
            if (!layer.open(port, QStringLiteral("%1,n,8,1").arg(baud), &error)) {
                printError(QStringLiteral("zmctl: %1").arg(error));
                return kUsage;
            }
        }
        int code = command->run(ctx, args);
        if (code == kOk && ctx.stopRequested() && !command->stopIsEnd)
            code = ctx.interrupted();
        layer.close();
        return code;
    } catch (const UsageError &e) {
        printError(QStringLiteral("zmctl: %1").arg(e.message));
        return kUsage;
    }
}
