// zmctl: the frame-buffer commands.

#include "cli/cli.h"
#include "tools/fbuf_transfer.h"

#include <QFileInfo>

namespace zm::cli {

namespace {

const QStringList kDevices = {"mcu-uart", "huart", "spi"};
const QStringList kSpiTypes = {"host", "memory"};
const QStringList kPcUarts = {"mcu-uart", "huart"};
const QStringList kOperations = {"stop-current", "stop-next", "step", "resume"};

const QList<Option> kTransferOptions = {
    {"--dma", {}, "DMA operation mode (default MCU)"},
    {"--device", "DEV", "the chip's device for the data (default mcu-uart)", kDevices},
    {"--spi-type", "TYPE", "SPI device type (default host)", kSpiTypes},
    {"--delay", "N", "delay value sent to the chip, 0..65535 (default 3000)"},
    {"--pc-uart", "UART", "the chip's UART this PC is attached to (default mcu-uart)", kPcUarts},
};

FbufOptions transferOptions(Context &ctx, const Args &a)
{
    FbufOptions o;
    o.frame = a.flag("--next") ? 1 : 0;
    o.dma = a.flag("--dma");
    o.device = choose(a.option("--device").value_or("mcu-uart"), QStringLiteral("--device"), kDevices);
    o.spiType = choose(a.option("--spi-type").value_or("host"), QStringLiteral("--spi-type"), kSpiTypes);
    o.delay = uint16_t(toInt(a.option("--delay").value_or("3000"), QStringLiteral("--delay"), 0, 65535));
    o.videoSource = a.flag("--video-source");
    const int pcUart = 1 + choose(a.option("--pc-uart").value_or("mcu-uart"), QStringLiteral("--pc-uart"), kPcUarts);
    ctx.session.updateSettings([pcUart](LinkSettings &s) { s.pcUart = pcUart; });
    return o;
}

void keyOption(const Args &a, const QString &name, FbufOptions &o)
{
    if (const auto key = a.option(name)) {
        o.crypt = true;
        o.key = uint8_t(toHex(*key, QStringLiteral("KEY"), 0xFF));
    }
}

// Runs a transfer with a progress line labelled with the command; the length goes to stdout for
// fbuf-len and to a line of its own on stderr for the others.
int transfer(Context &ctx, const QString &command, const std::function<Outcome(FbufTransfer &)> &run,
             bool forced = false)
{
    ProgressLine line(command);
    const bool toStdout = command == QLatin1String("fbuf-len");
    Report report = ctx.report(line, [&](const QString &name, const QString &text) {
        if (name != QLatin1String("length"))
            return;
        if (toStdout)
            print(text);
        else
            line.message(QStringLiteral("Image Len: %1").arg(text));
    });
    if (forced) {
        // --force is the answer to the procedure's question.
        report.message = [&line](const QString &text, MessageKind kind) {
            if (kind != MessageKind::Question)
                line.message(text);
            return true;
        };
    }
    FbufTransfer t(ctx.commands, report);
    const Outcome outcome = run(t);
    line.finish();
    return ctx.ended(outcome);
}

int fbufLen(Context &ctx, const Args &a)
{
    const uint8_t frame = a.flag("--next") ? 1 : 0;
    return transfer(ctx, QStringLiteral("fbuf-len"), [&](FbufTransfer &t) { return t.getLength(frame); });
}

int fbufRead(Context &ctx, const Args &a)
{
    FbufOptions o = transferOptions(ctx, a);
    keyOption(a, QStringLiteral("--decrypt"), o);
    o.path = a.positional[0];
    // Where the picture cannot be written, say so before the chip is asked for it.
    checkTarget(o.path);
    return transfer(ctx, QStringLiteral("fbuf-read"), [&](FbufTransfer &t) { return t.readToFile(o); });
}

int fbufWrite(Context &ctx, const Args &a)
{
    FbufOptions o = transferOptions(ctx, a);
    keyOption(a, QStringLiteral("--encrypt"), o);
    o.path = a.positional[0];
    const QFileInfo source(o.path);
    if (!source.isFile())
        usage(QStringLiteral("FILE must be a file that exists: \"%1\"").arg(o.path));
    if (source.size() == 0)
        usage(QStringLiteral("%1 is empty; there is nothing to write").arg(o.path));
    if (source.size() > LinkSession::kFbufCapacity && !a.flag("--force"))
        usage(QStringLiteral("%1 is %2 long, more than the %3 a frame-buffer read can bring back; "
                             "add --force to write it anyway")
                  .arg(o.path, bytesCount(source.size()), bytesCount(LinkSession::kFbufCapacity)));
    if (a.flag("--stop"))
        if (const uint8_t r = ctx.commands.fbufControl(0))
            return ctx.failed(r);
    return transfer(ctx, QStringLiteral("fbuf-write"), [&](FbufTransfer &t) { return t.writeFromFile(o); },
                    a.flag("--force"));
}

int fbufCtl(Context &ctx, const Args &a)
{
    const int op = choose(a.positional[0], QStringLiteral("the operation"), kOperations);
    const uint8_t r = ctx.commands.fbufControl(uint8_t(op));
    return r ? ctx.failed(r) : kOk;
}

} // namespace

void addFbufCommands(Table &table)
{
    Command control{"fbuf-ctl", "fbuf-ctl stop-current|stop-next|step|resume", "frame capture control",
                    "zmctl --port /dev/ttyUSB0 fbuf-ctl stop-current", 1, 1, {}, fbufCtl};
    table.commands << Command{"fbuf-len", "fbuf-len [--next]",
                              "prints the length of the picture in the current (or next) frame buffer\n"
                              "as 0x%08X (%.2fK)",
                              "zmctl --port /dev/ttyUSB0 fbuf-len --next", 0, 0,
                              {{"--next", {}, "the next frame buffer instead of the current one"}}, fbufLen}
                   << Command{"fbuf-read", "fbuf-read FILE [--next] [--decrypt KEY]",
                              "reads the picture into FILE (- is standard output); FILE is replaced only\n"
                              "when the whole picture has arrived; --decrypt undoes the chip's frame-buffer\n"
                              "encryption with KEY. Exit 3: the picture was kept, but the chip's closing\n"
                              "answer failed, so capture may still be stopped (fbuf-ctl resume)",
                              "zmctl --port /dev/ttyUSB0 fbuf-read picture.jpg", 1, 1,
                              QList<Option>{{"--next", {}, "the next frame buffer instead of the current one"},
                                            {"--decrypt", "KEY", "decrypts with the key byte KEY (hexadecimal)"}}
                                  + kTransferOptions,
                              fbufRead}
                   << Command{"fbuf-write", "fbuf-write FILE [--stop] [--encrypt KEY] [--video-source] [--force]",
                              "writes FILE into the frame buffer, then sets its length; frame capture\n"
                              "must be stopped first (fbuf-ctl stop-current, or --stop here); --encrypt\n"
                              "encrypts it with KEY on the way; a file longer than a read can bring\n"
                              "back (614400 bytes) needs --force",
                              "zmctl --port /dev/ttyUSB0 fbuf-write --stop picture.jpg", 1, 1,
                              QList<Option>{{"--stop", {}, "stops frame capture first (fbuf-ctl stop-current)"},
                                            {"--encrypt", "KEY", "encrypts with the key byte KEY (hexadecimal)"},
                                            {"--video-source", {}, "the frame buffer becomes the video source"},
                                            {"--force", {}, "writes a file longer than a read can bring back"}}
                                  + kTransferOptions,
                              fbufWrite}
                   << control;
    table.notes << QStringLiteral(
        "Frame-buffer transfers also take:\n"
        "  --dma                            DMA operation mode (default MCU)\n"
        "  --device mcu-uart|huart|spi      the chip's device for the data (default mcu-uart)\n"
        "  --spi-type host|memory           SPI device type (default host)\n"
        "  --delay N                        delay value sent to the chip, 0..65535 (default 3000)\n"
        "  --pc-uart mcu-uart|huart         the chip's UART this PC is attached to (default mcu-uart);\n"
        "                                   when --device is another device, the chip moves the data\n"
        "                                   itself and no picture bytes cross this line");
}

} // namespace zm::cli
