#include "ui/message_recorder.h"

#include <atomic>

namespace zm {

namespace {
std::atomic<MessageRecorder *> g_recorder{nullptr};
}

MessageRecorder::MessageRecorder()
{
    g_recorder.store(this);
}

MessageRecorder::~MessageRecorder()
{
    g_recorder.store(nullptr);
}

MessageRecorder *MessageRecorder::current()
{
    return g_recorder.load();
}

void MessageRecorder::setAnswer(QMessageBox::StandardButton answer)
{
    std::lock_guard lock(m_mutex);
    m_answer = answer;
}

void MessageRecorder::record(const RecordedMessage &m)
{
    std::lock_guard lock(m_mutex);
    m_messages.append(m);
}

QMessageBox::StandardButton MessageRecorder::answer() const
{
    std::lock_guard lock(m_mutex);
    return m_answer;
}

QList<RecordedMessage> MessageRecorder::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

QStringList MessageRecorder::texts() const
{
    std::lock_guard lock(m_mutex);
    QStringList out;
    for (const auto &m : m_messages)
        out.append(m.text);
    return out;
}

QStringList MessageRecorder::headlines() const
{
    QStringList lines;
    for (const QString &text : texts())
        lines << text.section(QLatin1Char('\n'), 0, 0);
    return lines;
}

int MessageRecorder::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_messages.size());
}

RecordedMessage MessageRecorder::at(int i) const
{
    std::lock_guard lock(m_mutex);
    return i >= 0 && i < m_messages.size() ? m_messages.at(i) : RecordedMessage{};
}

void MessageRecorder::clear()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

} // namespace zm
