#include "scripted_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace zm::test {

ScriptedPeer::ScriptedPeer(Script script)
    : m_script(std::move(script))
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(m_master);
    ::unlockpt(m_master);
    m_path = QString::fromLocal8Bit(::ptsname(m_master));
    // Keep the slave open ourselves so the master does not see a hang-up between clients.
    m_slaveKeep = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(m_slaveKeep, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slaveKeep, TCSANOW, &t);
    m_thread = std::thread([this] { serve(); });
}

ScriptedPeer::~ScriptedPeer()
{
    hangUp();
}

void ScriptedPeer::setScript(Script s)
{
    std::lock_guard lock(m_mutex);
    m_script = std::move(s);
}

std::vector<QByteArray> ScriptedPeer::frames() const
{
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void ScriptedPeer::send(const QByteArray &bytes)
{
    if (m_master >= 0)
        (void)::write(m_master, bytes.constData(), size_t(bytes.size()));
}

// Closing every descriptor of the master side is what an unplugged line looks like. From a
// script the serving thread ends itself; it is joined later.
void ScriptedPeer::hangUp()
{
    m_stop = true;
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    for (int *fd : {&m_master, &m_slaveKeep}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QByteArray ScriptedPeer::answer(uint8_t code, uint8_t status, const QByteArray &data, uint8_t serial)
{
    QByteArray a;
    a.append(char(0x76)).append(char(serial)).append(char(code)).append(char(status)).append(char(data.size()));
    return a + data;
}

void ScriptedPeer::serve()
{
    while (!m_stop) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            continue;
        std::vector<QByteArray> complete;
        {
            std::lock_guard lock(m_mutex);
            m_buffer += QByteArray(buf, int(n));
            while (m_buffer.size() >= 4 && m_buffer.size() >= 4 + uint8_t(m_buffer[3])) {
                const int len = 4 + uint8_t(m_buffer[3]);
                complete.push_back(m_buffer.left(len));
                m_frames.push_back(m_buffer.left(len));
                m_buffer = m_buffer.mid(len);
            }
        }
        for (const QByteArray &f : complete)
            handle(f);
    }
}

void ScriptedPeer::handle(const QByteArray &frame)
{
    Script script;
    {
        std::lock_guard lock(m_mutex);
        script = m_script;
    }
    if (!script)
        return;
    for (const PeerAction &a : script(frame)) {
        if (a.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
        if (a.hangup)
            return hangUp();
        send(a.bytes);
    }
}

} // namespace zm::test
