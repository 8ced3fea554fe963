#pragma once
// The features that switch between a few modes: colour, mirror, the three exposure groups and
// power save. Each has a control source (GPIO pin or UART commands) and a mode; the window of a
// group and zmctl send the same frames through setMode() and getMode().

#include "link/commands.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace zm {

// The control source byte.
inline constexpr uint8_t kGpioControl = 0;
inline constexpr uint8_t kUartControl = 1;

enum class ModeFeature { Color, Mirror, AeFlicker, AeIndoor, AeBlc, PowerSave };

// The last control source and mode sent or received for one group.
struct ModeRecord {
    uint8_t source = kUartControl;
    uint8_t mode = 0;
    // Colour only: the third byte of its answer, kept and not shown.
    uint8_t extra = 0;
};

struct ModeChoice {
    uint8_t value;
    QString label; // the radio button's text
    QString name;  // zmctl's word for it
};

struct ModeFeatureInfo {
    ModeFeature feature;
    QString name;  // zmctl's name of the group
    QString title; // the title of its group box
    QList<ModeChoice> choices;

    // The choice of a mode value, or nothing for a value the window has no radio for.
    std::optional<ModeChoice> choiceOf(uint8_t mode) const;
};

const ModeFeatureInfo &modeFeatureInfo(ModeFeature feature);
const QList<ModeFeature> &modeFeatures();

// Set: the group's command with its source and mode. Get: its query; `record` is written only
// on success (source and mode, and for colour the extra byte).
uint8_t setMode(Commands &commands, ModeFeature feature, const ModeRecord &record);
uint8_t getMode(Commands &commands, ModeFeature feature, ModeRecord &record);

// The power-save property group (type 1): the flags byte holds the drop-down index in bits 0-1
// and "Relate with motion" in bit 2; the time counts 10 ms units.
inline constexpr uint8_t kRelateWithMotion = 0x04;
inline uint8_t powerSaveFlags(int modeIndex, bool relateWithMotion)
{
    return uint8_t((modeIndex & 3) | (relateWithMotion ? kRelateWithMotion : 0));
}
inline int powerSaveModeIndex(uint8_t flags) { return flags & 3; }
inline bool powerSaveRelates(uint8_t flags) { return flags & kRelateWithMotion; }
QStringList powerSaveModeNames();

} // namespace zm
