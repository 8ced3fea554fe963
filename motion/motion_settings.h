#pragma once
// The motion detector's set-up in the chip's registers, as the Motion Setting window moves it:
//   - ten global thresholds in 15 registers (values of more than a byte stored low byte first);
//   - the window grid: five horizontal and five vertical boundaries, 16 bits each, low byte
//     first, from 0x1A5A on (Hor 0..4, then Ver 0..4);
//   - four thresholds for each of the 16 windows, reached only through an indirect port:
//     0x1A16/0x1A17 value to write, 0x1A18 selector, 0x1A19 command (1 write, 2 read) and
//     status (bit 0 write busy, bit 1 read busy), 0x1A1A/0x1A1B value read.
// Widget-free. Every access is a read-data or write-data command on the chip registers.

#include "link/commands.h"
#include "link/report.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

namespace zm {

// "Threshold Setting(Hex)": one edit each, its registers consecutive from `firstRegister`,
// digits / 2 of them.
struct ThresholdField {
    const char *label;
    int digits;
    const char *defaultText;
    uint16_t firstRegister;
};

inline constexpr int kThresholdFieldCount = 10;
inline constexpr int kThresholdRegisterCount = 15;
using ThresholdBytes = std::array<uint8_t, kThresholdRegisterCount>;

const std::array<ThresholdField, kThresholdFieldCount> &thresholdFields();
// The 15 registers in the order they are always written and read.
const std::array<uint16_t, kThresholdRegisterCount> &thresholdRegisters();
// A hex field's value as the windows read it: blanks skipped, padded on the left with "0" to
// `digits`, and the first `digits` digits taken; empty is 0.
uint32_t hexFieldValue(const QString &text, int digits);
// The register bytes of the ten field texts (hex digits, blanks skipped, empty is 0).
ThresholdBytes thresholdBytes(const QStringList &texts);
// The ten field texts ("%04X", "%02X", "%08X" by width) of the register bytes.
QStringList thresholdTexts(const ThresholdBytes &bytes);

// "Image Type:" and the picture size each stands for.
struct ImageType {
    const char *name;
    int width;
    int height;
};
inline constexpr int kImageTypeCount = 10;
inline constexpr int kDefaultImageType = 1; // "VGA(640x480)"
const std::array<ImageType, kImageTypeCount> &imageTypes();

// The entries of a "Hor" or "Ver" list for a picture `size` wide or high: "0x%03X(%03d)" for
// each position 0 .. size - 1.
QStringList boundaryEntries(int size);
// The positions that cut `size` into four even parts: 0, size/4, size/2, 3size/4, size - 1.
std::array<int, 5> evenBoundaries(int size);

inline constexpr uint16_t kBoundaryRegister = 0x1A5A;
// Hor 0..4 then Ver 0..4.
using Boundaries = std::array<uint16_t, 10>;

// The values of the 16 windows, indexed by their port selector.
enum class WindowValue { RowSum = 0, RowLine = 1, ColSum = 2, ColLine = 3 };
inline constexpr int kWindowCount = 16;
using WindowThresholds = std::array<uint16_t, 4 * kWindowCount>;

// Bit 5: column; bits 4-1: the window; bit 0: "Line".
constexpr uint8_t windowSelector(int window, WindowValue v)
{
    const int value = int(v);
    return uint8_t((value >= 2 ? 0x20 : 0) | ((window & 0x0F) << 1) | (value & 1));
}

// The procedures of the window's six buttons. Each reports its progress in steps (15, 5 or 64),
// shows its failure through the report ("Write chip register failed!:" or "Read chip register
// failed!:" followed by the result text), and returns false after a failure or a stop request
// (which is checked between steps and port polls and shows nothing). Reads fill their output
// only when everything was read.
class MotionSettingAccess
{
public:
    // Reads of the port's status before an access counts as failed.
    static constexpr int kPortPolls = 1000;
    static constexpr uint16_t kPortValue = 0x1A16;
    static constexpr uint16_t kPortSelector = 0x1A18;
    static constexpr uint16_t kPortStatus = 0x1A19;
    static constexpr uint16_t kPortResult = 0x1A1A;

    MotionSettingAccess(Commands &commands, const Report &report);

    Outcome writeThresholds(const ThresholdBytes &bytes);
    Outcome readThresholds(ThresholdBytes &bytes);
    Outcome writeBoundaries(const Boundaries &b);
    Outcome readBoundaries(Boundaries &b);
    // Four passes over the windows: every "Row Sum", every "Row Line", every "Col Sum", every
    // "Col Line"; the single-window buttons then say "Write Finish" or "Read Finish".
    Outcome writeWindowThresholds(const WindowThresholds &t);
    Outcome readWindowThresholds(WindowThresholds &t);

    // One value through the port. 0, a command's result, or rc::TimeOut when the port stayed
    // busy for kPortPolls reads (the failure message then says so rather than "Cmd time out");
    // rc::Stopped on a stop request between polls.
    uint8_t portWrite(uint8_t selector, uint16_t value);
    uint8_t portRead(uint8_t selector, uint16_t &value);

private:
    uint8_t read(uint16_t address, uint8_t *bytes, int n);
    uint8_t write(uint16_t address, const uint8_t *bytes, int n);
    uint8_t waitPort(uint8_t busyBit);
    Outcome steps(int n, bool writing, const std::function<uint8_t(int)> &step);
    Outcome failed(uint8_t result, bool writing);
    bool stopped() const { return m_report.stopRequested(); }

    Commands &m_c;
    const Report &m_report;
    bool m_portBusy = false;
};

} // namespace zm
