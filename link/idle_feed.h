#pragma once
// The bytes that no command took (idle bytes, bytes trailing an answer, frames that were no
// answer), gathered for one reader on another thread: the console's data show.
//
// While the reader has not taken them, bytes that come are added to what waits, and gathered()
// is emitted only when nothing was waiting: a flood of bytes then reaches a busy reader as a few
// large batches instead of one queued copy per read that buries its event loop. Off until
// switched on; switching off drops what waits.

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <mutex>

namespace zm {

class IdleFeed : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void setGathering(bool on);
    // Everything that waits, oldest first; empty when nothing does.
    QByteArray take();
    qsizetype waitingSize() const;

    // The link thread: bytes that no command took.
    void deliver(const QByteArray &bytes);

signals:
    // Gathered bytes wait to be taken. Emitted in the thread the feed lives in.
    void gathered();

private:
    std::atomic<bool> m_gathering{false};
    mutable std::mutex m_mutex;
    QByteArray m_waiting;
};

} // namespace zm
