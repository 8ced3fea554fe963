#include "tools/fbuf_settings.h"

namespace zm {

QString tcrRatioText(uint8_t tcr)
{
    const double ratio = tcr == 0 ? 0.0 : (tcr - 1) * 0.25;
    return QString::asprintf("%.2f", ratio);
}

QSize previewSize(QSize picture)
{
    constexpr int kMaxWidth = 640;
    if (picture.width() <= kMaxWidth)
        return picture;
    const int height = int(qint64(picture.height()) * kMaxWidth / picture.width());
    return {kMaxWidth, height};
}

std::optional<uint8_t> cryptRegisterUpdate(uint8_t current, bool enable)
{
    const bool on = current & 0x80;
    if (enable == on)
        return std::nullopt;
    return enable ? uint8_t(current | 0x80) : uint8_t(current & 0x7F);
}

QString byteEntry(int value)
{
    return QString::asprintf("0x%02X", value);
}

} // namespace zm
