#include "ui/port_watch.h"

#include <QFileInfo>

namespace zm {

namespace {
PortWatch *g_current = nullptr;
}

PortWatch::PortWatch(QObject *parent)
    : QObject(parent)
{
    g_current = this;
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::poll);
}

PortWatch::~PortWatch()
{
    if (g_current == this)
        g_current = nullptr;
}

PortWatch *PortWatch::current()
{
    return g_current;
}

void PortWatch::watch(const QString &port, const QString &devicePath)
{
    m_port = port;
    m_devicePath = devicePath;
    m_back = false;
    emit lost(port);
    m_timer.start();
}

void PortWatch::stop()
{
    m_timer.stop();
    m_back = false;
}

void PortWatch::poll()
{
    // A link whose target went away does not exist until something is behind it again.
    if (!QFileInfo::exists(m_devicePath))
        return;
    m_timer.stop();
    m_back = true;
    emit back(m_port);
}

bool PortWatch::reopen()
{
    if (!m_reopener || !m_reopener())
        return false;
    m_back = false;
    emit reopened();
    return true;
}

} // namespace zm
