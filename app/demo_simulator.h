#pragma once
// The simulated chip of `zmcomm --demo`: zmsim (beside this program or on the PATH), run for as
// long as this object lives. zmsim names its pseudo-terminal on its first line of output.

#include <QProcess>
#include <QString>

#include <functional>

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
    qint64 processId() const { return m_process.processId(); }
    // The program it started last, for starting it again.
    QString program() const { return m_program; }
    // Called when the simulator ends on its own (killed, crashed), not when stop() ends it.
    void setEndedHandler(std::function<void()> ended) { m_ended = std::move(ended); }

private:
    QProcess m_process;
    QString m_port;
    QString m_program;
    std::function<void()> m_ended;
    bool m_stopping = false;
};

} // namespace zm
