#pragma once
// What the procedure benchmarks share: a link session open on the simulated chip, and a report
// that keeps the last failure instead of showing it.

#include "link/link_session.h"
#include "link/report.h"
#include "sim/pty_chip.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace zm::bench {

// Opens the session on the chip's line or ends the benchmark: a figure without a line is no figure.
inline void openOrExit(LinkSession &session, sim::PtyChip &chip, int baud, const char *program)
{
    QString error;
    if (!session.open(chip.slavePath(), QStringLiteral("%1,n,8,1").arg(baud), &error)) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(error));
        std::exit(1);
    }
}

// n bytes that look like data rather than a fill: every value, no runs, the same in every run.
inline QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    uint32_t x = 12345;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

// A report whose failures land in *failure, so that the benchmark can print what went wrong.
inline Report failureReport(QString *failure)
{
    Report report;
    report.message = [failure](const QString &m, MessageKind kind) {
        if (kind == MessageKind::Failure)
            *failure = m;
        return true;
    };
    return report;
}

} // namespace zm::bench
