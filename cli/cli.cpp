#include "cli/cli.h"

#include "link/failure_text.h"
#include "link/file_writer.h"
#include "protocol/hex_text.h"

#include <QFileInfo>

#include <cstdio>

namespace zm::cli {

void usage(const QString &message)
{
    throw UsageError{message};
}

int toInt(const QString &text, const QString &what, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        usage(QStringLiteral("%1 must be a decimal number from %2 to %3: \"%4\"").arg(what).arg(lo).arg(hi).arg(text));
    return v;
}

uint32_t toHex(const QString &text, const QString &what, uint32_t max)
{
    const auto v = parseHexNumber(text, 8);
    if (!v)
        usage(QStringLiteral("%1 must be hexadecimal, e.g. 1A10 or 0x1A10: \"%2\"").arg(what, text));
    if (*v > max)
        usage(QStringLiteral("%1 must be at most 0x%2: \"%3\"").arg(what, QString::number(max, 16).toUpper(), text));
    return *v;
}

QStringList memoryNames()
{
    return {"chip", "sensor", "ccir656", "i2c-eeprom", "spi-eeprom", "spi-flash"};
}

uint8_t toMemory(const QString &text)
{
    const QStringList names = memoryNames();
    const int i = int(names.indexOf(text.toLower()));
    if (i >= 0)
        return uint8_t(i + 1);
    // A number is passed on as it is; the frame builders refuse the ones the chip does not know.
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok || n < 0 || n > 255)
        usage(QStringLiteral("MEM must be one of %1 or a memory type number 0..255: \"%2\"")
                  .arg(names.join('|'), text));
    return uint8_t(n);
}

QByteArray toBytes(const QString &text, const QString &what)
{
    const QString digits = withoutBlanks(text);
    const auto b = parseHexBytes(digits);
    if (!b || b->isEmpty())
        usage(QStringLiteral("%1 must be hexadecimal bytes, e.g. 5A, \"12 34\" or 1234: \"%2\"").arg(what, text));
    if (digits.size() % 2)
        usage(QStringLiteral("%1 has an odd number of digits; write each byte as two: \"%2\"").arg(what, text));
    return *b;
}

int choose(const QString &text, const QString &what, const QStringList &choices)
{
    int i = -1;
    for (int k = 0; k < choices.size() && i < 0; ++k)
        if (choices[k].compare(text, Qt::CaseInsensitive) == 0)
            i = k;
    if (i < 0)
        usage(QStringLiteral("%1 must be one of %2: \"%3\"").arg(what, choices.join('|'), text));
    return i;
}

void checkTarget(const QString &path)
{
    if (path.isEmpty())
        usage(QStringLiteral("FILE must name a file"));
    if (const QString why = FileWriter::whyNot(path); !why.isEmpty())
        usage(QStringLiteral("cannot write %1: %2").arg(path, why));
}

void checkSource(const QString &path, const QString &what)
{
    if (!QFileInfo(path).isFile())
        usage(QStringLiteral("%1 must be a file that exists: \"%2\"").arg(what, path));
}

QString bytesCount(qint64 n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n);
}

void print(const QString &line)
{
    std::fputs(qPrintable(line + '\n'), stdout);
    std::fflush(stdout);
}

void printError(const QString &text)
{
    if (text.isEmpty())
        return;
    QString lines;
    for (const QString &line : text.split('\n'))
        lines += QStringLiteral("zmctl: ") + line + '\n';
    std::fputs(qPrintable(lines), stderr);
}

std::optional<QString> Args::option(const QString &name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

Report Context::report(ProgressLine &line, std::function<void(const QString &, const QString &)> value) const
{
    Report r;
    r.stop = stop;
    r.progress = [&line](qint64 done, qint64 total) { line.update(done, total); };
    r.value = std::move(value);
    r.message = [&line](const QString &text, MessageKind kind) {
        line.message(text);
        return kind != MessageKind::Question;
    };
    return r;
}

QString Context::portWentAway() const
{
    const QString reason = session.lostReason();
    return reason.isEmpty() ? QStringLiteral("The port went away.") : QStringLiteral("The port went away: %1").arg(reason);
}

void Context::tellPortLoss() const
{
    if (!session.portLost() || lossTold)
        return;
    lossTold = true;
    printError(portWentAway());
}

int Context::failed(uint8_t result) const
{
    if (stop.stop_requested())
        return interrupted();
    // A command cut off by the loss of the port failed for that reason; its result code only
    // says that no answer came.
    printError(failureText(session, result));
    tellPortLoss();
    return kFailed;
}

int Context::failed(const QString &text) const
{
    if (stop.stop_requested())
        return interrupted();
    printError(text);
    tellPortLoss();
    return kFailed;
}

int Context::ended(bool ok) const
{
    if (stop.stop_requested())
        return interrupted();
    if (!ok)
        tellPortLoss();
    return ok ? kOk : kFailed;
}

int Context::ended(const Outcome &outcome) const
{
    if (outcome.isWarning())
        return stop.stop_requested() ? interrupted() : kWarning;
    return ended(outcome.succeeded());
}

int Context::interrupted() const
{
    printError(QStringLiteral("Interrupted"));
    return kInterrupted;
}

const Option *Command::option(const QString &name) const
{
    for (const Option &o : options)
        if (o.name == name)
            return &o;
    return nullptr;
}

QStringList Command::choicesOf(const QString &what, const QString &first) const
{
    for (const Choice &c : choices)
        if (c.what == what && (c.when.isEmpty() || c.when == first))
            return c.values;
    if (const Option *o = option(what))
        return o->choices;
    return {};
}

const Command *Table::find(const QString &name) const
{
    for (const Command &c : commands)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace zm::cli
