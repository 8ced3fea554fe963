#pragma once
// The traffic log's rows: recorded events turned into lines a person reads (time, direction,
// command and its fields, data, status, round trip), the last 100,000 of them kept, filtered
// by command and by failures, and written out as CSV or text. Widget-free: the console's
// window and zmctl --log show the same rows.

#include "protocol/traffic_event.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace zm {

struct TrafficRow {
    double ms = 0;              // since the port was opened
    bool toChip = false;
    QString mark;               // "", "stray", "notification", "broken", "idle", "raw", "failed"
    int code = -1;              // the command's code, -1 for bytes that are no frame
    QString command;            // "read-data (0x30)"
    QString fields;             // decoded
    QString data;               // hex
    QString status;             // "0 Cmd correct", answers and failures only
    std::optional<double> roundTripMs;
    bool failure = false;

    QString direction() const { return toChip ? QStringLiteral("PC>chip") : QStringLiteral("chip>PC"); }
    QStringList columns() const;
    QString text() const;
};

class TrafficRows
{
public:
    static constexpr size_t kKeep = 100000;

    static QStringList headers();

    explicit TrafficRows(size_t keep = kKeep);

    // Turns events into rows (in order) and keeps them; the oldest go past `keep`.
    void add(const std::vector<TrafficEvent> &events);
    void clear();

    size_t size() const { return m_rows.size(); }
    const TrafficRow &at(size_t i) const { return m_rows[i]; }
    // Rows given up because more than `keep` came, and events the recorder could not keep.
    uint64_t droppedRows() const { return m_dropped; }

    // The rows a filter lets through: a command code (-1: all), failures only.
    static bool passes(const TrafficRow &row, int code, bool failuresOnly);

    // The rows as CSV (with a header line) or as aligned text.
    QString csv(int code = -1, bool failuresOnly = false) const;
    QString text(int code = -1, bool failuresOnly = false) const;

    // One event as one row, given the times of the last command sent per code.
    static TrafficRow row(const TrafficEvent &e, const int64_t *lastSent);

private:
    std::deque<TrafficRow> m_rows;
    size_t m_keep;
    uint64_t m_dropped = 0;
    int64_t m_lastSent[256];
};

} // namespace zm
