#pragma once
// A scripted chip for the link tests: the master side of a pseudo-terminal served by a thread.
// Each command frame that arrives is recorded and handed to the script, which says what to send
// back (in pieces, with pauses) or to hang up.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zm::test {

struct PeerAction {
    QByteArray bytes;
    int delayMs = 0;      // pause before these bytes
    bool hangup = false;  // close the line instead
};

class ScriptedPeer
{
public:
    using Script = std::function<std::vector<PeerAction>(const QByteArray &frame)>;

    explicit ScriptedPeer(Script script = {});
    ~ScriptedPeer();

    QString path() const { return m_path; }
    void setScript(Script s);
    std::vector<QByteArray> frames() const;
    // Sends bytes unasked.
    void send(const QByteArray &bytes);
    // Closes the line now, as an unplugged adapter would.
    void hangUp();

    // An answer frame: 76 serial code status length data.
    static QByteArray answer(uint8_t code, uint8_t status = 0, const QByteArray &data = {}, uint8_t serial = 0);

private:
    void serve();
    void handle(const QByteArray &frame);

    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    Script m_script;
    std::vector<QByteArray> m_frames;
    QByteArray m_buffer;
};

} // namespace zm::test
