#include "protocol/traffic_rows.h"

#include "protocol/protocol.h"
#include "protocol/traffic_decode.h"

#include <algorithm>

namespace zm {

namespace {

QString hexBytes(const uint8_t *d, int n)
{
    QString out;
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ' ';
        out += QString::number(d[i], 16).toUpper().rightJustified(2, QChar('0'));
    }
    return out;
}

QString codeName(uint8_t code)
{
    if (!traffic::knownCommand(code))
        return traffic::commandName(code);
    return QStringLiteral("%1 (0x%2)").arg(traffic::commandName(code), QString::number(code, 16).toUpper().rightJustified(2, QChar('0')));
}

QString csvField(const QString &s)
{
    if (!s.contains(',') && !s.contains('"') && !s.contains('\n'))
        return s;
    QString q = s;
    q.replace('"', QStringLiteral("\"\""));
    return '"' + q + '"';
}

} // namespace

QStringList TrafficRow::columns() const
{
    return {QString::number(ms, 'f', 3), direction(), mark, command, fields, data, status,
            roundTripMs ? QString::number(*roundTripMs, 'f', 3) : QString()};
}

QString TrafficRow::text() const
{
    QString line = QStringLiteral("%1 ms  %2  ").arg(ms, 12, 'f', 3).arg(direction());
    if (!mark.isEmpty())
        line += '[' + mark + "] ";
    line += command;
    if (!fields.isEmpty())
        line += ": " + fields;
    if (!data.isEmpty())
        line += "  | " + data;
    if (!status.isEmpty())
        line += "  | " + status;
    if (roundTripMs)
        line += QStringLiteral("  | %1 ms").arg(*roundTripMs, 0, 'f', 3);
    return line;
}

QStringList TrafficRows::headers()
{
    return {"Time (ms)", "Direction", "Mark", "Command", "Fields", "Data", "Status", "Round trip (ms)"};
}

TrafficRows::TrafficRows(size_t keep)
    : m_keep(std::max<size_t>(1, keep))
{
    std::fill(std::begin(m_lastSent), std::end(m_lastSent), -1);
}

void TrafficRows::clear()
{
    m_rows.clear();
    m_dropped = 0;
    std::fill(std::begin(m_lastSent), std::end(m_lastSent), -1);
}

TrafficRow TrafficRows::row(const TrafficEvent &e, const int64_t *lastSent)
{
    using Kind = TrafficKind;
    TrafficRow r;
    r.ms = double(e.ns) / 1e6;
    const uint8_t *d = e.data;
    const int n = e.length;
    switch (e.kind) {
    case Kind::Sent:
        r.toChip = true;
        if (n >= kCommandHeader) {
            r.code = d[2];
            r.command = codeName(d[2]);
            const int len = std::min<int>(d[3], n - kCommandHeader);
            r.fields = traffic::describeCommand(d[2], d + kCommandHeader, len);
            r.data = hexBytes(d + kCommandHeader, len);
            if (r.fields == r.data)
                r.fields.clear();
        }
        break;
    case Kind::Answer:
    case Kind::Stray:
    case Kind::Notification:
        r.mark = e.kind == Kind::Stray ? QStringLiteral("stray")
                 : e.kind == Kind::Notification ? QStringLiteral("notification") : QString();
        if (n >= kAnswerHeader) {
            r.code = d[2];
            r.command = codeName(d[2]);
            const int len = std::min<int>(d[4], n - kAnswerHeader);
            r.data = hexBytes(d + kAnswerHeader, len);
            r.fields = traffic::describeAnswer(d[2], d[3], d + kAnswerHeader, len);
            if (r.fields == r.data)
                r.fields.clear(); // nothing more to say than the bytes
            r.status = QStringLiteral("%1 %2").arg(d[3]).arg(QString::fromLatin1(resultText(d[3])));
            r.failure = d[3] != 0;
            if (e.kind == Kind::Answer && lastSent && lastSent[d[2]] >= 0)
                r.roundTripMs = double(e.ns - lastSent[d[2]]) / 1e6;
        }
        break;
    case Kind::Broken:
        r.mark = QStringLiteral("broken");
        r.command = QStringLiteral("broken frame");
        r.data = hexBytes(d, n);
        r.failure = true;
        break;
    case Kind::Idle:
        r.mark = QStringLiteral("idle");
        r.command = QStringLiteral("idle bytes");
        r.fields = QStringLiteral("%1 bytes").arg(e.total);
        r.data = hexBytes(d, n) + (e.total > uint32_t(n) ? QStringLiteral(" ...") : QString());
        break;
    case Kind::RawIn:
    case Kind::RawOut: {
        r.toChip = e.kind == Kind::RawOut;
        r.mark = QStringLiteral("raw");
        r.command = QStringLiteral("raw data");
        const double seconds = double(e.durationNs) / 1e9;
        r.fields = QStringLiteral("%1 bytes in %2 ms").arg(e.total).arg(double(e.durationNs) / 1e6, 0, 'f', 3);
        if (seconds > 0)
            r.fields += QStringLiteral(", %1 KiB/s").arg(e.total / 1024.0 / seconds, 0, 'f', 1);
        r.data = hexBytes(d, n) + (e.total > uint32_t(n) ? QStringLiteral(" ...") : QString());
        break;
    }
    case Kind::Failed:
        r.mark = QStringLiteral("failed");
        r.command = QStringLiteral("no answer");
        if (n >= 1)
            r.status = QStringLiteral("%1 %2").arg(d[0]).arg(QString::fromLatin1(resultText(d[0])));
        r.failure = true;
        break;
    }
    return r;
}

void TrafficRows::add(const std::vector<TrafficEvent> &events)
{
    for (const TrafficEvent &e : events) {
        const TrafficRow r = row(e, m_lastSent);
        if (e.kind == TrafficKind::Sent && r.code >= 0)
            m_lastSent[r.code] = e.ns;
        m_rows.push_back(r);
        if (m_rows.size() > m_keep) {
            m_rows.pop_front();
            ++m_dropped;
        }
    }
}

bool TrafficRows::passes(const TrafficRow &row, int code, bool failuresOnly)
{
    return (code < 0 || row.code == code) && (!failuresOnly || row.failure);
}

QString TrafficRows::csv(int code, bool failuresOnly) const
{
    QString out = headers().join(',') + '\n';
    for (const TrafficRow &r : m_rows) {
        if (!passes(r, code, failuresOnly))
            continue;
        QStringList cols = r.columns();
        for (QString &c : cols)
            c = csvField(c);
        out += cols.join(',') + '\n';
    }
    return out;
}

QString TrafficRows::text(int code, bool failuresOnly) const
{
    QString out;
    for (const TrafficRow &r : m_rows)
        if (passes(r, code, failuresOnly))
            out += r.text() + '\n';
    return out;
}

} // namespace zm
