#pragma once
// zmctl's command table and what its commands share: argument conversions, the context a command
// runs in, and its exits. Each area adds its commands in its own source file.
//
//     table.commands << Command{
//         "version", "version", "prints Version:\"<text>\"", 0, 0, {},
//         [](Context &ctx, const Args &) { ... return 0; }};

#include "cli/progress_line.h"
#include "link/commands.h"
#include "link/report.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <stop_token>

namespace zm::cli {

// Exit status.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
// The command did what it was asked, but something after that failed (fbuf-read kept the picture,
// but the chip did not confirm the end of the transfer).
inline constexpr int kWarning = 3;
inline constexpr int kInterrupted = 130;

// A usage error: each line of the message is printed after "zmctl: " and the exit status is 2.
struct UsageError {
    QString message;
};
[[noreturn]] void usage(const QString &message);

// Conversions of arguments; each throws a usage error that names what was wrong.
int toInt(const QString &text, const QString &what, int lo, int hi);
uint32_t toHex(const QString &text, const QString &what, uint32_t max = 0xFFFFFFFF);
uint8_t toMemory(const QString &text);
// Hexadecimal bytes: "5A", "12 34" or "1234"; an odd number of digits is refused.
QByteArray toBytes(const QString &text, const QString &what = QStringLiteral("HEX"));
int choose(const QString &text, const QString &what, const QStringList &choices);
// A file the command will replace: a usage error when it cannot be written, tried without
// touching an earlier file.
void checkTarget(const QString &path);
// A file the command will read: a usage error when there is no such file (a folder, a device or a
// name that is missing). What the file holds is the command's to check.
void checkSource(const QString &path, const QString &what = QStringLiteral("FILE"));
// "1 byte", "2 bytes".
QString bytesCount(qint64 n);

void print(const QString &line);
// Every line of `text` on stderr after "zmctl: "; nothing for an empty text.
void printError(const QString &text);

struct Option {
    QString name;
    QString value; // the placeholder of its value ("W", "FILE"); empty for a flag
    QString help;
    QStringList choices = {}; // the values it takes, when they are a fixed list

    bool valued() const { return !value.isEmpty(); }
};

// The values an argument takes, when they are a fixed list, for the help and the shell
// completion: `what` is a placeholder of the synopsis ("MEM", "NAME") or an option whose
// values depend on the first argument, `when` that argument ("--mode" when NAME is "color").
struct Choice {
    QString what;
    QStringList values;
    QString when = {};
};

struct Args {
    QStringList positional; // after the command's name
    std::map<QString, QString> options;

    std::optional<QString> option(const QString &name) const;
    bool flag(const QString &name) const { return options.count(name) > 0; }
};

// What a command runs with. The port is open when the command needs one.
struct Context {
    LinkSession &session;
    Commands &commands;
    std::stop_token stop;

    // A report for a long procedure: progress on the line, messages on lines of their own,
    // values through `value`, questions answered no (a script cannot be asked), the stop of
    // Ctrl+C.
    Report report(ProgressLine &line, std::function<void(const QString &, const QString &)> value = {}) const;
    // Prints the result text, then which command failed and what to check (or, when the port
    // went away under the command, that and why); exit status 1, or 130 when the user
    // interrupted the command.
    int failed(uint8_t result) const;
    // The same for a failure that a procedure put in words, followed by the port's loss.
    int failed(const QString &text) const;
    int interrupted() const;
    // The exit status after a long procedure that told its own failure: 130 when the user
    // interrupted it, 1 when it failed (saying so when the port went away), else 0.
    int ended(bool ok) const;
    // The exit status of a procedure's outcome: 0 done, 1 failed (saying so when the port went
    // away), 3 done with a warning, 130 stopped.
    int ended(const Outcome &outcome) const;
    // "The port went away: <port>: <why>."
    QString portWentAway() const;
    // Says once that the port went away, when it did.
    void tellPortLoss() const;
    bool stopRequested() const { return stop.stop_requested(); }

    mutable bool lossTold = false;
};

struct Command {
    QString name;
    QString synopsis; // "read MEM ADDR [COUNT] [--width W]"
    QString help;     // what it does; lines after the first are indented under it
    QString example;  // a whole command line, "zmctl --port /dev/ttyUSB0 read chip 0x1A10 4"
    int minArgs = 0;
    int maxArgs = 0;
    QList<Option> options;
    std::function<int(Context &, const Args &)> run;
    bool needsPort = true;
    // Ctrl+C is how the command ends (a watch): it exits 0 once it has cleaned up.
    bool stopIsEnd = false;
    // From this argument on (counted from 0), arguments are data even when they start with "-":
    // a free text such as an OSD line. -1: none.
    int textFrom = -1;
    QList<Choice> choices = {};

    const Option *option(const QString &name) const;
    // The fixed values of `what` (a placeholder or an option), for the first argument `first`.
    QStringList choicesOf(const QString &what, const QString &first = {}) const;
};

struct Table {
    QList<Command> commands;
    QStringList notes; // paragraphs printed after the commands in --help

    const Command *find(const QString &name) const;
};

// The memory names MEM takes (a number is taken too).
QStringList memoryNames();

// The commands of each area.
void addLinkCommands(Table &table);
void addFbufCommands(Table &table);
void addCtrlInfoCommands(Table &table);
void addToolsCommands(Table &table);
void addMotionCommands(Table &table);
void addOsdCommands(Table &table);
void addFeatureCommands(Table &table);

} // namespace zm::cli
