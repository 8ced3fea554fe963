// zmctl: the console's commands from a terminal.

#include "cli/cli.h"

#include "link/failure_text.h"
#include "link/file_writer.h"
#include "protocol/traffic_rows.h"

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

const char *kUsageLine = "zmctl [--port PORT] [--baud RATE] [--serial N] [--log FILE] COMMAND [ARGS]";

const char *kHeader = R"(
Talks to a ZM3386 chip over a serial line, one command per run.

Options:
  --port PORT     COM1..COM20 (COMn is /dev/ttyS(n-1)) or a device path such as
                  /dev/ttyUSB0 or a pseudo-terminal; default COM1
  --baud RATE     line rate in bit/s; default 38400 (8 data bits, no parity, 1 stop bit)
  --serial N      serial number put into every frame, 0..255; default 0
  --log FILE      appends every frame sent and received to FILE, decoded, with its time
                  since the port was opened and the round trip of each answer
  --commands      lists zmctl and each command on a line of its own, for shell completion:
                  the name, the options it takes (those ending in = take a value), its
                  synopsis and the fixed values of its arguments, separated by tabs
  --version       prints zmctl's version
  --help          this text; zmctl help COMMAND or zmctl COMMAND --help: one command's
                  usage, options and an example

Options end at --; an argument where a command takes data (an OSD text) is data, also when
it starts with -.

Commands:
)";

const char *kFooter = R"(Messages go to stderr, each line after "zmctl: "; on a terminal, long transfers show a
progress line there too.
Ctrl+C stops a command cleanly: a file being written is left as it was. A command that has
not stopped a second later is ended all the same; a second Ctrl+C ends it at once.
Files are replaced whole or not at all; -, a pipe or a device is written as a stream.
Exit status: 0 success; 1 the command failed (the reason on stderr, e.g. "Cmd time out", then
which command failed and what to check); 2 usage error or the port cannot be opened; 3 done
with a warning (fbuf-read kept the picture, but the chip did not confirm the end of the
transfer); 130 interrupted.
)";

const char *kVersion = "zmctl 1.00";

const QList<Option> kGlobalOptions = {
    {"--port", "PORT", "COM1..COM20 or a device path; default COM1"},
    {"--baud", "RATE", "line rate in bit/s; default 38400",
     {"9600", "19200", "38400", "57600", "115200", "230400", "460800", "921600"}},
    {"--serial", "N", "serial number put into every frame, 0..255; default 0"},
    {"--log", "FILE", "appends every frame of the run to FILE, decoded"}};

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
    QString text = QStringLiteral("Usage: ") + QString::fromLatin1(kUsageLine) + '\n' + QString::fromLatin1(kHeader);
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

// "--width W" or "--dma".
QString optionText(const Option &o)
{
    return o.valued() ? o.name + ' ' + o.value : o.name;
}

// zmctl help COMMAND, zmctl COMMAND --help: its usage, what it does, the fixed values of its
// arguments, its options and an example.
QString commandHelp(const Command &c)
{
    QString text = QStringLiteral("Usage: zmctl [--port PORT] [--baud RATE] [--serial N] [--log FILE] %1\n\n").arg(c.synopsis);
    text += c.help + '\n';
    auto row = [](const QString &left, const QString &right) {
        return QStringLiteral("  ") + left.leftJustified(24) + (left.size() > 24 ? QStringLiteral("\n") + QString(26, ' ') : QString())
            + right + '\n';
    };
    QString values;
    for (const Choice &ch : c.choices) {
        if (ch.what.startsWith('-'))
            continue; // shown with its option
        values += row(ch.what, ch.values.join('|'));
    }
    if (!values.isEmpty())
        text += QStringLiteral("\nArguments:\n") + values;
    if (!c.options.isEmpty()) {
        text += QStringLiteral("\nOptions:\n");
        for (const Option &o : c.options) {
            QString help = o.help;
            if (!o.choices.isEmpty())
                help += QStringLiteral(": ") + o.choices.join('|');
            text += row(optionText(o), help);
            for (const Choice &ch : c.choices)
                if (ch.what == o.name)
                    text += row(QString(), (ch.when.isEmpty() ? QString() : ch.when + QStringLiteral(": "))
                                               + ch.values.join('|'));
        }
    }
    if (c.textFrom >= 0)
        text += QStringLiteral("\nOptions end at --; from argument %1 on, arguments are taken as they are.\n")
                    .arg(c.textFrom + 1);
    text += QStringLiteral("\nExample:\n  %1\n").arg(c.example);
    text += QStringLiteral("\nThe options of every command (--port, --baud, --serial, --log): zmctl --help.\n");
    return text;
}

// --commands: what the shell completion needs, from the same table as everything else: the
// name, the options (a value after '='), the synopsis, and the fixed values of arguments and
// options as WHAT=a|b|c, or WHAT@FIRST=a|b|c when they depend on the first argument.
QString commandList(const Table &table)
{
    auto options = [](const QList<Option> &list) {
        QStringList words;
        for (const Option &o : list)
            words << (o.valued() ? o.name + '=' : o.name);
        return words;
    };
    auto values = [](const QList<Option> &list, const QList<Choice> &choices) {
        QStringList words;
        for (const Option &o : list)
            if (!o.choices.isEmpty())
                words << o.name + '=' + o.choices.join('|');
        for (const Choice &c : choices)
            words << c.what + (c.when.isEmpty() ? QString() : '@' + c.when) + '=' + c.values.join('|');
        return words;
    };
    const QStringList global = options(kGlobalOptions) + QStringList{"--commands", "--version", "--help"};
    QString text = QStringLiteral("zmctl\t%1\t%2\t%3\n")
                       .arg(global.join(' '), QString::fromLatin1(kUsageLine), values(kGlobalOptions, {}).join(' '));
    for (const Command &c : table.commands)
        text += QStringLiteral("%1\t%2\t%3\t%4\n")
                    .arg(c.name, options(c.options).join(' '), c.synopsis, values(c.options, c.choices).join(' '));
    return text;
}

// Ctrl+C and SIGTERM are taken by a thread of their own, which asks the running command to
// stop. A command that has not ended a second later is ended here, whatever it is blocked in,
// as is the program at a second signal: the temporary files of writers not yet done are removed,
// so every target is as it was.
constexpr auto kStopGrace = std::chrono::seconds(1);
std::stop_source g_stop;

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
        // Every wait of the command ends at this request, whether it is waiting now or not yet.
        g_stop.request_stop();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kStopGrace);
        timespec grace{time_t(seconds.count()), 0};
        // A second signal, or the grace gone by: the command did not stop by itself.
        while (sigtimedwait(&set, nullptr, &grace) < 0 && errno == EINTR) {
        }
        endNow();
    }).detach();
}

// Qt's own warnings (a serial port's, say) follow the rule of every other line on stderr.
void prefixedMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    printError(text);
}

bool looksLikeOption(const QString &s)
{
    return s.size() > 1 && s.startsWith('-');
}

// What the command line asks for: text to print (help, the command list, the version), or a
// command to run with its arguments and the link's settings.
struct Invocation {
    QString print;
    const Command *command = nullptr;
    Args args;
    QString port = QStringLiteral("COM1");
    int baud = 38400;
    int serial = 0;
    QString logPath;

    static Invocation printing(const QString &text)
    {
        Invocation inv;
        inv.print = text;
        return inv;
    }
};

[[noreturn]] void unknownCommand(const Table &table, const QString &name)
{
    QStringList names;
    for (const Command &c : table.commands)
        names << c.name;
    usage(QStringLiteral("unknown command \"%1\"; the commands are %2").arg(name, names.join(", ")));
}

[[noreturn]] void unknownOption(const Command *command, const QString &name)
{
    if (!command)
        usage(QStringLiteral("unknown option %1; see zmctl --help").arg(name));
    QStringList names;
    for (const Option &o : command->options)
        names << optionText(o);
    usage(QStringLiteral("%1 does not take %2; %3; see zmctl help %1")
              .arg(command->name, name,
                   names.isEmpty() ? QStringLiteral("it takes no options") : QStringLiteral("it takes ") + names.join(", ")));
}

const Option *globalOption(const QString &name)
{
    for (const Option &o : kGlobalOptions)
        if (o.name == name)
            return &o;
    return nullptr;
}

// Takes the option at in[i] (and its value, moving i past it) into the invocation.
void takeOption(Invocation &inv, const QStringList &in, int &i)
{
    const QString &s = in[i];
    QString name = s, value;
    const bool hasEq = s.startsWith("--") && s.contains('=');
    if (hasEq) {
        name = s.section('=', 0, 0);
        value = s.section('=', 1);
    }
    const Option *option = globalOption(name);
    if (!option && inv.command)
        option = inv.command->option(name);
    if (!option) {
        // A negative number or a text where the command still takes an argument is that
        // argument: the command's own check says what is wrong with it.
        if (inv.command && !s.startsWith("--") && inv.args.positional.size() < inv.command->maxArgs) {
            inv.args.positional << s;
            return;
        }
        unknownOption(inv.command, name);
    }
    if (option->valued() && !hasEq) {
        if (i + 1 >= in.size())
            usage(QStringLiteral("%1 needs a value (%2)").arg(name, option->value));
        value = in[++i];
    } else if (!option->valued() && hasEq) {
        usage(QStringLiteral("%1 takes no value").arg(name));
    }
    if (!option->choices.isEmpty() && option->valued())
        choose(value, name, option->choices);
    if (name == "--port")
        inv.port = value;
    else if (name == "--log")
        inv.logPath = value;
    else if (name == "--baud")
        inv.baud = toInt(value, QStringLiteral("--baud"), 1, 100000000);
    else if (name == "--serial")
        inv.serial = toInt(value, QStringLiteral("--serial"), 0, 255);
    else
        inv.args.options[name] = option->valued() ? value : QStringLiteral("1");
}

void checkArgumentCount(const Command &command, int n)
{
    if (n >= command.minArgs && n <= command.maxArgs)
        return;
    const QString count = command.minArgs == command.maxArgs
        ? QString::number(command.minArgs)
        : QStringLiteral("%1 to %2").arg(command.minArgs).arg(command.maxArgs);
    usage(QStringLiteral("%1 takes %2 argument%3, not %4\nusage: zmctl %5")
              .arg(command.name, count, command.maxArgs == 1 ? QString() : QStringLiteral("s"))
              .arg(n)
              .arg(command.synopsis));
}

// Reads the command line; a usage error is thrown, what only asks for text is in `print`.
Invocation parseCommandLine(const Table &table, const QStringList &in)
{
    Invocation inv;
    bool optionsEnded = false;
    for (int i = 0; i < in.size(); ++i) {
        const QString &s = in[i];
        if (!optionsEnded && s == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // Where the command takes data, whatever stands there is data: after "--", and in a free
        // text such as an OSD line.
        const int slot = int(inv.args.positional.size());
        const Command *command = inv.command;
        const bool data = command
            && (optionsEnded || (command->textFrom >= 0 && slot >= command->textFrom && slot < command->maxArgs));
        if (data || !looksLikeOption(s) || (optionsEnded && !command)) {
            if (command)
                inv.args.positional << s;
            else if (!(inv.command = table.find(s)))
                unknownCommand(table, s);
            continue;
        }
        if (s == QLatin1String("--help") || s == QLatin1String("-h"))
            return Invocation::printing(command ? commandHelp(*command) : helpText(table));
        if (!command && s == QLatin1String("--commands"))
            return Invocation::printing(commandList(table));
        if (!command && s == QLatin1String("--version"))
            return Invocation::printing(QString::fromLatin1(kVersion) + '\n');
        takeOption(inv, in, i);
    }
    if (!inv.command)
        usage(QStringLiteral("no command given; see zmctl --help"));
    checkArgumentCount(*inv.command, int(inv.args.positional.size()));
    if (inv.command->name == QLatin1String("help")) {
        if (inv.args.positional.isEmpty())
            return Invocation::printing(helpText(table));
        const Command *about = table.find(inv.args.positional[0]);
        if (!about || about == inv.command)
            unknownCommand(table, inv.args.positional[0]);
        return Invocation::printing(commandHelp(*about));
    }
    return inv;
}

// Opens the port the command needs, runs it, and closes the port: the exit status.
int runCommand(const Invocation &inv, const QStringList &arguments)
{
    LinkSession session;
    session.updateSettings([&inv](LinkSettings &s) { s.serial = uint8_t(inv.serial); });
    Commands commands(session, g_stop.get_token());
    Context ctx{session, commands, g_stop.get_token()};
    watchStopSignals();
    std::optional<TrafficFile> log;
    if (!inv.logPath.isEmpty())
        log.emplace(session.traffic().recorder(), inv.logPath, arguments);
    if (inv.command->needsPort) {
        QString error;
        if (!session.open(inv.port, QStringLiteral("%1,n,8,1").arg(inv.baud), &error)) {
            printError(error);
            return kUsage;
        }
    }
    int code = inv.command->run(ctx, inv.args);
    if (code == kOk && ctx.stopRequested() && !inv.command->stopIsEnd)
        code = ctx.interrupted();
    session.close();
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    // Before any thread exists, so that every thread inherits the mask.
    blockStopSignals();
    FileWriter::ignoreWriteSignals();
    qInstallMessageHandler(prefixedMessage);
    QCoreApplication app(argc, argv);
    setFailureWording(FailureWording::Terminal);
    Table table = commandTable();
    table.commands << Command{"help", "help [COMMAND]", "prints the usage of COMMAND, its options and an example",
                              "zmctl help osd-text", 0, 1, {}, nullptr, false};
    const QStringList arguments = app.arguments().mid(1);
    try {
        const Invocation inv = parseCommandLine(table, arguments);
        if (!inv.print.isNull()) {
            std::fputs(qPrintable(inv.print), stdout);
            return kOk;
        }
        return runCommand(inv, arguments);
    } catch (const UsageError &e) {
        printError(e.message);
        return kUsage;
    }
}
