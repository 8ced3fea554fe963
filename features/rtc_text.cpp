#include "features/rtc_text.h"

#include <QRegularExpression>

namespace zm {

QString rtcText(const RtcTime &t)
{
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

RtcTime rtcTime(const QDate &date, const QTime &time)
{
    return RtcTime{uint16_t(date.year()), uint8_t(date.month()), uint8_t(date.day()),
                   uint8_t(time.hour()),  uint8_t(time.minute()), uint8_t(time.second())};
}

std::optional<RtcTime> parseRtcText(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    auto n = [&](int i) { return m.captured(i).toInt(); };
    const QDate date(n(1), n(2), n(3));
    const QTime time(n(4), n(5), n(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return rtcTime(date, time);
}

} // namespace zm
