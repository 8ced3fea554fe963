// zmctl: the SPI flash and the copies of the control-info memory: flash-size, erase-sector,
// erase-chip, upload, download, verify.

#include "cli/cli.h"
#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_models.h"
#include "link/messages.h"
#include "tools/device_transfer.h"

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace zm::cli {

namespace {

const QStringList kMemories = {"i2c-eeprom", "spi-eeprom", "spi-flash"};

const QList<Option> kDeviceOptions = {
    {"--device", "MEMORY", "the memory that holds the control info (default: located first)", kMemories},
    {"--model", "NAME", "a model's first word (24C512, AT25128A, AT25F4096A ...): its size and page size"},
    {"--device-size", "N", "the size in bytes, 64 x 2^k (the model of that size follows)"},
    {"--page-size", "N", "the page size, a power of two from 1 to 1024"}};

// The memory a transfer works on, from the options as the Upload/Download window would set it:
// the device (located when not given), then the model, or the size (the model of that size
// follows), or for the flash its own report of its size; --page-size last. Nothing is remembered
// between runs. Null after a failure, which `code` then holds.
std::optional<DeviceSetup> deviceSetup(Context &ctx, const Args &a, int &model, int &code)
{
    const auto modelOption = a.option("--model");
    const auto sizeText = a.option("--device-size");
    if (modelOption && sizeText)
        usage(QStringLiteral("give --model or --device-size, not both: a model has its size"));
    int sizeIndex = -1;
    if (sizeText) {
        const int size = toInt(*sizeText, QStringLiteral("--device-size"), 64, 1024 * 1024);
        sizeIndex = deviceSizeIndex(uint32_t(size));
        if (sizeIndex < 0)
            usage(QStringLiteral("--device-size must be 64 x 2^k bytes (64, 128, ..., 1048576): \"%1\"").arg(*sizeText));
    }
    int page = 0;
    if (const auto p = a.option("--page-size")) {
        page = toInt(*p, QStringLiteral("--page-size"), 1, 1024);
        if (page & (page - 1))
            usage(QStringLiteral("--page-size must be a power of two from 1 to 1024: \"%1\"").arg(*p));
    }

    ConfigSettings &s = ConfigSettings::of(ctx.session);
    CtrlInfoDevice device = CtrlInfoDevice::None;
    if (const auto d = a.option("--device")) {
        device = ctrlInfoDeviceFrom(1 + choose(*d, QStringLiteral("--device"), kMemories));
    } else {
        QString error;
        device = LocateCtrlInfo(ctx.commands, error);
        if (device == CtrlInfoDevice::None) {
            code = ctx.failed(error);
            return std::nullopt;
        }
        printError(QStringLiteral("Ctrl info device: %1").arg(ctrlInfoDeviceText(device)));
    }
    model = s.chooseDevice(device);
    if (modelOption) {
        model = modelByName(device, *modelOption);
        if (model < 0) {
            QStringList names;
            for (int i = 1; i <= modelCount(device); ++i)
                names << modelName(device, i).section(' ', 0, 0);
            usage(QStringLiteral("--model must be one of %1 for the %2: \"%3\"")
                      .arg(names.join('|'), ctrlInfoDeviceText(device), *modelOption));
        }
        s.chooseModel(model);
    } else if (sizeIndex >= 0) {
        model = s.chooseSize(sizeIndex);
    } else if (device == CtrlInfoDevice::SpiFlash) {
        QString error;
        model = CheckFlashType(ctx.commands, error);
        if (model < 0) {
            code = ctx.failed(error);
            return std::nullopt;
        }
        printError(QStringLiteral("Flash: %1 bytes, %2").arg(s.deviceSize()).arg(modelName(device, model)));
    }
    if (page > 0)
        s.setPageSize(page);
    return DeviceSetup::from(s);
}

// Runs `then` on the memory the options name (see deviceSetup), or returns the failure.
int onDevice(Context &ctx, const Args &a, const std::function<int(const DeviceSetup &, int model)> &then)
{
    int model = 0, code = kFailed;
    const auto setup = deviceSetup(ctx, a, model, code);
    return setup ? then(*setup, model) : code;
}

// Runs a procedure with a progress line; its messages go to stderr on lines of their own.
int run(Context &ctx, const QString &what, const std::function<Outcome(DeviceTransfer &)> &procedure)
{
    ProgressLine line(what);
    const Report report = ctx.report(line);
    DeviceTransfer transfer(ctx.commands, report);
    const Outcome outcome = procedure(transfer);
    line.finish();
    return ctx.ended(outcome);
}

int flashSize(Context &ctx, const Args &)
{
    uint32_t kilobits = 0;
    if (const uint8_t r = ctx.commands.getFlashSize(kilobits))
        return ctx.failed(r);
    if (kilobits == 0) {
        printError(QString::fromLatin1(msg::kUnknowFlashType));
        return kFailed;
    }
    const uint32_t bytes = kilobits / 8 * 1024;
    const int model = modelForSize(CtrlInfoDevice::SpiFlash, bytes);
    print(QStringLiteral("%1 bytes, %2").arg(bytes).arg(modelName(CtrlInfoDevice::SpiFlash, model)));
    return kOk;
}

int eraseSector(Context &ctx, const Args &a)
{
    const uint32_t address = toHex(a.positional[0], QStringLiteral("ADDR"));
    const uint8_t r = ctx.commands.eraseFlashSector(address);
    return r ? ctx.failed(r) : kOk;
}

// A question on the terminal; true for an answer of y or yes.
bool confirmed(const QString &question)
{
    std::fprintf(stderr, "zmctl: %s [y/N] ", qPrintable(question));
    std::fflush(stderr);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return a == QLatin1String("y") || a == QLatin1String("yes");
}

int eraseChip(Context &ctx, const Args &a)
{
    // It wipes what the chip starts from: asked on a terminal, and a script says so itself.
    const QString question = QString::fromLatin1(msg::kEraseWholeFlashQuestion);
    if (!a.flag("--yes")) {
        if (!::isatty(STDIN_FILENO))
            usage(QStringLiteral("erase-chip erases the whole SPI flash, the control info and the logo included; "
                                 "give --yes to erase it without a question"));
        if (!confirmed(question)) {
            printError(QStringLiteral("Nothing was erased."));
            return kFailed;
        }
    }
    if (::isatty(STDERR_FILENO))
        printError(QStringLiteral("%1 (the chip has up to %2 ms)")
                       .arg(QString::fromLatin1(msg::kWaitForErase))
                       .arg(LinkSettings::kEraseTimeoutMs));
    const uint8_t r = ctx.commands.flashChipErase();
    return r ? ctx.failed(r) : kOk;
}

int upload(Context &ctx, const Args &a)
{
    UploadOptions o;
    o.path = a.positional[0];
    const int amounts = int(a.flag("--ctrl-info")) + int(a.flag("--whole")) + int(a.option("--size").has_value());
    if (amounts > 1)
        usage(QStringLiteral("give one of --ctrl-info, --whole and --size N"));
    if (a.flag("--whole"))
        o.amount = UploadAmount::WholeDevice;
    if (const auto size = a.option("--size")) {
        o.amount = UploadAmount::GivenSize;
        o.givenSize = uint32_t(toInt(*size, QStringLiteral("--size"), 1, 1024 * 1024));
    }
    // Where the copy cannot be written, say so before the chip is asked for it.
    checkTarget(o.path);
    return onDevice(ctx, a, [&](const DeviceSetup &setup, int) {
        return run(ctx, QStringLiteral("upload"), [&](DeviceTransfer &t) { return t.upload(setup, o); });
    });
}

int download(Context &ctx, const Args &a)
{
    const QString path = a.positional[0];
    checkSource(path);
    return onDevice(ctx, a, [&](const DeviceSetup &setup, int model) {
        if (model == 0) {
            printError(QStringLiteral("%1: %2 bytes is not the size of an %3 model; give --model NAME or the "
                                      "--device-size of a model")
                           .arg(QString::fromLatin1(msg::kSelectDeviceSize))
                           .arg(setup.size)
                           .arg(ctrlInfoDeviceText(setup.device)));
            return kFailed;
        }
        return run(ctx, QStringLiteral("download"), [&](DeviceTransfer &t) { return t.download(setup, path); });
    });
}

int verify(Context &ctx, const Args &a)
{
    const QString path = a.positional[0];
    checkSource(path);
    return onDevice(ctx, a, [&](const DeviceSetup &setup, int) {
        VerifyResult result;
        const int status = run(ctx, QStringLiteral("verify"), [&](DeviceTransfer &t) { return t.verify(setup, path, result); });
        if (status != kOk)
            return status;
        if (result.differing == 0) {
            print(QStringLiteral("%1 matches the %2: %3").arg(path, ctrlInfoDeviceText(setup.device), bytesCount(result.compared)));
            return kOk;
        }
        print(QStringLiteral("First difference at 0x%1; %2 of %3 differ")
                  .arg(QString::number(result.firstDifference, 16).toUpper().rightJustified(4, QChar('0')))
                  .arg(bytesCount(result.differing))
                  .arg(result.compared));
        return kFailed;
    });
}

} // namespace

void addToolsCommands(Table &table)
{
    const QList<Option> uploadOptions = QList<Option>{{"--ctrl-info", {}, "the control info: its data length (default)"},
                                                      {"--whole", {}, "the whole memory"},
                                                      {"--size", "N", "the first N bytes"}}
                                        + kDeviceOptions;
    table.commands << Command{"flash-size", "flash-size",
                              "prints the SPI flash's size in bytes and its model, e.g.\n"
                              "524288 bytes, AT25F4096A (512 KB)",
                              "zmctl --port /dev/ttyUSB0 flash-size", 0, 0, {}, flashSize}
                   << Command{"erase-sector", "erase-sector ADDR", "erases the SPI flash sector at ADDR",
                              "zmctl --port /dev/ttyUSB0 erase-sector 0x1F000", 1, 1, {}, eraseSector}
                   << Command{"erase-chip", "erase-chip [--yes]",
                              "erases the whole SPI flash, control info and logo included; waits up to\n"
                              "10000 ms. Asks first on a terminal; a script gives --yes",
                              "zmctl --port /dev/ttyUSB0 erase-chip --yes", 0, 0,
                              {{"--yes", {}, "erases without asking"}}, eraseChip}
                   << Command{"upload", "upload FILE [--ctrl-info | --whole | --size N]",
                              "copies the control info (default), the whole memory or its first N bytes\n"
                              "into FILE (- is standard output), which is replaced only when every byte\n"
                              "has been read; a failed upload keeps what it read in FILE.partial, a\n"
                              "successful one removes an earlier FILE.partial",
                              "zmctl --port /dev/ttyUSB0 upload ctrlinfo.bin", 1, 1, uploadOptions, upload}
                   << Command{"download", "download FILE",
                              "writes FILE into the memory, each piece read back and written again when it\n"
                              "differs (3 attempts); the SPI flash is erased first",
                              "zmctl --port /dev/ttyUSB0 download ctrlinfo.bin --model 24C512", 1, 1, kDeviceOptions,
                              download}
                   << Command{"verify", "verify FILE",
                              "compares FILE with the memory without writing; prints the first differing\n"
                              "address and how many bytes differ (exit 1 when any do)",
                              "zmctl --port /dev/ttyUSB0 verify ctrlinfo.bin", 1, 1, kDeviceOptions, verify};
    table.notes << QStringLiteral(
        "upload, download and verify work on the memory that holds the control info. They take:\n"
        "  --device i2c-eeprom|spi-eeprom|spi-flash   the memory; without it the control info is\n"
        "                                   located first and the memory found is named\n"
        "  --model NAME                     a model's first word (24C512, AT25128A, AT25F4096A ...):\n"
        "                                   its size and, for the SPI memories, its page size\n"
        "  --device-size N                  the size in bytes, 64 x 2^k (the model of that size follows)\n"
        "  --page-size N                    the page size, a power of two from 1 to 1024\n"
        "Without --model and --device-size the size is 65536 bytes, or for the SPI flash what the\n"
        "flash reports. A download needs a size that is a model's.");
}

} // namespace zm::cli
