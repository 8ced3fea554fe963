// zmctl: the console's command layer from a terminal.

#include "app/fbuf_transfer.h"
#include "cli/progress_line.h"
#include "link/commands.h"
#include "link/hex_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <map>
#include <optional>

using namespace zm;

namespace {

const char *kUsage = R"(Usage: zmctl [--port PORT] [--baud RATE] [--serial N] COMMAND [ARGS]

Talks to a ZM3386 chip over a serial line, one command per run.

Options:
  --port PORT     COM1..COM20 (COMn is /dev/ttyS(n-1)) or a device path such as
                  /dev/ttyUSB0 or a pseudo-terminal; default COM1
  --baud RATE     line rate in bit/s; default 38400 (8 data bits, no parity, 1 stop bit)
  --serial N      serial number put into every frame, 0..255; default 0
  --help          this text

Commands:
  version                            prints Version:"<text>"
  reset                              system-reset
  read MEM ADDR [COUNT] [--width W]  reads COUNT items (default 1) of W bytes (default 1);
                                     prints the bytes as upper-case hex pairs, one blank between
  write MEM ADDR HEX [--width W]     writes the data bytes HEX, e.g. 5A, "12 34" or 1234
  dump MEM ADDR LENGTH [-o FILE]     block read of LENGTH bytes; hex lines of 16 bytes,
                                     or the bytes into FILE
  load MEM ADDR FILE [--page-size N] block write of the file's bytes; pieces never cross a
                                     page of N bytes (default 256) on spi-eeprom and spi-flash
  cmd CODE [HEX]                     any command code with raw data bytes; prints the answer's
                                     data as hex
  fbuf-len [--next]                  prints the length of the picture in the current (or next)
                                     frame buffer as 0x%08X (%.2fK)
  fbuf-read FILE [--next] [--decrypt KEY]
                                     reads the picture into FILE; FILE is replaced only when the
                                     whole picture has arrived; --decrypt undoes the chip's
                                     frame-buffer encryption with KEY
  fbuf-write FILE [--encrypt KEY] [--video-source]
                                     writes FILE into the frame buffer, then sets its length;
                                     --encrypt encrypts it with KEY on the way
  fbuf-ctl stop-current|stop-next|step|resume
                                     frame capture control

  Frame-buffer transfers also take:
    --dma                            DMA operation mode (default MCU)
    --device mcu-uart|huart|spi      the chip's device for the data (default mcu-uart)
    --spi-type host|memory           SPI device type (default host)
    --delay N                        delay value sent to the chip, 0..65535 (default 3000)
    --pc-uart mcu-uart|huart         the chip's UART this PC is attached to (default mcu-uart);
                                     when --device is another device, the chip moves the data
                                     itself and no picture bytes cross this line

MEM is chip, sensor, ccir656, i2c-eeprom, spi-eeprom, spi-flash or a memory type number.
ADDR, CODE and KEY are hexadecimal, with or without 0x; COUNT, LENGTH, W and N are decimal.
dump and load work on chip, i2c-eeprom, spi-eeprom and spi-flash.

Messages go to stderr; on a terminal, long transfers show a progress line there too.
Exit status: 0 success; 1 the command failed (the reason on stderr, e.g. "Cmd time out");
2 usage error or the port cannot be opened.
)";

struct UsageError {
    QString message;
};

void fail(const QString &message)
{
    throw UsageError{message};
}

int toInt(const QString &text, const char *what, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        fail(QStringLiteral("%1 must be a decimal number from %2 to %3: \"%4\"").arg(what).arg(lo).arg(hi).arg(text));
    return v;
}

uint32_t toHex(const QString &text, const char *what)
{
    const auto v = parseHexNumber(text, 8);
    if (!v)
        fail(QStringLiteral("%1 must be hexadecimal, e.g. 1A10 or 0x1A10: \"%2\"").arg(what, text));
    return *v;
}

uint8_t toMemory(const QString &text)
{
    static const std::map<QString, uint8_t> names = {
        {"chip", 1}, {"sensor", 2}, {"ccir656", 3}, {"i2c-eeprom", 4}, {"spi-eeprom", 5}, {"spi-flash", 6},
    };
    const auto it = names.find(text.toLower());
    if (it != names.end())
        return it->second;
    // A number is passed on as it is; the frame builders refuse the ones the chip does not know.
    return uint8_t(toInt(text, "MEM", 0, 255));
}

QByteArray toBytes(const QString &text)
{
    const auto b = parseHexBytes(text);
    if (!b || b->isEmpty())
        fail(QStringLiteral("HEX must be hexadecimal bytes, e.g. 5A, \"12 34\" or 1234: \"%1\"").arg(text));
    return *b;
}

void print(const QString &line)
{
    std::fputs(qPrintable(line + '\n'), stdout);
}

void printError(const QString &line)
{
    std::fputs(qPrintable(line + '\n'), stderr);
}

// What is left of the command line once the global options are taken out.
struct Args {
    QStringList positional;
    std::map<QString, QString> options;

    std::optional<QString> option(const QString &name) const
    {
        const auto it = options.find(name);
        if (it == options.end())
            return std::nullopt;
        return it->second;
    }
};

int commandFailed(CommandLayer &layer, uint8_t result)
{
    printError(QString::fromLatin1(resultText(result)));
    if (layer.portLost())
        printError(QStringLiteral("The port went away."));
    return 1;
}

void needArgs(const Args &a, int lo, int hi, const char *usage)
{
    const int n = int(a.positional.size()) - 1;
    if (n < lo || n > hi)
        fail(QStringLiteral("usage: zmctl %1").arg(usage));
}

void allowOptions(const Args &a, std::initializer_list<const char *> allowed)
{
    for (const auto &[name, value] : a.options) {
        bool ok = false;
        for (const char *n : allowed)
            ok = ok || name == QLatin1String(n);
        if (!ok)
            fail(QStringLiteral("%1 does not take %2").arg(a.positional[0], name));
    }
}

void checkBlockMemory(uint8_t type)
{
    if (type != 1 && type != 4 && type != 5 && type != 6)
        fail(QStringLiteral("dump and load work on chip, i2c-eeprom, spi-eeprom and spi-flash"));
}

// Splits a run of bytes into block descriptors of at most 32 KiB each.
std::vector<BlockDescriptor> blocksFor(uint8_t type, uint32_t address, QByteArray &bytes)
{
    std::vector<BlockDescriptor> blocks;
    constexpr int kMaxBlock = 32768;
    for (qsizetype off = 0; off < bytes.size(); off += kMaxBlock) {
        BlockDescriptor d;
        d.type = type;
        d.address = address + uint32_t(off);
        d.length = uint16_t(std::min<qsizetype>(kMaxBlock, bytes.size() - off));
        d.data = reinterpret_cast<uint8_t *>(bytes.data()) + off;
        blocks.push_back(d);
    }
    return blocks;
}

int choose(const QString &text, const char *what, const QStringList &choices)
{
    const int i = int(choices.indexOf(text.toLower()));
    if (i < 0)
        fail(QStringLiteral("%1 must be one of %2: \"%3\"").arg(what, choices.join('|'), text));
    return i;
}

int runFbuf(Commands &c, const Args &a)
{
    CommandLayer &layer = c.layer();
    const QString command = a.positional[0];
    if (command == "fbuf-ctl") {
        needArgs(a, 1, 1, "fbuf-ctl stop-current|stop-next|step|resume");
        allowOptions(a, {});
        const int op = choose(a.positional[1], "the operation", {"stop-current", "stop-next", "step", "resume"});
        const uint8_t r = c.fbufControl(uint8_t(op));
        return r ? commandFailed(layer, r) : 0;
    }

    FbufOptions o;
    o.frame = a.option("--next") ? 1 : 0;
    o.dma = a.option("--dma").has_value();
    o.device = choose(a.option("--device").value_or("mcu-uart"), "--device", {"mcu-uart", "huart", "spi"});
    o.spiType = choose(a.option("--spi-type").value_or("host"), "--spi-type", {"host", "memory"});
    o.delay = uint16_t(toInt(a.option("--delay").value_or("3000"), "--delay", 0, 65535));
    o.videoSource = a.option("--video-source").has_value();
    layer.setPcUart(1 + choose(a.option("--pc-uart").value_or("mcu-uart"), "--pc-uart", {"mcu-uart", "huart"}));

    bool failed = false;
    ProgressLine progressLine(command.toLatin1().constData());
    FbufReport report;
    report.progress = [&](qint64 done, qint64 total) { progressLine.update(done, total); };
    report.message = [&](const QString &text, bool) {
        progressLine.finish();
        printError(text);
    };
    report.lengthText = [&](const QString &text) {
        if (command == "fbuf-len")
            print(text);
        else
            printError(QStringLiteral("Image Len: %1").arg(text));
    };
    FbufTransfer transfer(c, report);

    if (command == "fbuf-len") {
        needArgs(a, 0, 0, "fbuf-len [--next]");
        allowOptions(a, {"--next"});
        failed = !transfer.getLength(o.frame);
    } else if (command == "fbuf-read") {
        needArgs(a, 1, 1, "fbuf-read FILE [--next] [--decrypt KEY]");
        allowOptions(a, {"--next", "--decrypt", "--dma", "--device", "--spi-type", "--delay", "--pc-uart"});
        o.path = a.positional[1];
        if (const auto key = a.option("--decrypt")) {
            const uint32_t k = toHex(*key, "KEY");
            if (k > 0xFF)
                fail(QStringLiteral("KEY must be one byte: \"%1\"").arg(*key));
            o.crypt = true;
            o.key = uint8_t(k);
        }
        failed = !transfer.readToFile(o);
    } else if (command == "fbuf-write") {
        needArgs(a, 1, 1, "fbuf-write FILE [--encrypt KEY] [--video-source]");
        allowOptions(a, {"--encrypt", "--video-source", "--dma", "--device", "--spi-type", "--delay", "--pc-uart"});
        o.path = a.positional[1];
        if (const auto key = a.option("--encrypt")) {
            const uint32_t k = toHex(*key, "KEY");
            if (k > 0xFF)
                fail(QStringLiteral("KEY must be one byte: \"%1\"").arg(*key));
            o.crypt = true;
            o.key = uint8_t(k);
        }
        failed = !transfer.writeFromFile(o);
    } else {
        fail(QStringLiteral("unknown command \"%1\"; see zmctl --help").arg(command));
    }
    progressLine.finish();
    if (failed && layer.portLost())
        printError(QStringLiteral("The port went away."));
    return failed ? 1 : 0;
}

int run(Commands &c, const Args &a)
{
    CommandLayer &layer = c.layer();
    const QString command = a.positional[0];

    if (command == "version") {
        needArgs(a, 0, 0, "version");
        allowOptions(a, {});
        QByteArray text;
        const uint8_t r = c.getVersion(text);
        if (r)
            return commandFailed(layer, r);
        print(QStringLiteral("Version:\"%1\"").arg(QString::fromLatin1(text)));
        return 0;
    }
    if (command == "reset") {
        needArgs(a, 0, 0, "reset");
        allowOptions(a, {});
        const uint8_t r = c.systemReset();
        return r ? commandFailed(layer, r) : 0;
    }
    if (command == "read") {
        needArgs(a, 2, 3, "read MEM ADDR [COUNT] [--width W]");
        allowOptions(a, {"--width"});
        TransferRecord t;
        t.type = toMemory(a.positional[1]);
        t.address = toHex(a.positional[2], "ADDR");
        t.count = uint8_t(a.positional.size() > 3 ? toInt(a.positional[3], "COUNT", 1, 16) : 1);
        t.width = uint8_t(toInt(a.option("--width").value_or("1"), "--width", 1, 3));
        if (t.bytes() > kMaxData)
            fail(QStringLiteral("one read moves at most 16 bytes (COUNT x W)"));
        const uint8_t r = c.readData(t);
        if (r)
            return commandFailed(layer, r);
        const AnswerRecord ans = layer.answer();
        print(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), ans.length)));
        return 0;
    }
    if (command == "write") {
        needArgs(a, 3, 3, "write MEM ADDR HEX [--width W]");
        allowOptions(a, {"--width"});
        TransferRecord t;
        t.type = toMemory(a.positional[1]);
        t.address = toHex(a.positional[2], "ADDR");
        t.width = uint8_t(toInt(a.option("--width").value_or("1"), "--width", 1, 3));
        const QByteArray data = toBytes(a.positional[3]);
        if (data.size() % t.width)
            fail(QStringLiteral("HEX holds %1 bytes, not a whole number of items of %2 bytes").arg(data.size()).arg(t.width));
        const int capacity = frames::writeCapacity(t.type);
        if (capacity && data.size() > capacity)
            fail(QStringLiteral("one write to this memory carries at most %1 bytes").arg(capacity));
        if (data.size() > kMaxData)
            fail(QStringLiteral("one write carries at most %1 bytes").arg(kMaxData));
        t.count = uint8_t(data.size() / t.width);
        std::copy(data.begin(), data.end(), t.data.begin());
        const uint8_t r = c.writeData(t);
        return r ? commandFailed(layer, r) : 0;
    }
    if (command == "dump") {
        needArgs(a, 3, 3, "dump MEM ADDR LENGTH [-o FILE]");
        allowOptions(a, {"-o"});
        const uint8_t type = toMemory(a.positional[1]);
        checkBlockMemory(type);
        const uint32_t address = toHex(a.positional[2], "ADDR");
        const int length = toInt(a.positional[3], "LENGTH", 1, 64 * 1024 * 1024);
        const auto out = a.option("-o");
        // Open the target first: finding out after a long read that it cannot be written wastes it.
        QSaveFile file(out.value_or(QString()));
        if (out && !file.open(QIODevice::WriteOnly)) {
            printError(QStringLiteral("Cannot write %1: %2").arg(*out, file.errorString()));
            return 1;
        }
        QByteArray bytes(length, '\0');
        auto blocks = blocksFor(type, address, bytes);
        ProgressLine progress("dump");
        const uint8_t r = c.blockRead(blocks.data(), int(blocks.size()), [&](qint64 done, qint64) {
            progress.update(done, length);
        });
        progress.finish();
        if (r)
            return commandFailed(layer, r);
        if (out) {
            file.write(bytes);
            if (!file.commit()) {
                printError(QStringLiteral("Cannot write %1: %2").arg(*out, file.errorString()));
                return 1;
            }
            return 0;
        }
        for (qsizetype off = 0; off < bytes.size(); off += 16)
            print(toHexText(bytes.mid(off, 16)));
        return 0;
    }
    if (command == "load") {
        needArgs(a, 3, 3, "load MEM ADDR FILE [--page-size N]");
        allowOptions(a, {"--page-size"});
        const uint8_t type = toMemory(a.positional[1]);
        checkBlockMemory(type);
        const uint32_t address = toHex(a.positional[2], "ADDR");
        const int page = toInt(a.option("--page-size").value_or("256"), "--page-size", 1, 65536);
        if (page & (page - 1))
            fail(QStringLiteral("--page-size must be a power of two"));
        QFile file(a.positional[3]);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("Cannot read %1: %2").arg(a.positional[3], file.errorString()));
            return 1;
        }
        QByteArray bytes = file.readAll();
        if (bytes.isEmpty()) {
            printError(QStringLiteral("%1 is empty; nothing to load").arg(a.positional[3]));
            return 1;
        }
        layer.setPageSize(page);
        auto blocks = blocksFor(type, address, bytes);
        ProgressLine progress("load");
        const uint8_t r = c.blockWrite(blocks.data(), int(blocks.size()), [&](qint64 done, qint64 total) {
            progress.update(done, total);
        });
        progress.finish();
        return r ? commandFailed(layer, r) : 0;
    }
    if (command == "cmd") {
        needArgs(a, 1, 2, "cmd CODE [HEX]");
        allowOptions(a, {});
        const uint32_t code = toHex(a.positional[1], "CODE");
        if (code > 0xFF)
            fail(QStringLiteral("CODE must be one byte: \"%1\"").arg(a.positional[1]));
        const QByteArray data = a.positional.size() > 2 ? toBytes(a.positional[2]) : QByteArray();
        if (data.size() > kMaxData)
            fail(QStringLiteral("a frame carries at most 16 data bytes"));
        AnswerRecord answer;
        const uint8_t r = c.rawCommand(uint8_t(code), reinterpret_cast<const uint8_t *>(data.constData()),
                                       int(data.size()), answer);
        if (r)
            return commandFailed(layer, r);
        print(toHexText(QByteArray(reinterpret_cast<const char *>(answer.data.data()), answer.length)));
        return 0;
    }
    if (command.startsWith("fbuf-"))
        return runFbuf(c, a);
    fail(QStringLiteral("unknown command \"%1\"; see zmctl --help").arg(command));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList argsIn = app.arguments().mid(1);
    QString port = QStringLiteral("COM1");
    int baud = 38400;
    int serial = 0;
    Args args;
    try {
        // Options that take a value, wherever they stand.
        static const QStringList valued = {"--port", "--baud", "--serial", "--width", "-o", "--page-size",
                                           "--decrypt", "--encrypt", "--device", "--spi-type", "--delay", "--pc-uart"};
        static const QStringList flags = {"--next", "--dma", "--video-source"};
        for (int i = 0; i < argsIn.size(); ++i) {
            const QString &s = argsIn[i];
            if (s == "--help" || s == "-h") {
                std::fputs(kUsage, stdout);
                return 0;
            }
            QString name = s, value;
            const bool hasEq = s.startsWith("--") && s.contains('=');
            if (hasEq) {
                name = s.section('=', 0, 0);
                value = s.section('=', 1);
            }
            if (valued.contains(name)) {
                if (!hasEq) {
                    if (i + 1 >= argsIn.size())
                        fail(QStringLiteral("%1 needs a value").arg(name));
                    value = argsIn[++i];
                }
                if (name == "--port")
                    port = value;
                else if (name == "--baud")
                    baud = toInt(value, "--baud", 1, 100000000);
                else if (name == "--serial")
                    serial = toInt(value, "--serial", 0, 255);
                else
                    args.options[name] = value;
            } else if (flags.contains(s)) {
                args.options[s] = QStringLiteral("1");
            } else if (s.startsWith("--") && s.size() > 2) {
                fail(QStringLiteral("unknown option %1; see zmctl --help").arg(s));
            } else {
                args.positional << s;
            }
        }
        if (args.positional.isEmpty())
            fail(QStringLiteral("no command given; see zmctl --help"));

        CommandLayer layer;
        layer.setSerialNumber(uint8_t(serial));
        QString error;
        if (!layer.open(port, QStringLiteral("%1,n,8,1").arg(baud), &error)) {
            printError(QStringLiteral("zmctl: %1").arg(error));
            return 2;
        }
        Commands commands(layer);
        const int code = run(commands, args);
        layer.close();
        return code;
    } catch (const UsageError &e) {
        printError(QStringLiteral("zmctl: %1").arg(e.message));
        return 2;
    }
}
