// zmsim: a simulated camera chip on a pseudo-terminal.

#include "link/file_writer.h"
#include "link/input_file.h"
#include "sim/pty_chip.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <optional>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kDescription[] =
    "A simulated ZM3386 on a pseudo-terminal. The first line of output is\n"
    "'zmsim: <path>', the serial port to open. The chip serves until SIGINT or SIGTERM.\n"
    "Its memories: I2C EEPROM 64 KiB, SPI EEPROM 32 KiB, SPI flash 512 KiB in 4 KiB\n"
    "sectors, which answers an erase when a real part would be done (--erase-ms,\n"
    "--sector-erase-ms); two frame buffers of 1 MiB. The delay of a frame-buffer read is the pause\n"
    "in microseconds between the answer and the picture bytes.\n"
    "\n"
    "Faults (--fault, repeatable): KIND[=VALUE][,cmd=CODE][,skip=N][,times=N][,closing]\n"
    "  noanswer      the command is dropped, nothing is sent\n"
    "  serial        the answer carries a wrong serial number\n"
    "  sign          the answer starts with a wrong sign byte\n"
    "  long          the answer is 22 bytes long\n"
    "  status=S      the command is answered with status S\n"
    "  delay=MS      the answer is held back MS milliseconds\n"
    "  stall=N       a raw frame-buffer phase stops after N bytes, no closing answer\n"
    "  flaky=N       the next N writes into an EEPROM or the flash store one bit flipped\n"
    "  hangup        the chip closes the line; zmsim then opens a new pseudo-terminal,\n"
    "                prints its 'zmsim: <path>' line and points --link at it\n"
    "CODE is hexadecimal (0x26 or 26); without cmd a rule applies to every command\n"
    "(cmd=0x39 applies it to the motion notifications). skip=N lets the first N commands it\n"
    "matches pass untouched. Without times it stays.\n"
    "With closing, noanswer, serial, sign, status or delay applies to the answer that ends a\n"
    "frame-buffer transfer (cmd=0x32 or 0x33) instead of its first answer.";

bool pointLink(const QString &link, const QString &target)
{
    const QByteArray l = QFile::encodeName(link);
    struct stat st{};
    if (::lstat(l.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "zmsim: %s exists and is not a symbolic link\n", l.constData());
            return false;
        }
        ::unlink(l.constData());
    }
    if (::symlink(QFile::encodeName(target).constData(), l.constData()) != 0) {
        std::perror("zmsim: symlink");
        return false;
    }
    return true;
}

// Removes the link only while it still points at our line.
void removeLink(const QString &link, const QString &target)
{
    if (!link.isEmpty() && QFile::symLinkTarget(link) == target)
        ::unlink(QFile::encodeName(link).constData());
}

// What the command line asks for.
struct Setup {
    zm::sim::PtyChip::Options options;
    int serial = 0;
    QList<zm::sim::FaultRule> rules;
    QString link;
};

// Reads the command line into a setup, or says what is wrong with it (exit 2).
std::optional<Setup> readCommandLine(const QCoreApplication &app, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOpt(QStringLiteral("link"),
        QStringLiteral("Also make PATH a symbolic link to the pseudo-terminal; removed at exit."), QStringLiteral("PATH"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"),
        QStringLiteral("Pace both directions at N/10 bytes per second (default: unpaced)."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption turnaroundOpt(QStringLiteral("turnaround"),
        QStringLiteral("Delay every answer by MS milliseconds (default 0)."), QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"),
        QStringLiteral("Inject a fault, see above; repeatable."), QStringLiteral("RULE"));
    const QCommandLineOption traceOpt(QStringLiteral("trace"),
        QStringLiteral("Append every command frame received to FILE, one line a frame: its bytes in hex, then the command and its fields in words."), QStringLiteral("FILE"));
    const QCommandLineOption fbufOpt(QStringLiteral("fbuf"),
        QStringLiteral("Fill both frame buffers with this JPEG file (default: a 640x480 test picture)."), QStringLiteral("FILE"));
    const QCommandLineOption ctrlOpt(QStringLiteral("ctrlinfo"),
        QStringLiteral("Memory holding the control info: i2c, spi-eeprom, spi-flash or none (default i2c)."),
        QStringLiteral("MEMORY"), QStringLiteral("i2c"));
    const QCommandLineOption motionOpt(QStringLiteral("motion-interval"),
        QStringLiteral("Milliseconds between motion notifications while comm motion is open (default 1500)."),
        QStringLiteral("MS"), QStringLiteral("1500"));
    const QCommandLineOption uartOpt(QStringLiteral("uart"),
        QStringLiteral("The chip UART the PC is on: mcu or huart (default mcu). Frame-buffer transfers for "
                       "another device send no raw bytes."), QStringLiteral("UART"), QStringLiteral("mcu"));
    const QCommandLineOption serialOpt(QStringLiteral("serial"),
        QStringLiteral("The chip's serial number at start, 0 to 255 (default 0)."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption eraseOpt(QStringLiteral("erase-ms"),
        QStringLiteral("Milliseconds a flash chip erase takes before it is answered (default 2000)."),
        QStringLiteral("MS"), QStringLiteral("2000"));
    const QCommandLineOption sectorEraseOpt(QStringLiteral("sector-erase-ms"),
        QStringLiteral("Milliseconds a flash sector erase takes before it is answered (default 50)."),
        QStringLiteral("MS"), QStringLiteral("50"));
    parser.addOptions({linkOpt, baudOpt, turnaroundOpt, faultOpt, traceOpt, fbufOpt, ctrlOpt, motionOpt, uartOpt,
                       serialOpt, eraseOpt, sectorEraseOpt});
    parser.process(app);

    auto bad = [error](const QString &message) {
        *error = message;
        return std::nullopt;
    };
    auto number = [&parser](const QCommandLineOption &o, int min, int max, int *out) {
        bool ok = false;
        *out = parser.value(o).toInt(&ok);
        return ok && *out >= min && *out <= max;
    };

    Setup setup;
    zm::sim::PtyChip::Options &options = setup.options;
    if (!number(baudOpt, 0, 20'000'000, &options.baud))
        return bad(QStringLiteral("bad --baud"));
    if (!number(turnaroundOpt, 0, 600'000, &options.turnaroundMs))
        return bad(QStringLiteral("bad --turnaround"));
    if (!number(motionOpt, 1, 3'600'000, &options.chip.motionIntervalMs))
        return bad(QStringLiteral("bad --motion-interval"));
    if (!number(serialOpt, 0, 255, &setup.serial))
        return bad(QStringLiteral("bad --serial"));
    if (!number(eraseOpt, 0, 600'000, &options.chip.chipEraseMs))
        return bad(QStringLiteral("bad --erase-ms"));
    if (!number(sectorEraseOpt, 0, 600'000, &options.chip.sectorEraseMs))
        return bad(QStringLiteral("bad --sector-erase-ms"));
    const QString place = parser.value(ctrlOpt);
    if (place == u"i2c")
        options.chip.ctrlInfo = zm::sim::CtrlInfoPlace::I2cEeprom;
    else if (place == u"spi-eeprom")
        options.chip.ctrlInfo = zm::sim::CtrlInfoPlace::SpiEeprom;
    else if (place == u"spi-flash")
        options.chip.ctrlInfo = zm::sim::CtrlInfoPlace::SpiFlash;
    else if (place == u"none")
        options.chip.ctrlInfo = zm::sim::CtrlInfoPlace::None;
    else
        return bad(QStringLiteral("bad --ctrlinfo '%1'").arg(place));
    const QString uart = parser.value(uartOpt);
    if (uart != u"mcu" && uart != u"huart")
        return bad(QStringLiteral("bad --uart '%1'").arg(uart));
    options.chip.pcUart = uart == u"mcu" ? 1 : 2;
    if (parser.isSet(fbufOpt)) {
        // No more than a frame buffer holds.
        const zm::InputFile in = zm::InputFile::read(parser.value(fbufOpt), options.chip.fbufCapacity);
        if (!in.ok())
            return bad(QStringLiteral("--fbuf %1").arg(in.error));
        if (in.data.isEmpty())
            return bad(QStringLiteral("%1 is empty").arg(parser.value(fbufOpt)));
        options.chip.currentPicture = in.data;
    }
    options.chip.traceFile = parser.value(traceOpt);
    for (const QString &text : parser.values(faultOpt)) {
        QString why;
        const auto rule = zm::sim::FaultRule::parse(text, &why);
        if (!rule)
            return bad(QStringLiteral("--fault %1: %2").arg(text, why));
        setup.rules.append(*rule);
    }
    setup.link = parser.value(linkOpt);
    return setup;
}

// Tells where the chip is: the link first, since whoever waits for the line may use it at once.
bool announce(const QString &link, const QString &path)
{
    if (!link.isEmpty() && !pointLink(link, path))
        return false;
    std::printf("zmsim: %s\n", qPrintable(path));
    std::fflush(stdout);
    return true;
}

// Serves until SIGINT or SIGTERM; a chip that hung up gets a new line, told as the first was.
int serve(zm::sim::PtyChip &chip, const QString &link, const sigset_t &stopSignals)
{
    QString path = chip.slavePath();
    if (!announce(link, path))
        return 1;
    int hangups = 0;
    const timespec tick{0, 100'000'000};
    for (;;) {
        const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM)
            break;
        if (chip.hangupCount() == hangups)
            continue;
        hangups = chip.hangupCount();
        const QString fresh = chip.reopen();
        if (fresh.isEmpty()) {
            removeLink(link, path);
            std::fprintf(stderr, "zmsim: %s\n", qPrintable(chip.errorString()));
            return 2;
        }
        if (!announce(link, fresh))
            return 1;
        path = fresh;
    }
    removeLink(link, path);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    zm::FileWriter::ignoreWriteSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zmsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    QString error;
    const std::optional<Setup> setup = readCommandLine(app, &error);
    if (!setup) {
        std::fprintf(stderr, "zmsim: %s\n", qPrintable(error));
        return 2;
    }

    // The chip thread inherits this mask, so the stop signals reach sigtimedwait in serve().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zm::sim::PtyChip chip(setup->options);
    if (!chip.isOpen()) {
        std::fprintf(stderr, "zmsim: %s\n", qPrintable(chip.errorString()));
        return 2;
    }
    chip.setSerialNumber(uint8_t(setup->serial));
    for (const auto &rule : setup->rules)
        chip.addFault(rule);
    return serve(chip, setup->link, stopSignals);
}
