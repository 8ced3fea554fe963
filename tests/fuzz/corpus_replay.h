#pragma once
// A seed corpus replayed through a target's invariants, for the replays that CTest runs.

#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace zm::fuzz {

// Runs `check(data, size, &why)` on every file of the folder: empty when every invariant held,
// else "<file>: <why>" of the first that broke (or why the folder could not be replayed).
template <typename Check>
QString replayCorpus(const QString &folder, Check check)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files);
    if (names.isEmpty())
        return QStringLiteral("no corpus in %1").arg(folder);
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return name + QStringLiteral(": ") + f.errorString();
        const QByteArray b = f.readAll();
        QString why;
        if (!check(reinterpret_cast<const uint8_t *>(b.constData()), size_t(b.size()), &why))
            return name + QStringLiteral(": ") + why;
    }
    return {};
}

} // namespace zm::fuzz
