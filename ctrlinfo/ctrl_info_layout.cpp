#include "ctrlinfo/ctrl_info_layout.h"

namespace zm {

const char *ctrlInfoSectionName(CtrlInfoSection section)
{
    static const char *const kNames[kExternTableEntries] = {
        "Sensor Config", "CCIR656 Config", "AE Parameter", "AE Formula",   "Open Stream",      "Function Formula",
        "GPIO Config",   "Motion Config",  "Color Matrix", "Gamma",        "Image Size",       "DPC",
        "R80515 Con",    "UV Factor",      "Sharpness",    "Out Mode Config", "Image Property", "OSD Config",
        "VE Config",     "Comm Formula",   "RF Config",
    };
    const int n = int(section);
    return n >= 0 && n < kExternTableEntries ? kNames[n] : "?";
}

} // namespace zm
