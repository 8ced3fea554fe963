#pragma once
// The stored layout of the control info, apart from where the bytes come from: the chip's memory
// (ctrl_info.h reads it through commands) or a dump file (ctrl_info_dump.h). Both find a
// record the same way, through lookupCtrlInfoRecord, so a file and the chip cannot disagree about
// where a record lies.
//
// Every field of two bytes is stored high byte first; addresses are 16-bit byte addresses from the
// start of the memory, and an address of 0 means "absent".

#include <cstdint>
#include <optional>

namespace zm {

// The base block at address 0.
inline constexpr uint16_t kSignatureOffset = 0;     // 16 bits: 0xAA55 (EEPROMs) or 0xAA56 (SPI flash)
inline constexpr uint16_t kDataLengthOffset = 4;    // 16 bits: the length of the whole control info
inline constexpr uint16_t kIspWord3LowOffset = 36;  // bits 1-4: the picture-control enable bits
inline constexpr uint16_t kExternTableOffset = 51;  // 16 bits: the extension table's address, 0 none
inline constexpr uint16_t kBaseInfoLength = 53;

// The extension table: one 16-bit record address per section, 0 for a record that is absent.
inline constexpr int kExternTableEntries = 21;
inline constexpr uint16_t kExternTableLength = 2 * kExternTableEntries;
// Records of the extension table, by section id (the entry of section n is at table + 2n).
enum class CtrlInfoSection : int {
    SensorConfig = 0, Ccir656Config, AeParameter, AeFormula, OpenStream, FunctionFormula, GpioConfig,
    MotionConfig, ColorMatrix, Gamma, ImageSize, Dpc, R80515Con, UvFactor, Sharpness, OutModeConfig,
    ImageProperty, OsdConfig, VeConfig, CommFormula, RfConfig,
};
// "Sensor Config" ... "RF Config"; "?" for a number that names no section.
const char *ctrlInfoSectionName(CtrlInfoSection section);

// The Image Property record: brightness, contrast, off contrast, hue, saturation.
inline constexpr int kImagePropertyLength = 5;

// Where the table entry of a section lies; nothing when the entry would run past the 16-bit
// address range (it would wrap to the start of the memory, where no table can be).
inline std::optional<uint16_t> externEntryAddress(uint16_t table, CtrlInfoSection section)
{
    const uint32_t entry = uint32_t(table) + 2u * uint32_t(section);
    if (entry + 2 > 0x10000)
        return std::nullopt;
    return uint16_t(entry);
}

// The address of a section's record: the table address at offset 51, then the section's entry.
// `readWord(address, value)` reads the 16-bit word at an address and returns 0, or the code of a
// failed read, which is returned as it is. An absent table or record gives 0 with `address` 0.
template <typename ReadWord>
uint8_t lookupCtrlInfoRecord(ReadWord &&readWord, CtrlInfoSection section, uint16_t &address)
{
    uint16_t table = 0;
    if (const uint8_t r = readWord(kExternTableOffset, table))
        return r;
    const std::optional<uint16_t> entry = table == 0 ? std::nullopt : externEntryAddress(table, section);
    if (!entry) {
        address = 0;
        return 0;
    }
    uint16_t value = 0;
    if (const uint8_t r = readWord(*entry, value))
        return r;
    address = value;
    return 0;
}

} // namespace zm
