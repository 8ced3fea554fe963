#include "app/idle_capture.h"

#include "link/file_reasons.h"

namespace zm {

bool IdleCapture::open(const QString &path, QString *error)
{
    close();
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    if (error)
        *error = whyNotWritable(path, m_file.errorString());
    return false;
}

void IdleCapture::close()
{
    if (m_file.isOpen())
        m_file.close();
}

QByteArray IdleCapture::header(const QDateTime &when, qint64 count)
{
    return QStringLiteral("--- %1 %2 %3\n")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
        .arg(count)
        .arg(count == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
        .toUtf8();
}

bool IdleCapture::write(const QByteArray &bytes, const QDateTime &when, QString *error)
{
    if (!m_file.isOpen() || bytes.isEmpty())
        return m_file.isOpen();
    const QByteArray record = header(when, bytes.size()) + bytes + '\n';
    if (m_file.write(record) != record.size() || !m_file.flush()) {
        if (error)
            *error = m_file.errorString();
        close();
        return false;
    }
    return true;
}

} // namespace zm
