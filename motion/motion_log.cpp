#include "motion/motion_log.h"

#include "link/file_writer.h"

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
    return FileWriter::writeAll(path, csv(), error);
}

} // namespace zm
