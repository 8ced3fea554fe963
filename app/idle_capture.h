#pragma once
// The data show's "Log to file": every batch of idle bytes appended to a file as it comes, after
// a line that says when and how many, and written at once, so nothing is lost when the program
// ends. The bytes themselves are written as they came.
//
//     --- 2026-12-06 12:00:01.123 5 bytes
//     <the 5 bytes>
//
// A line feed follows each batch, so that the next line starts on a line of its own.

#include "link/file_writer.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace zm {

class IdleCapture
{
public:
    // Appends to `path`; false with the reason when it cannot be written.
    bool open(const QString &path, QString *error);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.path(); }

    // False when the file stopped taking bytes (a full disk, a removed stick); it is closed then.
    bool write(const QByteArray &bytes, const QDateTime &when, QString *error);

    static QByteArray header(const QDateTime &when, qint64 count);

private:
    FileWriter m_file;
};

} // namespace zm
