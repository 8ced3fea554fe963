#pragma once
// zmctl run as a user runs it, for the tests of every area: its exit status and what it printed.
// The test target defines ZMCTL as the path of the built program.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zm::test {

struct ZmctlRun {
    int code = -1; // -1: it did not end normally (a crash, or still running at the time-out)
    QString out, err;
};

inline ZmctlRun runZmctl(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(ZMCTL), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

inline ZmctlRun runZmctl(const QString &port, const QStringList &args, int timeoutMs = 60000)
{
    return runZmctl(QStringList{"--port", port} + args, timeoutMs);
}

} // namespace zm::test
