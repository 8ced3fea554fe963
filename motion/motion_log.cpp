#include "motion/motion_log.h"

#include <QSaveFile>

namespace zm {

bool MotionLog::append(const MotionNotification &n)
{
    if (size() >= m_maxRows)
        return false;
    m_rows.push_back({n.count, n.time.toMSecsSinceEpoch(), n.intervalMs});
    return true;
}

QByteArray MotionLog::csvHeader()
{
    return QByteArrayLiteral("count,time,interval_ms\n");
}

QByteArray MotionLog::csvRow(const MotionNotification &n)
{
    return QByteArray::number(n.count) + ',' + motionTimeText(n.time).toLatin1() + ',' +
           QByteArray::number(n.intervalMs) + '\n';
}

QByteArray MotionLog::csv() const
{
    QByteArray out = csvHeader();
    out.reserve(out.size() + qsizetype(m_rows.size()) * 40);
    for (const Row &row : m_rows)
        out += csvRow({row.count, QDateTime::fromMSecsSinceEpoch(row.msecsSinceEpoch, Qt::UTC), row.intervalMs});
    return out;
}

bool MotionLog::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace zm
