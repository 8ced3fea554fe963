#include "app/idle_capture.h"

namespace zm {

bool IdleCapture::open(const QString &path, QString *error)
{
    close();
    if (m_file.open(path, FileWriter::Mode::Append))
        return true;
    if (error)
        *error = m_file.reason();
    return false;
}

void IdleCapture::close()
{
    if (m_file.isOpen())
        m_file.commit();
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
    // Straight to the file, with no buffer of ours in between: what was shown is in the file even
    // if the program is killed. Syncing every batch would hold the GUI thread on a slow disk.
    if (!m_file.write(record)) {
        if (error)
            *error = m_file.reason();
        m_file.cancel();
        return false;
    }
    return true;
}

} // namespace zm
