#pragma once
// A simulated chip with its control info in a chosen memory, a link session open on it, and a
// report that records what a procedure tells. For the control-info and transfer tests.

#include "link/commands.h"
#include "sim/pty_chip.h"
#include "tests/common/test_files.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <stop_token>

namespace zm::test {

inline sim::PtyChip::Options chipOptions(sim::CtrlInfoPlace place, uint32_t flashSize = 512 * 1024)
{
    sim::PtyChip::Options o;
    o.chip.ctrlInfo = place;
    o.chip.flashSize = flashSize;
    o.chip.chipEraseMs = 0;
    o.chip.sectorEraseMs = 0;
    return o;
}

struct CtrlInfoRig {
    sim::PtyChip chip;
    LinkSession session;
    Commands c{session};
    QStringList messages;
    QStringList statuses;
    QString counter;
    qint64 done = 0;
    std::stop_source stop;
    // Asks the procedure to stop once this many bytes are done (-1: never).
    qint64 stopAt = -1;
    Report report;
    QTemporaryDir dir;

    explicit CtrlInfoRig(sim::CtrlInfoPlace place = sim::CtrlInfoPlace::I2cEeprom, uint32_t flashSize = 512 * 1024)
        : chip(chipOptions(place, flashSize))
    {
        QString error;
        if (!session.open(chip.slavePath(), QStringLiteral("115200,n,8,1"), &error))
            qFatal("open: %s", qPrintable(error));
        report.stop = stop.get_token();
        report.message = [this](const QString &m, MessageKind) {
            messages << m;
            return true;
        };
        report.status = [this](const QString &s) { statuses << s; };
        report.counter = [this](const QString &s) { counter = s; };
        report.progress = [this](qint64 d, qint64) {
            done = d;
            if (stopAt >= 0 && d >= stopAt)
                stop.request_stop();
        };
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // The command codes the chip received, in order.
    QList<int> codes() const
    {
        QList<int> out;
        for (const QByteArray &f : chip.frames())
            out << uint8_t(f[2]);
        return out;
    }

    // The frames received, as upper-case hex without blanks.
    QStringList frames() const
    {
        QStringList out;
        for (const QByteArray &f : chip.frames())
            out << QString::fromLatin1(f.toHex().toUpper());
        return out;
    }
};

inline QByteArray pattern(int n, int seed = 1)
{
    QByteArray b(n, '\0');
    uint32_t x = uint32_t(seed) * 2654435761u;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

} // namespace zm::test
