#include "link/file_reasons.h"

#include <QFileInfo>
#include <QTemporaryFile>

namespace zm {

QString whyNotWritable(const QString &path, const QString &systemText)
{
    if (path.isEmpty())
        return QStringLiteral("no file name was given");
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (file.isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("the folder %1 does not exist").arg(folder);
    QTemporaryFile probe(folder + QStringLiteral("/.zm-probe-XXXXXX"));
    if (!probe.open())
        return QStringLiteral("the folder %1 does not take new files (%2)").arg(folder, probe.errorString());
    if (file.exists() && !file.isWritable())
        return QStringLiteral("%1 is read-only").arg(path);
    return systemText;
}

} // namespace zm
