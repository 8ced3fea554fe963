#include "motion/motion_control.h"

namespace zm {

MotionCtrlSettings &programMotionCtrlSettings()
{
    static MotionCtrlSettings settings;
    return settings;
}

QString motionStatusText(uint32_t detectionFlags)
{
    return (detectionFlags & 0x10) ? QStringLiteral("Motion detected!") : QStringLiteral("Motion not detected!");
}

QString alarmStatusText(bool enabled, bool opened)
{
    return QString::fromLatin1(enabled ? "Motion out enabled\n" : "Motion out disabled\n") +
           QString::fromLatin1(opened ? "Motion out opened\n" : "Motion out closed\n");
}

} // namespace zm
