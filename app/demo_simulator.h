#pragma once
// The simulated chip of `zmcomm --demo`: zmsim (beside this program or on the PATH), run for as
// long as this object lives. zmsim names its pseudo-terminal on its first line of output.

#include <QProcess>
#include <QString>

namespace zm {

class DemoSimulator
{
public:
    DemoSimulator() = default;
    ~DemoSimulator();
    DemoSimulator(const DemoSimulator &) = delete;
    DemoSimulator &operator=(const DemoSimulator &) = delete;

    // Starts `program` (zmsim by default) and waits up to `timeoutMs` for the
    // port it serves. False with `error` set when it cannot start or names no port.
    bool start(QString *error, const QString &program = {}, int timeoutMs = 10000);
    void stop();

    QString port() const { return m_port; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    QProcess m_process;
    QString m_port;
};

} // namespace zm
