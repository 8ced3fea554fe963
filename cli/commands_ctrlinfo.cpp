// zmctl: the control info's memory and the link set-up: locate, set-serial, set-baud; and the
// inspector of control-info dumps, which needs no chip: ctrlinfo-show, ctrlinfo-diff.

#include "cli/cli.h"
#include "ctrlinfo/ctrl_info.h"
#include "ctrlinfo/ctrl_info_dump.h"
#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "features/image_property.h"
#include "protocol/hex_text.h"

#include <optional>
#include <utility>

namespace zm::cli {

namespace {

const QStringList kBaudPorts = {"mcu", "huart", "spi"};
const QStringList kClocks = {"27m", "36m"};

int locate(Context &ctx, const Args &)
{
    QString error;
    const CtrlInfoDevice device = LocateCtrlInfo(ctx.commands, error);
    if (device == CtrlInfoDevice::None)
        return ctx.failed(error);
    print(ctrlInfoDeviceText(device));
    return kOk;
}

int setSerial(Context &ctx, const Args &a)
{
    const int serial = toInt(a.positional[0], QStringLiteral("N"), 0, 255);
    if (const uint8_t r = ctx.commands.setSerialNumber(uint8_t(serial)))
        return ctx.failed(r);
    printError(QStringLiteral("The chip now answers to serial number %1; give --serial %1 from now on.").arg(serial));
    return kOk;
}

// The index of a rate in a list of rate texts, or a usage error that lists them.
int rateIndex(const QString &text, const QStringList &rates)
{
    const int i = int(rates.indexOf(text));
    if (i < 0)
        usage(QStringLiteral("--rate must be one of %1: \"%2\"").arg(rates.join('|'), text));
    return i;
}

int setBaud(Context &ctx, const Args &a)
{
    const int port = choose(a.positional[0], QStringLiteral("the port"), kBaudPorts);
    const auto clockText = a.option("--clock");
    const int clock = choose(clockText.value_or(QStringLiteral("27M")), QStringLiteral("--clock"), kClocks);
    const auto rate = a.option("--rate");
    const auto index = a.option("--rate-index");
    uint8_t r = 0;
    switch (port) {
    case 0: {
        if (!rate || index)
            usage(QStringLiteral("set-baud mcu takes --rate R (%1) and --clock 27M|36M").arg(mcuBaudTexts().join('|')));
        const uint16_t value = mcuUartValue(clock, rateIndex(*rate, mcuBaudTexts()));
        r = ctx.commands.setBaudRateMcuUart(value);
        if (!r)
            print(QStringLiteral("Value: %1").arg(formatHex(value, 4)));
        break;
    }
    case 1: {
        // The high-speed UART runs from 27 MHz whatever the other clocks are.
        if (!rate || index || clockText)
            usage(QStringLiteral("set-baud huart takes --rate R (%1) only").arg(highSpeedBaudTexts().join('|')));
        const HighSpeedDivisor d = highSpeedDivisor(rateIndex(*rate, highSpeedBaudTexts()));
        r = ctx.commands.setBaudRateHuart(d.frac, d.inter);
        if (!r)
            print(QStringLiteral("Frac: %1 Inter: %2").arg(formatHex(d.frac, 4), formatHex(d.inter, 4)));
        break;
    }
    default: {
        if (!index || rate)
            usage(QStringLiteral("set-baud spi takes --rate-index I (0 for clock / 128 .. 6 for clock / 2) and "
                                 "--clock 27M|36M"));
        const int i = toInt(*index, QStringLiteral("--rate-index"), 0, kSpiRateCount - 1);
        const uint16_t divider = spiDivider(clock, i);
        r = ctx.commands.setBaudRateSpi(divider, kSpiSs);
        if (!r)
            print(QStringLiteral("Divider: %1 SS: %2 (%3)")
                      .arg(formatHex(divider, 4), formatHex(kSpiSs, 4), spiRateTexts(clock).at(i)));
        break;
    }
    }
    return r ? ctx.failed(r) : kOk;
}

QString hex4(uint16_t v)
{
    return QStringLiteral("0x") + formatHex(v, 4);
}

// A dump that passed every check, or the failure: a missing file is a usage error (as for
// verify), a file that is not a dump exits 1 with the check that failed.
std::optional<CtrlInfoDump> loadDump(Context &ctx, const QString &path, int &code)
{
    CtrlInfoDump dump;
    QString why;
    const DumpCheck check = loadCtrlInfoDump(path, dump, why);
    if (check == DumpCheck::Passed)
        return dump;
    code = ctx.failed(check == DumpCheck::Unreadable ? QStringLiteral("%1: %2").arg(path, why)
                                                     : QStringLiteral("%1: not a control-info dump; %2").arg(path, why));
    return std::nullopt;
}

QString signatureText(uint16_t signature)
{
    const QString memory = signature == ctrlInfoSignature(CtrlInfoDevice::SpiFlash)
        ? ctrlInfoDeviceText(CtrlInfoDevice::SpiFlash)
        : ctrlInfoDeviceText(CtrlInfoDevice::I2cEeprom) + " or " + ctrlInfoDeviceText(CtrlInfoDevice::SpiEeprom);
    return QString::asprintf("%04X (", signature) + memory + ')';
}

QString fileText(const QString &path, const CtrlInfoDump &d)
{
    QString text = QStringLiteral("%1, %2").arg(path, bytesCount(d.fileSize));
    if (d.fileSize > d.dataLength)
        text += QStringLiteral(" (%1 after the control info)").arg(d.fileSize - d.dataLength);
    return text;
}

QString sectionLead(int n)
{
    return QString::asprintf("%2d  %-17s ", n, ctrlInfoSectionName(CtrlInfoSection(n)));
}

// The picture controls the chip starts with: the record's bytes with what they mean, as the
// image-property window labels them, and which of them the base block enables.
void printImageProperty(const CtrlInfoDump &d)
{
    const DumpSection &s = d.section(CtrlInfoSection::ImageProperty);
    const auto record = d.imageProperty();
    if (!s.present()) {
        print(QStringLiteral("Image Property: absent"));
    } else if (!record) {
        print(QStringLiteral("Image Property at %1: cut short by the data length (%2 of %3 bytes), not decoded")
                  .arg(hex4(s.address))
                  .arg(d.dataLength - s.address)
                  .arg(kImagePropertyLength));
    } else {
        const auto &r = *record;
        print(QStringLiteral("Image Property at %1:").arg(hex4(s.address)));
        print(QStringLiteral("  Brightness    ") + picture::brightnessLabel(picture::brightnessValue(r[0])));
        print(QStringLiteral("  Contrast      ") + picture::contrastLabel(r[1]));
        print(QStringLiteral("  Off contrast  ") + picture::offContrastLabel(r[2]));
        // Not hueLabel: it re-encodes the value, and bits 5-6 of a damaged byte would not show.
        print(QStringLiteral("  Hue           ") + QString::asprintf("(0x%02X), %3d", r[3], picture::hueValue(r[3])));
        print(QStringLiteral("  Saturation    ") + picture::saturationLabel(r[4]));
    }
    const uint8_t bits = d.ispWord3Low();
    QStringList enabled;
    for (const auto &[bit, name] : {std::pair{picture::kEnContrast, "contrast"}, {picture::kEnBrightness, "brightness"},
                                    {picture::kEnHue, "hue"}, {picture::kEnSaturation, "saturation"}})
        if (bits & bit)
            enabled << QString::fromLatin1(name);
    print(QStringLiteral("Enabled at start (offset %1 = 0x%2): %3")
              .arg(kIspWord3LowOffset)
              .arg(formatHex(bits, 2), enabled.isEmpty() ? QStringLiteral("none") : enabled.join(", ")));
}

int ctrlInfoShow(Context &ctx, const Args &a)
{
    const QString path = a.positional[0];
    checkSource(path);
    int code = kFailed;
    const auto dump = loadDump(ctx, path, code);
    if (!dump)
        return code;
    const CtrlInfoDump &d = *dump;
    print(QStringLiteral("File:             ") + fileText(path, d));
    print(QStringLiteral("Signature:        ") + signatureText(d.signature));
    print(QStringLiteral("Data length:      %1 (%2)").arg(hex4(d.dataLength), bytesCount(d.dataLength)));
    print(QStringLiteral("Extension table:  ") + (d.tableAddress ? hex4(d.tableAddress) : QStringLiteral("none (no records)")));
    print(QStringLiteral("Section               Address   Size"));
    for (int n = 0; n < kExternTableEntries; ++n) {
        const DumpSection &s = d.sections[size_t(n)];
        print(sectionLead(n) + (s.present() ? QString::asprintf("%-7s %6d", qPrintable(hex4(s.address)), s.size)
                                            : QStringLiteral("absent")));
    }
    printImageProperty(d);
    return kOk;
}

// "+0x0003 +0x0004 (2 bytes)", the first offsets and how many differ in all.
QString offsetsText(const RangeDiff &r, const QString &lead)
{
    QStringList at;
    for (const uint16_t o : r.first)
        at << lead + hex4(o);
    if (r.differing > int(r.first.size()))
        at << QStringLiteral("...");
    return QStringLiteral("%1 (%2)").arg(at.join(' '), bytesCount(r.differing));
}

// "same", "absent", "only in A (at 0x0070, size 64)", "differs: at +0x0000 +0x0004 (2 bytes)"
QString verdict(const SectionDiff &d)
{
    if (!d.a.present() && !d.b.present())
        return QStringLiteral("absent");
    if (d.a.present() != d.b.present()) {
        const DumpSection &s = d.a.present() ? d.a : d.b;
        return QStringLiteral("only in %1 (at %2, size %3)").arg(d.a.present() ? "A" : "B", hex4(s.address)).arg(s.size);
    }
    QStringList parts;
    if (d.moved())
        parts << QStringLiteral("moved from %1 in A to %2 in B").arg(hex4(d.a.address), hex4(d.b.address));
    if (d.a.size != d.b.size)
        parts << QStringLiteral("size %1 in A, %2 in B").arg(d.a.size).arg(d.b.size);
    if (d.bytes.differing > 0)
        parts << QStringLiteral("at ") + offsetsText(d.bytes, QStringLiteral("+"));
    if (!d.differs())
        return parts.isEmpty() ? QStringLiteral("same") : QStringLiteral("same, ") + parts.join(QStringLiteral("; "));
    return QStringLiteral("differs: ") + parts.join(QStringLiteral("; "));
}

int ctrlInfoDiff(Context &ctx, const Args &a)
{
    const QString pathA = a.positional[0], pathB = a.positional[1];
    checkSource(pathA, QStringLiteral("A"));
    checkSource(pathB, QStringLiteral("B"));
    int code = kFailed;
    const auto dumpA = loadDump(ctx, pathA, code);
    if (!dumpA)
        return code;
    const auto dumpB = loadDump(ctx, pathB, code);
    if (!dumpB)
        return code;
    const CtrlInfoDiff d = diffCtrlInfo(*dumpA, *dumpB);
    QStringList differing;
    print(QStringLiteral("A: %1, data length %2").arg(fileText(pathA, *dumpA), hex4(dumpA->dataLength)));
    print(QStringLiteral("B: %1, data length %2").arg(fileText(pathB, *dumpB), hex4(dumpB->dataLength)));

    if (d.baseBlock.empty()) {
        print(QStringLiteral("Base block: same"));
    } else {
        differing << QStringLiteral("base block");
        print(QStringLiteral("Base block: differs in %1").arg(bytesCount(qint64(d.baseBlock.size()))));
        print(QStringLiteral("  Offset  A   B"));
        for (const ByteDiff &b : d.baseBlock)
            print(QString::asprintf("  %-6s  %02X  %02X", qPrintable(hex4(b.offset)), b.a, b.b));
    }
    if (d.table.differs())
        differing << QStringLiteral("extension table");
    print(QStringLiteral("Extension table: ") + verdict(d.table));
    print(QStringLiteral("Section"));
    for (int n = 0; n < kExternTableEntries; ++n) {
        const SectionDiff &s = d.sections[size_t(n)];
        if (s.differs())
            differing << QString::fromLatin1(ctrlInfoSectionName(CtrlInfoSection(n)));
        print(sectionLead(n) + verdict(s));
    }
    if (d.other.differing > 0)
        differing << QStringLiteral("other bytes");
    print(QStringLiteral("Other bytes: ")
          + (d.other.differing ? QStringLiteral("differ at ") + offsetsText(d.other, QString()) : QStringLiteral("same")));
    if (d.same) {
        print(QStringLiteral("The control info is the same."));
        return kOk;
    }
    print(QStringLiteral("The control info differs: %1.").arg(differing.join(QStringLiteral(", "))));
    return kFailed;
}

} // namespace

void addCtrlInfoCommands(Table &table)
{
    QStringList spiIndexes;
    for (int i = 0; i < kSpiRateCount; ++i)
        spiIndexes << QString::number(i);
    Command setBaudCommand{
        "set-baud", "set-baud mcu|huart|spi ...",
        "sets a port's bit rate as the Configuration window does:\n"
        "set-baud mcu --rate 9600|19200|38400|57600|115200 [--clock 27M|36M]\n"
        "set-baud huart --rate 38400|57600|115200|460800|921600\n"
        "set-baud spi --rate-index 0..6 [--clock 27M|36M]  (clock / 128 .. clock / 2)\n"
        "prints the divisor sent; a new rate of this PC's UART needs --baud next time",
        "zmctl --port /dev/ttyUSB0 set-baud mcu --rate 115200 --clock 27M", 1, 1,
        {{"--clock", "CLOCK", "the UART or SPI clock (default 27M)", {"27M", "36M"}},
         {"--rate", "R", "the bit rate of the MCU UART or the high-speed UART"},
         {"--rate-index", "I", "the SPI rate: 0 for clock / 128 .. 6 for clock / 2", spiIndexes}},
        setBaud};
    setBaudCommand.choices << Choice{"--rate", mcuBaudTexts(), "mcu"}
                           << Choice{"--rate", highSpeedBaudTexts(), "huart"};
    table.commands << Command{"locate", "locate",
                              "finds the memory that holds the control info by its signature; prints\n"
                              "\"I2C E2prom\", \"SPI E2prom\" or \"SPI Flash\"",
                              "zmctl --port /dev/ttyUSB0 locate", 0, 0, {}, locate}
                   << Command{"set-serial", "set-serial N",
                              "gives the chip the serial number N (0..255); later runs need --serial N",
                              "zmctl --port /dev/ttyUSB0 set-serial 3", 1, 1, {}, setSerial}
                   << setBaudCommand
                   << Command{"ctrlinfo-show", "ctrlinfo-show FILE",
                              "takes apart a control-info dump (what upload writes; needs no port): the\n"
                              "signature, data length, extension table, each of the 21 sections' address\n"
                              "and size, and the Image Property record decoded. A file that is not a dump\n"
                              "exits 1 with the check it failed",
                              "zmctl ctrlinfo-show ctrlinfo.bin", 1, 1, {}, ctrlInfoShow, false}
                   << Command{"ctrlinfo-diff", "ctrlinfo-diff A B",
                              "compares two control-info dumps (needs no port): the base block byte by\n"
                              "byte (offset, A, B), then each section: same, or its first 8 differing\n"
                              "offsets. Only the control info counts, not bytes after its data length.\n"
                              "Exit 0 the same, 1 different or not a dump, 2 usage",
                              "zmctl ctrlinfo-diff before.bin after.bin", 2, 2, {}, ctrlInfoDiff, false};
}

} // namespace zm::cli
