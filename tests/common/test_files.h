#pragma once
// Files as the tests set them up and look at them afterwards.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace zm::test {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What the file holds; empty also when there is no such file.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace zm::test
