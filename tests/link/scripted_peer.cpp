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
    const char head[] = {char(0x76), char(serial), char(code), char(status), char(data.size())};
    return QByteArray(head, 5) + data;
}

void ScriptedPeer::serve()
{
    while (!m_stop) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        std::vector<QByteArray> complete;
        {
            std::lock_guard lock(m_mutex);
            m_buffer += QByteArray(buf, int(std::max<ssize_t>(n, 0)));
            while (m_buffer.size() >= 4 && m_buffer.size() >= 4 + uint8_t(m_buffer[3])) {
                complete.push_back(m_buffer.left(4 + uint8_t(m_buffer[3])));
                m_frames.push_back(complete.back());
                m_buffer.remove(0, complete.back().size());
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
    for (const PeerAction &a : script ? script(frame) : std::vector<PeerAction>{}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
        if (a.hangup)
            return hangUp();
        send(a.bytes);
    }
}

} // namespace zm::test
