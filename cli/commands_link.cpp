// zmctl: version, reset, and the reads and writes of registers and memories.

#include "cli/cli.h"
#include "link/file_writer.h"
#include "protocol/hex_text.h"
#include "link/input_file.h"
#include "link/messages.h"
#include "link/system_ports.h"

#include <algorithm>
#include <vector>

namespace zm::cli {

namespace {

QString memoryName(uint8_t type)
{
    static const char *names[] = {"?", "chip", "sensor", "ccir656", "i2c-eeprom", "spi-eeprom", "spi-flash"};
    return QString::fromLatin1(type <= 6 ? names[type] : "?");
}

// The most one load writes: eight times the largest memory the tool knows, and what a pipe that
// does not end may cost in memory.
constexpr qint64 kMaxLoad = 4 * 1024 * 1024;

QString at(uint32_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(4, QChar('0'));
}

// One past the last address the frames of a memory type can carry; 0 for a type the chip does
// not know (its frames are refused when built).
uint64_t addressEnd(uint8_t type)
{
    if (type >= 1 && type <= 5)
        return 0x10000;
    return type == 6 ? 0x100000000ull : 0;
}

// Refuses a range the frames cannot address before anything is sent.
void checkRange(uint8_t type, uint32_t address, qint64 length)
{
    const uint64_t end = addressEnd(type);
    if (end == 0 || length <= 0)
        return;
    if (uint64_t(address) + uint64_t(length) > end)
        usage(QStringLiteral("%1 from %2 go past 0x%3, the last address of %4")
                  .arg(bytesCount(length), at(address), QString::number(end - 1, 16).toUpper(), memoryName(type)));
}

bool carriesWidth(uint8_t type)
{
    return type == 2 || type == 3;
}

uint8_t widthOption(const Args &a, uint8_t type)
{
    const auto w = a.option("--width");
    if (!w)
        return 1;
    if (!carriesWidth(type))
        usage(QStringLiteral("--width applies to sensor and ccir656 registers only: the frames of %1 carry no item "
                             "width")
                  .arg(memoryName(type)));
    return uint8_t(toInt(*w, QStringLiteral("--width"), 1, 3));
}

void checkBlockMemory(uint8_t type)
{
    if (type != 1 && type != 4 && type != 5 && type != 6)
        usage(QStringLiteral("dump and load work on chip, i2c-eeprom, spi-eeprom and spi-flash"));
}

// A run of bytes as block descriptors of at most 32 KiB each.
std::vector<BlockDescriptor> blocksFor(uint8_t type, uint32_t address, QByteArray &bytes)
{
    std::vector<BlockDescriptor> blocks;
    constexpr qsizetype kMaxBlock = 32768;
    for (qsizetype off = 0; off < bytes.size(); off += kMaxBlock) {
        BlockDescriptor d;
        d.type = type;
        d.address = address + uint32_t(off);
        d.length = uint16_t(std::min(kMaxBlock, bytes.size() - off));
        d.data = reinterpret_cast<uint8_t *>(bytes.data()) + off;
        blocks.push_back(d);
    }
    return blocks;
}

int version(Context &ctx, const Args &)
{
    QByteArray text;
    const uint8_t r = ctx.commands.getVersion(text);
    if (r)
        return ctx.failed(r);
    print(QString::fromLatin1(msg::kVersionFormat).arg(QString::fromLatin1(text)));
    return kOk;
}

int reset(Context &ctx, const Args &)
{
    const uint8_t r = ctx.commands.systemReset();
    return r ? ctx.failed(r) : kOk;
}

int read(Context &ctx, const Args &a)
{
    TransferRecord t;
    t.type = toMemory(a.positional[0]);
    t.address = toHex(a.positional[1], QStringLiteral("ADDR"));
    t.count = uint8_t(a.positional.size() > 2 ? toInt(a.positional[2], QStringLiteral("COUNT"), 1, 16) : 1);
    t.width = widthOption(a, t.type);
    if (t.bytes() > kMaxData)
        usage(QStringLiteral("one read moves at most 16 bytes (COUNT x W)"));
    checkRange(t.type, t.address, t.count);
    const uint8_t r = ctx.commands.readData(t);
    if (r)
        return ctx.failed(r);
    print(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), t.bytes())));
    return kOk;
}

int write(Context &ctx, const Args &a)
{
    TransferRecord t;
    t.type = toMemory(a.positional[0]);
    t.address = toHex(a.positional[1], QStringLiteral("ADDR"));
    t.width = widthOption(a, t.type);
    const QByteArray data = toBytes(a.positional[2]);
    if (data.size() % t.width)
        usage(QStringLiteral("HEX holds %1, not a whole number of items of %2")
                  .arg(bytesCount(data.size()), bytesCount(t.width)));
    const int capacity = frames::writeCapacity(t.type);
    if (capacity && data.size() > capacity)
        usage(QStringLiteral("at most %1 of data fit one write to %2").arg(bytesCount(capacity), memoryName(t.type)));
    if (data.size() > kMaxData)
        usage(QStringLiteral("one write carries at most %1").arg(bytesCount(kMaxData)));
    t.count = uint8_t(data.size() / t.width);
    checkRange(t.type, t.address, t.count);
    std::copy(data.begin(), data.end(), t.data.begin());
    const uint8_t r = ctx.commands.writeData(t);
    return r ? ctx.failed(r) : kOk;
}

int dump(Context &ctx, const Args &a)
{
    const uint8_t type = toMemory(a.positional[0]);
    checkBlockMemory(type);
    const uint32_t address = toHex(a.positional[1], QStringLiteral("ADDR"));
    const int length = toInt(a.positional[2], QStringLiteral("LENGTH"), 1, 64 * 1024 * 1024);
    checkRange(type, address, length);
    const auto out = a.option("-o");
    // Opened first: finding out after a long read that the target cannot be written wastes it. A
    // file is replaced only when every byte has been read and is on the disk; "-", a pipe or a
    // device gets the bytes as a stream.
    FileWriter file;
    if (out && !file.open(*out, FileWriter::Mode::Replace, ctx.stop)) {
        if (ctx.stopRequested())
            return ctx.interrupted();
        usage(QStringLiteral("cannot write %1").arg(file.errorString()));
    }
    QByteArray bytes(length, '\0');
    auto blocks = blocksFor(type, address, bytes);
    ProgressLine line(QStringLiteral("dump"));
    const Report report = ctx.report(line);
    uint32_t stoppedAt = address;
    const uint8_t r = ctx.commands.blockRead(blocks.data(), int(blocks.size()), &report, &stoppedAt);
    line.finish();
    if (r) {
        const int code = ctx.failed(r);
        printError(QStringLiteral("The dump stopped at %1 after %2%3.")
                       .arg(at(stoppedAt), bytesCount(stoppedAt - address),
                            out ? QStringLiteral("; %1 was not written").arg(*out) : QString()));
        return code;
    }
    if (out) {
        if (!file.write(bytes) || !file.commit()) {
            printError(QStringLiteral("Cannot write %1; %2").arg(file.errorString(),
                                                                 file.isStream() ? QStringLiteral("the dump is incomplete")
                                                                                 : QStringLiteral("an earlier file is as it was")));
            return kFailed;
        }
        return kOk;
    }
    for (qsizetype off = 0; off < bytes.size(); off += 16)
        print(toHexText(bytes.mid(off, 16)));
    return kOk;
}

// Writes, reads back and compares; a piece that differs is written again, up to `attempts` times
// in all. Returns 0, a command's result, or 243 with `badAddress` when a difference stays.
uint8_t writeVerified(Context &ctx, uint8_t type, uint32_t address, QByteArray &bytes, bool verify,
                      const Report &report, uint32_t &stoppedAt, uint32_t &badAddress)
{
    constexpr int kAttempts = 3;
    // Runs still to write, as (offset, length) within the file.
    std::vector<std::pair<qsizetype, qsizetype>> runs{{0, bytes.size()}};
    for (int attempt = 1;; ++attempt) {
        for (const auto &[off, len] : runs) {
            QByteArray part = bytes.mid(off, len);
            auto blocks = blocksFor(type, address + uint32_t(off), part);
            if (const uint8_t r = ctx.commands.blockWrite(blocks.data(), int(blocks.size()), &report, &stoppedAt))
                return r;
        }
        if (!verify)
            return 0;
        std::vector<std::pair<qsizetype, qsizetype>> differing;
        for (const auto &[off, len] : runs) {
            QByteArray back(len, '\0');
            auto blocks = blocksFor(type, address + uint32_t(off), back);
            if (const uint8_t r = ctx.commands.blockRead(blocks.data(), int(blocks.size()), &report, &stoppedAt))
                return r;
            // Differences are written again in the pieces the block write uses.
            for (qsizetype i = 0; i < len; i += Commands::kBlockPiece) {
                const qsizetype n = std::min<qsizetype>(Commands::kBlockPiece, len - i);
                if (back.mid(i, n) != bytes.mid(off + i, n)) {
                    if (!differing.empty() && differing.back().first + differing.back().second == off + i)
                        differing.back().second += n;
                    else
                        differing.push_back({off + i, n});
                    if (attempt == kAttempts) {
                        for (qsizetype j = i; j < i + n; ++j)
                            if (back[j] != bytes[off + j]) {
                                badAddress = address + uint32_t(off + j);
                                break;
                            }
                        return rc::InvalidReceivedData;
                    }
                }
            }
        }
        if (differing.empty())
            return 0;
        runs = differing;
    }
}

int load(Context &ctx, const Args &a)
{
    const uint8_t type = toMemory(a.positional[0]);
    checkBlockMemory(type);
    const uint32_t address = toHex(a.positional[1], QStringLiteral("ADDR"));
    const int page = toInt(a.option("--page-size").value_or("256"), QStringLiteral("--page-size"), 1, 65536);
    if (page & (page - 1))
        usage(QStringLiteral("--page-size must be a power of two"));
    // Never more than the memory can take from ADDR on: a longer file, /dev/zero or a pipe that
    // does not end is refused after reading one byte past that.
    const qint64 reach = std::min<qint64>(kMaxLoad, qint64(addressEnd(type)) - qint64(address));
    const InputFile in = InputFile::read(a.positional[2], std::max<qint64>(reach, 0), InputFile::Streams, ctx.stop);
    if (in.status == InputFile::Status::Stopped)
        return ctx.interrupted();
    if (in.status == InputFile::Status::TooLong)
        usage(QStringLiteral("%1 from %2 on%3").arg(in.error, at(address),
                                                    reach == kMaxLoad ? QStringLiteral(" (one load writes at most %1)").arg(bytesCount(kMaxLoad))
                                                                      : QStringLiteral(", up to the last address of %1").arg(memoryName(type))));
    if (!in.ok()) {
        printError(QStringLiteral("Cannot read %1").arg(in.error));
        return kFailed;
    }
    QByteArray bytes = in.data;
    if (bytes.isEmpty()) {
        printError(QStringLiteral("%1 is empty; nothing to load").arg(a.positional[2]));
        return kFailed;
    }
    checkRange(type, address, bytes.size());
    ctx.session.updateSettings([page](LinkSettings &s) { s.pageSize = page; });
    ProgressLine line(QStringLiteral("load"));
    const Report report = ctx.report(line);
    uint32_t stoppedAt = address, badAddress = 0;
    const uint8_t r = writeVerified(ctx, type, address, bytes, !a.flag("--no-verify"), report, stoppedAt, badAddress);
    line.finish();
    if (r == rc::InvalidReceivedData && badAddress) {
        printError(QStringLiteral("Verify failed: %1 still reads back differently after 3 writes.").arg(at(badAddress)));
        return kFailed;
    }
    if (r) {
        const int code = ctx.failed(r);
        printError(QStringLiteral("The load stopped at %1.").arg(at(stoppedAt)));
        return code;
    }
    return kOk;
}

int rawCommand(Context &ctx, const Args &a)
{
    const uint32_t code = toHex(a.positional[0], QStringLiteral("CODE"), 0xFF);
    const QByteArray data = a.positional.size() > 1 ? toBytes(a.positional[1]) : QByteArray();
    if (data.size() > kMaxData)
        usage(QStringLiteral("a frame carries at most %1").arg(bytesCount(kMaxData)));
    AnswerRecord answer;
    const uint8_t r = ctx.commands.rawCommand(uint8_t(code), reinterpret_cast<const uint8_t *>(data.constData()),
                                              int(data.size()), answer);
    if (r)
        return ctx.failed(r);
    print(toHexText(QByteArray(reinterpret_cast<const char *>(answer.data.data()), answer.length)));
    return kOk;
}

// The ports of this system, the path first (what --port takes), then what names it for a person.
int ports(Context &, const Args &)
{
    const QList<SystemPort> list = systemPorts();
    if (list.isEmpty()) {
        printError(QStringLiteral("This system reports no serial ports; --port still takes a device path."));
        return kOk;
    }
    qsizetype width = 0;
    for (const SystemPort &p : list)
        width = std::max(width, p.path.size());
    for (const SystemPort &p : list) {
        QStringList names;
        if (const QString com = comNameOf(p.path); !com.isEmpty())
            names << com;
        if (const QString details = p.details(); !details.isEmpty())
            names << details;
        print(names.isEmpty() ? p.path : p.path.leftJustified(width) + QStringLiteral("  ") + names.join(QStringLiteral(", ")));
    }
    return kOk;
}

} // namespace

void addLinkCommands(Table &table)
{
    const Option width{"--width", "W", "bytes an item, 1..3 (sensor and ccir656 only)"};
    Command readCommand{"read", "read MEM ADDR [COUNT] [--width W]",
                        "reads COUNT items (default 1) of W bytes (default 1; sensor and ccir656\n"
                        "only); prints the bytes as upper-case hex pairs, one blank between",
                        "zmctl --port /dev/ttyUSB0 read chip 0x1A10 4", 2, 3, {width}, read};
    Command writeCommand{"write", "write MEM ADDR HEX [--width W]", "writes the data bytes HEX, e.g. 5A, \"12 34\" or 1234",
                         "zmctl --port /dev/ttyUSB0 write spi-flash 0x12345 5A", 3, 3, {width}, write};
    Command dumpCommand{"dump", "dump MEM ADDR LENGTH [-o FILE]",
                        "block read of LENGTH bytes; hex lines of 16 bytes, or the bytes into\n"
                        "FILE, which is replaced only when every byte has been read (- is\n"
                        "standard output; a pipe or a device is written as a stream)",
                        "zmctl --port /dev/ttyUSB0 dump i2c-eeprom 0 256 -o eeprom.bin", 3, 3,
                        {{"-o", "FILE", "the file the bytes go to (default: hex lines on stdout)"}}, dump};
    Command loadCommand{"load", "load MEM ADDR FILE [--page-size N] [--no-verify]",
                        "block write of the file's bytes; pieces never cross a page of N bytes\n"
                        "(default 256) on spi-eeprom and spi-flash. Reads the range back and\n"
                        "writes what differs again, up to 3 times; --no-verify skips that",
                        "zmctl --port /dev/ttyUSB0 load spi-eeprom 0 ctrlinfo.bin --page-size 64", 3, 3,
                        {{"--page-size", "N", "the memory's page size in bytes, a power of two (default 256)"},
                         {"--no-verify", {}, "writes without reading back"}},
                        load};
    for (Command *c : {&readCommand, &writeCommand, &dumpCommand, &loadCommand})
        c->choices << Choice{"MEM", memoryNames()};
    table.commands << Command{"version", "version", "prints Version:\"<text>\"", "zmctl --port /dev/ttyUSB0 version", 0, 0,
                              {}, version}
                   << Command{"reset", "reset", "system-reset", "zmctl --port /dev/ttyUSB0 reset", 0, 0, {}, reset}
                   << readCommand << writeCommand << dumpCommand << loadCommand
                   << Command{"cmd", "cmd CODE [HEX]", "any command code with raw data bytes; prints the answer's data as hex",
                              "zmctl --port /dev/ttyUSB0 cmd 0x43 00", 1, 2, {}, rawCommand}
                   << Command{"ports", "ports",
                              "lists the serial ports this system reports: the path (what --port takes),\n"
                              "then COMn for /dev/ttyS0..19 and the adapter, maker and serial number\n"
                              "as far as the system knows them; needs no port",
                              "zmctl ports", 0, 0, {}, ports, false};
    table.notes << QStringLiteral(
        "MEM is chip, sensor, ccir656, i2c-eeprom, spi-eeprom, spi-flash or a memory type number.\n"
        "ADDR, CODE and KEY are hexadecimal, with or without 0x; COUNT, LENGTH, W and N are decimal.\n"
        "Addresses of chip, sensor, ccir656 and the EEPROMs are 16 bits, of spi-flash 32 bits.\n"
        "dump and load work on chip, i2c-eeprom, spi-eeprom and spi-flash.");
}

} // namespace zm::cli
