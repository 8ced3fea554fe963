#pragma once
// Motion detection and its alarm output as the Motion Ctrl window and zmctl see them: the
// settings the program remembers between openings of the window, and what the bytes of
// set-motion-control and get-motion-control mean.

#include <QString>

#include <cstdint>

namespace zm {

// Remembered for the whole run of the program; the window shows them when it opens.
struct MotionCtrlSettings {
    uint8_t reportMode = 1;      // 0 GPIO, 1 UART
    uint32_t detectionFlags = 1; // bit 0 detection enabled, bit 4 motion detected
    uint8_t alarmSetup = 0;      // bit 0 alarm type, bit 1 alarm level
    uint16_t alarmTime = 100;    // in units of 10 ms

    bool detectionEnabled() const { return detectionFlags & 0x01; }
    bool motionDetected() const { return detectionFlags & 0x10; }
    int alarmType() const { return alarmSetup & 0x01; }        // 0 certain time, 1 always
    int alarmLevel() const { return (alarmSetup >> 1) & 0x01; } // 0 high, 1 low
};

// The program's one instance; tests make their own.
MotionCtrlSettings &programMotionCtrlSettings();

// The alarm setup byte from the "Alarm Type:" and "Alarm Level:" indexes.
constexpr uint8_t alarmSetupByte(int typeIndex, int levelIndex)
{
    return uint8_t(((levelIndex & 1) << 1) | (typeIndex & 1));
}

// "Motion detected!" or "Motion not detected!".
QString motionStatusText(uint32_t detectionFlags);
// The alarm status box: "Motion out enabled"/"disabled", then "Motion out opened"/"closed", one
// line each.
QString alarmStatusText(bool enabled, bool opened);

} // namespace zm
