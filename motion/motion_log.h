#pragma once
// The notifications of one monitor run, kept so that the user can save them as CSV: count, the
// PC time as the window shows it, the interval in ms. A run can last for hours, so the log
// holds at most a fixed number of rows; the notifications after that are still counted by the
// monitor, only not logged.

#include "motion/motion_monitor.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace zm {

class MotionLog
{
public:
    static constexpr int kMaxRows = 1'000'000;

    explicit MotionLog(int maxRows = kMaxRows) : m_maxRows(maxRows) {}

    void clear() { m_rows.clear(); }
    // False when the log is full and the row was not kept.
    bool append(const MotionNotification &n);
    int size() const { return int(m_rows.size()); }
    int maxRows() const { return m_maxRows; }

    // "count,time,interval_ms" and one line per notification, each ending in "\n".
    static QByteArray csvHeader();
    static QByteArray csvRow(const MotionNotification &n);
    QByteArray csv() const;
    // Replaces `path` only when the whole log was written; `error` says why not ("<path>: <why>").
    bool save(const QString &path, QString *error = nullptr) const;

private:
    struct Row {
        int count;
        qint64 msecsSinceEpoch; // UTC
        qint64 intervalMs;
    };
    std::vector<Row> m_rows;
    int m_maxRows;
};

} // namespace zm
