#include "app/demo_simulator.h"

#include "app/companion_program.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#include <csignal>
#include <sys/prctl.h>

namespace zm {

DemoSimulator::~DemoSimulator()
{
    stop();
}

bool DemoSimulator::start(QString *error, const QString &program, int timeoutMs)
{
    const QString path = program.isEmpty() ? companionProgram(QStringLiteral("zmsim")) : program;
    m_program = path;
    // A process object that ran before starts afresh.
    m_process.disconnect();
    m_stopping = false;
    if (!QFileInfo(path).isExecutable()) {
        *error = QStringLiteral("%1 does not exist or is not executable.").arg(path);
        return false;
    }
    // Its diagnostics go where ours go.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator goes with the console even when the console is killed.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(path, {});
    if (!m_process.waitForStarted(timeoutMs)) {
        *error = QStringLiteral("%1: %2").arg(path, m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray line;
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running && !deadline.hasExpired())
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    if (m_process.canReadLine())
        line = m_process.readLine().trimmed();
    static const QByteArray kPrefix = "zmsim: ";
    if (!line.startsWith(kPrefix)) {
        *error = QStringLiteral("%1 did not name its port (it said \"%2\").").arg(path, QString::fromLocal8Bit(line));
        stop();
        return false;
    }
    m_port = QString::fromLocal8Bit(line.mid(kPrefix.size()));
    // Whatever else it prints is of no use here; read it so that it never blocks on a full pipe.
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { m_process.readAllStandardOutput(); });
    QObject::connect(&m_process, &QProcess::finished, &m_process, [this] {
        if (!m_stopping && m_ended)
            m_ended();
    });
    return true;
}

void DemoSimulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_stopping = true;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace zm
