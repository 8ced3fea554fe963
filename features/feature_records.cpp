#include "features/feature_records.h"

namespace zm {

ModeRecord &FeatureRecords::mode(ModeFeature feature)
{
    switch (feature) {
    case ModeFeature::Color: return color;
    case ModeFeature::Mirror: return mirror;
    case ModeFeature::AeFlicker: return aeFlicker;
    case ModeFeature::AeIndoor: return aeIndoor;
    case ModeFeature::AeBlc: return aeBlc;
    case ModeFeature::PowerSave: break;
    }
    return powerSave.mode;
}

FeatureRecords &rememberedFeatures()
{
    static FeatureRecords records;
    return records;
}

} // namespace zm
