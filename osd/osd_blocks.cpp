#include "osd/osd_blocks.h"

#include "protocol/hex_text.h"

#include <algorithm>

namespace zm::osd {

namespace {

// Where a register's byte lies in the bytes of a block's runs taken together.
int offsetOf(std::span<const RegisterRun> runs, uint16_t address)
{
    int offset = 0;
    for (const RegisterRun &run : runs) {
        if (address >= run.address && address < run.address + run.count)
            return offset + (address - run.address);
        offset += run.count;
    }
    return -1;
}

// The block's bytes, with room for all of them whatever the caller passed.
class Registers
{
public:
    Registers(std::span<const RegisterRun> runs, QByteArray bytes = {})
        : m_runs(runs)
        , m_bytes(std::move(bytes))
    {
        m_bytes.resize(runBytes(runs), '\0');
    }
    uint8_t get(uint16_t address) const { return uint8_t(m_bytes[offsetOf(m_runs, address)]); }
    void set(uint16_t address, int value) { m_bytes[offsetOf(m_runs, address)] = char(uint8_t(value)); }
    // 16-bit values of the OSD lie low byte first.
    uint16_t get16(uint16_t address) const { return uint16_t(get(address) | get(address + 1) << 8); }
    void set16(uint16_t address, uint16_t value)
    {
        set(address, value & 0xFF);
        set(address + 1, value >> 8);
    }
    const QByteArray &bytes() const { return m_bytes; }

private:
    std::span<const RegisterRun> m_runs;
    QByteArray m_bytes;
};

bool bit(int value, int n)
{
    return (value >> n) & 1;
}

QStringList stepLabels(int last, int step, const char *format)
{
    QStringList labels;
    for (int v = 0; v <= last; v += step)
        labels << QString::asprintf(format, v, v);
    return labels;
}

} // namespace

int runBytes(std::span<const RegisterRun> runs)
{
    int n = 0;
    for (const RegisterRun &r : runs)
        n += r.count;
    return n;
}

OsdControl OsdControl::fromBytes(const QByteArray &bytes)
{
    const Registers r(kRuns, bytes);
    OsdControl c;
    const uint8_t channels = r.get(0x2500), flicker = r.get(0x2501), logo = r.get(0x2502);
    for (int i = 0; i < 4; ++i) {
        c.enabled[i] = bit(channels, i);
        c.fieldMode[i] = bit(channels, 4 + i);
        c.flicker[i] = i != 2 && bit(flicker, i);
        c.afterScalar[i] = bit(flicker, 4 + i);
    }
    c.logoResolution = logo & 3;
    c.logoBitWidth = (logo >> 2) & 3;
    c.charFoil = bit(logo, 4);
    // Runs 2 to 5 hold the palette back to back from byte 3.
    const QByteArray &b = r.bytes();
    for (int n = 0; n < kPaletteSize; ++n)
        c.palette[n] = uint16_t(uint8_t(b[3 + 2 * n]) | uint8_t(b[4 + 2 * n]) << 8);
    return c;
}

QByteArray OsdControl::toBytes() const
{
    Registers r(kRuns);
    int channels = 0, flickers = 0;
    for (int i = 0; i < 4; ++i) {
        channels |= enabled[i] << i | fieldMode[i] << (4 + i);
        flickers |= (i != 2 && flicker[i]) << i | afterScalar[i] << (4 + i);
    }
    r.set(0x2500, channels);
    r.set(0x2501, flickers);
    r.set(0x2502, (logoResolution & 3) | (logoBitWidth & 3) << 2 | (charFoil ? 16 : 0));
    QByteArray bytes = r.bytes();
    for (int n = 0; n < kPaletteSize; ++n) {
        bytes[3 + 2 * n] = char(palette[n] & 0xFF);
        bytes[4 + 2 * n] = char(palette[n] >> 8);
    }
    return bytes;
}

CharChannel CharChannel::opening()
{
    CharChannel c;
    const uint16_t colors[kLines] = {0xE012, 0x94A2, 0x6B5D, 0x1FED};
    for (int n = 0; n < kLines; ++n) {
        c.lines[n].posY = 16 * n;
        c.lines[n].color = colors[n];
    }
    return c;
}

CharChannel CharChannel::fromBytes(const QByteArray &bytes)
{
    const Registers r(kRuns, bytes);
    CharChannel c;
    const uint8_t show = r.get(0x2535), steps = r.get(0x2536);
    for (int n = 0; n < kLines; ++n) {
        CharLine &l = c.lines[n];
        l.posX = r.get(0x2520 + 2 * n);
        l.posY = r.get(0x2521 + 2 * n);
        l.color = r.get16(0x252A + 2 * n);
        l.display = bit(show, n);
        l.flicker = bit(show, 4 + n);
        l.horStep = (steps >> (2 * n)) & 3;
        const uint8_t size = r.get(0x2537 + n);
        l.charSize = size & 1;
        l.charNumber = size >> 1;
    }
    c.alpha = r.get(0x2528);
    c.flickerFrequency = r.get(0x2529);
    c.background = r.get16(0x2532);
    c.foil = r.get16(0x253E);
    return c;
}

QByteArray CharChannel::toBytes() const
{
    Registers r(kRuns);
    int show = 0, steps = 0;
    for (int n = 0; n < kLines; ++n) {
        const CharLine &l = lines[n];
        r.set(0x2520 + 2 * n, l.posX);
        r.set(0x2521 + 2 * n, l.posY);
        r.set16(0x252A + 2 * n, l.color);
        show |= l.display << n | l.flicker << (4 + n);
        steps |= (l.horStep & 3) << (2 * n);
        r.set(0x2537 + n, (l.charSize & 1) | (l.charNumber & 0x7F) << 1);
    }
    r.set(0x2528, alpha);
    r.set(0x2529, flickerFrequency);
    r.set16(0x2532, background);
    r.set(0x2535, show);
    r.set(0x2536, steps);
    r.set16(0x253E, foil);
    return r.bytes();
}

QStringList CharChannel::posXLabels()
{
    return stepLabels(716, 4, "%03d (0x%03X)") + stepLabels(476, 4, "%03d (0x%03X)");
}

QStringList CharChannel::posYLabels()
{
    return stepLabels(716, 4, "%03d (0x%03X)");
}

QStringList CharChannel::alphaLabels()
{
    return posYLabels() + stepLabels(254, 1, "%03d (0x%02X)") + stepLabels(476, 4, "%03d (0x%03X)");
}

QStringList CharChannel::charNumberLabels()
{
    return stepLabels(kMaxChars, 1, "%02d (0x%02X)");
}

std::vector<CharPiece> linePieces(int line, const QByteArray &indexes)
{
    std::vector<CharPiece> pieces;
    const int first = (line - 1) * CharChannel::kMaxChars;
    const int k = int(std::min<qsizetype>(indexes.size(), CharChannel::kMaxChars));
    for (int j = 0; j < k; j += kMaxPiece)
        pieces.push_back({uint8_t(first + j), indexes.mid(j, std::min(kMaxPiece, k - j))});
    return pieces;
}

std::vector<CharPiece> clearPieces(int line)
{
    std::vector<CharPiece> pieces;
    const int first = (line - 1) * CharChannel::kMaxChars;
    for (int j = 0; j < CharChannel::kMaxChars; j += 8)
        pieces.push_back({uint8_t(first + j), QByteArray(8, char(79))});
    return pieces;
}

BitmapBlock BitmapBlock::fromBytes(const QByteArray &bytes)
{
    const Registers r(kRuns, bytes);
    BitmapBlock b;
    const uint8_t format = r.get(0x2570);
    b.bitWidth = format & 3;
    b.resolution = (format >> 2) & 7;
    b.colorIndex = {r.get(0x2571) & 15, r.get(0x2571) >> 4, r.get(0x2572) & 15, r.get(0x2572) >> 4};
    b.posX = r.get(0x2573);
    b.posY = r.get(0x2574);
    b.width = r.get(0x2575);
    b.height = r.get(0x2576);
    b.alpha = r.get(0x2577);
    b.flickFreq = r.get(0x2578);
    b.threshold = uint16_t(r.get(0x2579) << 8 | r.get(0x257A));
    return b;
}

QByteArray BitmapBlock::toBytes() const
{
    Registers r(kRuns);
    r.set(0x2570, (resolution & 7) << 2 | (bitWidth & 3));
    r.set(0x2571, (colorIndex[1] & 15) << 4 | (colorIndex[0] & 15));
    r.set(0x2572, (colorIndex[3] & 15) << 4 | (colorIndex[2] & 15));
    const uint8_t tail[] = {posX, posY, width, height, alpha, flickFreq, uint8_t(threshold >> 8), uint8_t(threshold)};
    for (int i = 0; i < 8; ++i)
        r.set(0x2573 + i, tail[i]);
    return r.bytes();
}

QString hexOrZeros(const QString &before, const QString &after, int maxLength)
{
    if (after.size() > maxLength)
        return before;
    return std::all_of(after.begin(), after.end(), isHexDigit) ? after : QStringLiteral("0000");
}

} // namespace zm::osd
