#include "features/mode_features.h"

#include <QStringList>

namespace zm {

namespace {

const QList<ModeFeatureInfo> &table()
{
    static const QList<ModeFeatureInfo> t = {
        {ModeFeature::Color, "color", "Color Mode",
         {{0, "Auto Switch", "auto"}, {2, "Manual Color", "manual-color"}, {3, "Manual BW", "manual-bw"}}},
        {ModeFeature::Mirror, "mirror", "Mirror Mode", {{0, "No Mirror", "none"}, {1, "Mirror", "mirror"}}},
        {ModeFeature::AeFlicker, "ae-flicker", "AE Flicker 50Hz/60Hz Config",
         {{0, "50Hz", "50hz"}, {1, "60Hz", "60hz"}}},
        {ModeFeature::AeIndoor, "ae-indoor", "AE Indoor/Outdoor Config",
         {{0, "Auto Switch", "auto"}, {1, "Force Indoor", "force-indoor"}}},
        {ModeFeature::AeBlc, "ae-blc", "Back Light Cmpensation Config",
         {{0, "Close BLC", "close"}, {1, "Open BLC", "open"}}},
        {ModeFeature::PowerSave, "power", "Power Save Mode",
         {{0, "Out Power Save", "out"}, {1, "Into Power Save", "into"}}},
    };
    return t;
}

// The exposure groups are numbered in the order of the window.
uint8_t aeGroup(ModeFeature f)
{
    return f == ModeFeature::AeFlicker ? 0 : f == ModeFeature::AeIndoor ? 1 : 2;
}

} // namespace

std::optional<ModeChoice> ModeFeatureInfo::choiceOf(uint8_t mode) const
{
    for (const ModeChoice &c : choices)
        if (c.value == mode)
            return c;
    return std::nullopt;
}

const ModeFeatureInfo &modeFeatureInfo(ModeFeature feature)
{
    return table()[int(feature)];
}

const QList<ModeFeature> &modeFeatures()
{
    static const QList<ModeFeature> all = {ModeFeature::Color,    ModeFeature::Mirror, ModeFeature::AeFlicker,
                                           ModeFeature::AeIndoor, ModeFeature::AeBlc,  ModeFeature::PowerSave};
    return all;
}

uint8_t setMode(Commands &c, ModeFeature f, const ModeRecord &r)
{
    switch (f) {
    case ModeFeature::Color: return c.setColor(r.source, r.mode);
    case ModeFeature::Mirror: return c.setMirror(r.source, r.mode);
    case ModeFeature::PowerSave: return c.setPowerSave(r.source, r.mode);
    default: return c.setAe(aeGroup(f), r.source, r.mode);
    }
}

uint8_t getMode(Commands &c, ModeFeature f, ModeRecord &r)
{
    ModeRecord got = r;
    uint8_t result;
    switch (f) {
    case ModeFeature::Color: result = c.getColor(got.source, got.mode, got.extra); break;
    case ModeFeature::Mirror: result = c.getMirror(got.source, got.mode); break;
    case ModeFeature::PowerSave: result = c.getPowerSave(got.source, got.mode); break;
    default: result = c.getAe(aeGroup(f), got.source, got.mode); break;
    }
    if (result == 0)
        r = got;
    return result;
}

QStringList powerSaveModeNames()
{
    return {QStringLiteral("Close Mode After Fbuf"), QStringLiteral("Close All Image Mode")};
}

} // namespace zm
