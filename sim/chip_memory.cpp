#include "sim/chip_memory.h"

#include "osd/osd_palette.h"
#include "sim/ctrl_info_image.h"

#include <algorithm>

namespace zm::sim {

namespace {

constexpr uint16_t kPortValueLow = 0x1A16;
constexpr uint16_t kPortSelector = 0x1A18;
constexpr uint16_t kPortCommand = 0x1A19;
constexpr uint16_t kPortResultLow = 0x1A1A;

// A palette entry as the chip stores it (header-only, no dependency on the PC side).
uint16_t paletteEntry(int r, int g, int b)
{
    return osd::rgbToPalette({r, g, b});
}

void putLe16(std::vector<uint8_t> &regs, uint16_t address, uint16_t value)
{
    regs[address] = uint8_t(value);
    regs[address + 1] = uint8_t(value >> 8);
}

void setRun(std::vector<uint8_t> &regs, uint16_t address, std::initializer_list<uint8_t> values)
{
    std::copy(values.begin(), values.end(), regs.begin() + address);
}

} // namespace

ChipMemory::ChipMemory(const ChipConfig &config)
    : m_regs(0x10000, 0)
    , m_sensor(0x10000, 0)
    , m_ccir(0x10000, 0)
    , m_i2cEeprom(config.i2cEepromSize, 0xFF)
    , m_spiEeprom(config.spiEepromSize, 0xFF)
    , m_flash(config.flashSize, 0xFF)
    , m_flashSectorSize(std::max<uint32_t>(1, config.flashSectorSize))
{
    resetRegisters();
    if (config.ctrlInfo != CtrlInfoPlace::None) {
        const QByteArray image = ctrlInfoImage(config.ctrlInfo);
        const auto type = MemoryType(uint8_t(config.ctrlInfo) + 3);
        if (size(type) >= uint32_t(image.size()))
            poke(type, 0, image);
    }
}

void ChipMemory::resetRegisters()
{
    std::fill(m_regs.begin(), m_regs.end(), 0);
    auto &r = m_regs;

    r[0x1204] = 0x35; // compression ratio
    r[0x1318] = 0x00; // frame-buffer encryption off
    r[0x131D] = 0x00; // its key

    // Gamma: X1..X15 then Y0..Y16.
    setRun(r, 0x1940, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224});
    setRun(r, 0x194F, {0, 16, 35, 57, 76, 93, 106, 117, 127, 144, 159, 172, 184, 204, 221, 239, 255});

    // Picture controls, all four enabled.
    r[0x1A00] = 0x1E;
    setRun(r, 0x1A10, {0x00, 0x80, 0x80});
    setRun(r, 0x1A14, {0x00, 0x48});

    // Motion thresholds (multi-byte values low byte first).
    setRun(r, 0x1A1D, {0x40, 0x00, 0x03});
    setRun(r, 0x1A50, {0x30, 0x00, 0x03, 0x24, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x02});
    r[0x1A6E] = 0x01;
    r[0x1A6F] = 0x00;
    // Motion window boundaries of a VGA picture cut in quarters.
    const uint16_t bounds[10] = {0, 160, 320, 480, 639, 0, 120, 240, 360, 479};
    for (int i = 0; i < 10; ++i)
        putLe16(r, uint16_t(0x1A5A + 2 * i), bounds[i]);
    for (int w = 0; w < 16; ++w) {
        m_windowThresholds[2 * w] = 0x0100;        // row sum
        m_windowThresholds[2 * w + 1] = 0x0004;    // row lines
        m_windowThresholds[0x20 + 2 * w] = 0x0100; // column sum
        m_windowThresholds[0x21 + 2 * w] = 0x0004; // column lines
    }
    m_portBusy = 0;
    m_portCommand = 0;

    // OSD: character channel 1 on, logo 1*1 at 4 bits per pixel.
    r[0x2500] = 0x01;
    r[0x2501] = 0x00;
    r[0x2502] = 0x08;
    const uint16_t palette[15] = {
        paletteEntry(255, 255, 255), paletteEntry(0, 0, 0),       paletteEntry(255, 0, 0),
        paletteEntry(0, 255, 0),     paletteEntry(0, 0, 255),     paletteEntry(255, 255, 0),
        paletteEntry(0, 255, 255),   paletteEntry(255, 0, 255),   paletteEntry(128, 128, 128),
        paletteEntry(128, 0, 0),     paletteEntry(0, 128, 0),     paletteEntry(0, 0, 128),
        paletteEntry(255, 165, 0),   paletteEntry(192, 192, 192), paletteEntry(165, 42, 42),
    };
    for (int n = 0; n < 15; ++n) {
        const int offset = 2 * n; // entries 1..8 at 0x2503, 9..15 at 0x2580
        putLe16(r, uint16_t(offset < 16 ? 0x2503 + offset : 0x2580 + offset - 16), palette[n]);
    }
    // Character channels: four lines of 16 characters down the left edge, white on black.
    for (int line = 0; line < 4; ++line) {
        r[0x2520 + 2 * line] = 2;
        r[0x2521 + 2 * line] = uint8_t(4 + 8 * line);
        putLe16(r, uint16_t(0x252A + 2 * line), palette[0]);
        r[0x2537 + line] = 16 << 1;
    }
    putLe16(r, 0x2532, palette[1]);
    r[0x2535] = 0x01;
    putLe16(r, 0x253E, palette[1]);
    setRun(r, 0x2540, {0x00, 0x00, 0x06, 0x06, 0x00, 0x00});                         // logo
    setRun(r, 0x2561, {0x00, 0x00, 0x28, 0x1E, 0x08, 0x08});                         // mosaic
    setRun(r, 0x2570, {0x12, 0x10, 0x32, 0x00, 0x00, 0xA0, 0x78, 0x00, 0x00, 0xFF, 0xFF}); // bitmap

    // Sensor: identification and a VGA window; CCIR656 encoder: identification and NTSC.
    std::fill(m_sensor.begin(), m_sensor.end(), 0);
    std::fill(m_ccir.begin(), m_ccir.end(), 0);
    m_sensor[0x0000] = 0x26;
    m_sensor[0x0001] = 0x40;
    m_sensor[0x0003] = 0x0280;
    m_sensor[0x0004] = 0x01E0;
    m_sensor[0x0012] = 0x0010;
    m_sensor[0x0013] = 0x00E7;
    m_ccir[0x0000] = 0x5A;
    m_ccir[0x0001] = 0x01;
    m_ccir[0x0010] = 0x000000;
}

std::vector<uint8_t> *ChipMemory::bytes(MemoryType type)
{
    return const_cast<std::vector<uint8_t> *>(std::as_const(*this).bytes(type));
}

const std::vector<uint8_t> *ChipMemory::bytes(MemoryType type) const
{
    switch (type) {
    case MemoryType::Chip: return &m_regs;
    case MemoryType::I2cEeprom: return &m_i2cEeprom;
    case MemoryType::SpiEeprom: return &m_spiEeprom;
    case MemoryType::SpiFlash: return &m_flash;
    default: return nullptr;
    }
}

std::vector<uint32_t> &ChipMemory::items(MemoryType type)
{
    return type == MemoryType::Ccir656 ? m_ccir : m_sensor;
}

const std::vector<uint32_t> &ChipMemory::items(MemoryType type) const
{
    return type == MemoryType::Ccir656 ? m_ccir : m_sensor;
}

uint32_t ChipMemory::size(MemoryType type) const
{
    const auto *store = bytes(type);
    return store ? uint32_t(store->size()) : 0;
}

uint8_t ChipMemory::checkAccess(MemoryType type, uint32_t address, int width, int count) const
{
    if (count < 1 || width < 1 || width > 3 || width * count > kMaxData)
        return rc::InvalidDataFormat;
    if (type == MemoryType::Sensor || type == MemoryType::Ccir656)
        return address + count > 0x10000 ? rc::InvalidDataFormat : rc::Ok;
    const auto *store = bytes(type);
    if (!store || width != 1 || uint64_t(address) + count > store->size())
        return rc::InvalidDataFormat;
    return rc::Ok;
}

uint8_t ChipMemory::read(MemoryType type, uint32_t address, int width, int count, QByteArray &out)
{
    out.clear();
    if (const uint8_t r = checkAccess(type, address, width, count))
        return r;
    if (type == MemoryType::Sensor || type == MemoryType::Ccir656) {
        const auto &store = items(type);
        for (int i = 0; i < count; ++i) {
            const uint32_t v = store[address + i];
            for (int b = width - 1; b >= 0; --b)
                out.append(char(v >> (8 * b)));
        }
        return rc::Ok;
    }
    const auto *store = bytes(type);
    for (int i = 0; i < count; ++i) {
        const uint32_t a = address + i;
        out.append(char(type == MemoryType::Chip ? readRegister(uint16_t(a)) : (*store)[a]));
    }
    return rc::Ok;
}

uint8_t ChipMemory::write(MemoryType type, uint32_t address, int width, int count, const uint8_t *data)
{
    if (const uint8_t r = checkAccess(type, address, width, count))
        return r;
    if (type == MemoryType::Sensor || type == MemoryType::Ccir656) {
        auto &store = items(type);
        for (int i = 0; i < count; ++i) {
            uint32_t v = 0;
            for (int b = 0; b < width; ++b)
                v = (v << 8) | data[i * width + b];
            store[address + i] = v;
        }
        return rc::Ok;
    }
    auto *store = bytes(type);
    for (int i = 0; i < count; ++i) {
        const uint32_t a = address + i;
        if (type == MemoryType::Chip)
            writeRegister(uint16_t(a), data[i]);
        else if (type == MemoryType::SpiFlash)
            (*store)[a] &= data[i]; // programming can only clear bits
        else
            (*store)[a] = data[i];
    }
    return rc::Ok;
}

uint8_t ChipMemory::eraseSector(uint32_t address)
{
    if (address >= m_flash.size())
        return rc::InvalidDataFormat;
    const uint32_t start = address - address % m_flashSectorSize;
    const uint32_t end = std::min<uint32_t>(start + m_flashSectorSize, uint32_t(m_flash.size()));
    std::fill(m_flash.begin() + start, m_flash.begin() + end, 0xFF);
    return rc::Ok;
}

void ChipMemory::eraseFlash()
{
    std::fill(m_flash.begin(), m_flash.end(), 0xFF);
}

QByteArray ChipMemory::peek(MemoryType type, uint32_t address, int length) const
{
    const auto *store = bytes(type);
    if (!store || length <= 0 || address >= store->size())
        return {};
    const auto n = std::min<size_t>(size_t(length), store->size() - address);
    return QByteArray(reinterpret_cast<const char *>(store->data() + address), qsizetype(n));
}

void ChipMemory::poke(MemoryType type, uint32_t address, const QByteArray &data)
{
    auto *store = bytes(type);
    if (!store || address >= store->size())
        return;
    const auto n = std::min<size_t>(size_t(data.size()), store->size() - address);
    std::copy_n(reinterpret_cast<const uint8_t *>(data.constData()), n, store->begin() + address);
}

uint32_t ChipMemory::item(MemoryType type, uint16_t address) const
{
    return items(type)[address];
}

void ChipMemory::setItem(MemoryType type, uint16_t address, uint32_t value)
{
    items(type)[address] = value & 0xFFFFFF;
}

uint8_t ChipMemory::readRegister(uint16_t address)
{
    if (address != kPortCommand)
        return m_regs[address];
    // The status register shows the running operation's busy bit for a few reads; the
    // operation takes effect with the last of them.
    if (m_portBusy == 0)
        return 0;
    const uint8_t busy = m_portCommand == 1 ? 0x01 : 0x02;
    if (!m_portStuck && --m_portBusy == 0)
        finishPortOperation();
    return busy;
}

void ChipMemory::writeRegister(uint16_t address, uint8_t value)
{
    m_regs[address] = value;
    if (address == kPortCommand)
        startPortOperation(value);
}

void ChipMemory::startPortOperation(uint8_t command)
{
    if (m_portBusy > 0)
        finishPortOperation(); // a new start does not lose the one in progress
    if (command != 1 && command != 2) {
        m_portBusy = 0;
        return;
    }
    m_portCommand = command;
    m_portSelector = m_regs[kPortSelector] & 0x3F;
    m_portValue = uint16_t(m_regs[kPortValueLow] | m_regs[kPortValueLow + 1] << 8);
    m_portBusy = kPortBusyReads;
}

void ChipMemory::finishPortOperation()
{
    m_portBusy = 0;
    if (m_portCommand == 1) {
        m_windowThresholds[m_portSelector] = m_portValue;
    } else if (m_portCommand == 2) {
        const uint16_t v = m_windowThresholds[m_portSelector];
        m_regs[kPortResultLow] = uint8_t(v);
        m_regs[kPortResultLow + 1] = uint8_t(v >> 8);
    }
    m_portCommand = 0;
}

} // namespace zm::sim
