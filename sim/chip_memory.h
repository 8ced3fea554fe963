#pragma once
// Every addressable store of the simulated chip: its registers, the sensor and CCIR656 registers,
// the two EEPROMs and the SPI flash.

#include "protocol/protocol.h"
#include "sim/chip_config.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace zm::sim {

class ChipMemory {
public:
    // How many reads of 0x1A19 report the window-threshold port busy after a start.
    static constexpr int kPortBusyReads = 3;

    explicit ChipMemory(const ChipConfig &config = {});

    // Registers back to their start values (system reset); the memories keep their contents.
    void resetRegisters();

    // The command path. Returns 0 or the status the chip answers (3 for an address, width or
    // count it cannot serve). Chip-register accesses have the side effects of the hardware
    // (the window-threshold port); the flash keeps NOR semantics: a write only clears bits.
    uint8_t read(MemoryType type, uint32_t address, int width, int count, QByteArray &out);
    uint8_t write(MemoryType type, uint32_t address, int width, int count, const uint8_t *data);
    uint8_t eraseSector(uint32_t address);
    void eraseFlash();

    // Direct access for start-up and tests: types 1, 4, 5 and 6, no side effects, no NOR rule.
    QByteArray peek(MemoryType type, uint32_t address, int length) const;
    void poke(MemoryType type, uint32_t address, const QByteArray &bytes);
    // Sensor (type 2) and CCIR656 (type 3) registers hold items of up to 24 bits.
    uint32_t item(MemoryType type, uint16_t address) const;
    void setItem(MemoryType type, uint16_t address, uint32_t value);
    uint8_t reg(uint16_t address) const { return m_regs[address]; }
    void setReg(uint16_t address, uint8_t value) { m_regs[address] = value; }

    // The 64 values behind the window-threshold port, by selector (bit 5 column, bits 4-1
    // window, bit 0 line).
    uint16_t windowThreshold(int selector) const { return m_windowThresholds[selector & 0x3F]; }
    // A port that never finishes: 0x1A19 keeps the busy bit of the operation started.
    void setPortStuck(bool stuck) { m_portStuck = stuck; }
    void setWindowThreshold(int selector, uint16_t value) { m_windowThresholds[selector & 0x3F] = value; }

    // Size in bytes of a byte-addressed store (types 1, 4, 5, 6), 0 for the item stores.
    uint32_t size(MemoryType type) const;
    uint32_t flashSectorSize() const { return m_flashSectorSize; }

private:
    // The checks a read-data and a write-data share: the counts, the width, the range.
    uint8_t checkAccess(MemoryType type, uint32_t address, int width, int count) const;
    std::vector<uint8_t> *bytes(MemoryType type);
    const std::vector<uint8_t> *bytes(MemoryType type) const;
    std::vector<uint32_t> &items(MemoryType type);
    const std::vector<uint32_t> &items(MemoryType type) const;
    uint8_t readRegister(uint16_t address);
    void writeRegister(uint16_t address, uint8_t value);
    void startPortOperation(uint8_t command);
    void finishPortOperation();

    std::vector<uint8_t> m_regs;
    std::vector<uint32_t> m_sensor;
    std::vector<uint32_t> m_ccir;
    std::vector<uint8_t> m_i2cEeprom;
    std::vector<uint8_t> m_spiEeprom;
    std::vector<uint8_t> m_flash;
    uint32_t m_flashSectorSize;
    std::array<uint16_t, 64> m_windowThresholds{};
    int m_portBusy = 0;
    bool m_portStuck = false;
    uint8_t m_portCommand = 0;
    uint8_t m_portSelector = 0;
    uint16_t m_portValue = 0;
};

} // namespace zm::sim
