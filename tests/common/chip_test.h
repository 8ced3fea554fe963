#pragma once
// Base of the window tests: a simulated chip on a fresh pseudo-terminal, a command session (open on
// it unless a test wants to open it itself) and a message recorder, torn down in the right order
// once every worker has ended.

#include "link/link_session.h"
#include "sim/pty_chip.h"
#include "ui/message_recorder.h"
#include "ui/worker_runner.h"

#include <QObject>

#include <memory>

namespace zm::test {

class ChipTest : public QObject
{
protected:
    // For init(): QVERIFY2(startChip(), qPrintable(m_error)).
    bool startChip(bool open = true)
    {
        m_chip = std::make_unique<sim::PtyChip>();
        if (!m_chip->isOpen()) {
            m_error = m_chip->errorString();
            return false;
        }
        m_session = std::make_unique<LinkSession>();
        if (open && !m_session->open(m_chip->slavePath(), QStringLiteral("38400,n,8,1"), &m_error))
            return false;
        m_messages = std::make_unique<MessageRecorder>();
        return true;
    }

    // For cleanup(), after the window is gone: false when a worker did not end.
    bool stopChip()
    {
        const bool ended = WorkerRunner::waitForAll(20000);
        m_messages.reset();
        m_session.reset();
        m_chip.reset();
        return ended;
    }

    std::unique_ptr<sim::PtyChip> m_chip;
    std::unique_ptr<LinkSession> m_session;
    std::unique_ptr<MessageRecorder> m_messages;
    QString m_error;
};

} // namespace zm::test
