#pragma once
// The clock's date and time as the RTC window shows them and zmctl prints and reads them:
// "YYYY-MM-DD hh:mm:ss".

#include "protocol/frame_builders.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace zm {

QString rtcText(const RtcTime &t);
RtcTime rtcTime(const QDate &date, const QTime &time);
// Exactly "YYYY-MM-DD hh:mm:ss" of a real date and time; nothing otherwise.
std::optional<RtcTime> parseRtcText(const QString &text);

} // namespace zm
