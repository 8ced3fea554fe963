#pragma once
// What the feature windows remember between openings, for the whole run: the last control source
// and mode of every mode group, the power-save property values, the zoom record and the gamma
// table. The program has one (rememberedFeatures()); tests make their own.

#include "features/gamma.h"
#include "features/mode_features.h"
#include "features/zoom.h"

#include <array>

namespace zm {

struct PowerSaveRecord {
    // Nothing has been received at start; the window shows GPIO and "Out Power Save".
    ModeRecord mode{kGpioControl, 0, 0};
    uint8_t flags = 0;
    uint16_t time = 0;
};

struct FeatureRecords {
    ModeRecord color{kUartControl, 0, 0};
    ModeRecord mirror{kUartControl, 0, 0};
    ModeRecord aeFlicker{kUartControl, 0, 0};
    ModeRecord aeIndoor{kUartControl, 0, 0};
    ModeRecord aeBlc{kUartControl, 1, 0};
    PowerSaveRecord powerSave;
    ZoomRecord zoom;
    GammaTable gamma = kDefaultGamma;

    ModeRecord &mode(ModeFeature feature);
};

FeatureRecords &rememberedFeatures();

} // namespace zm
