#include "link/open_failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <vector>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zm {

QString portLabel(const QString &port, const QString &path)
{
    return port.trimmed() == path ? path : QStringLiteral("%1 (%2)").arg(port.trimmed(), path);
}

#ifdef Q_OS_UNIX
namespace {

QString modeText(mode_t m)
{
    QString s;
    s += S_ISCHR(m) ? 'c' : S_ISDIR(m) ? 'd' : S_ISBLK(m) ? 'b' : S_ISLNK(m) ? 'l' : S_ISFIFO(m) ? 'p' : S_ISSOCK(m) ? 's' : '-';
    const mode_t bits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP, S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s += (m & bits[i]) ? QChar(letters[i]) : QChar('-');
    return s;
}

QString userName(uid_t uid)
{
    if (const passwd *pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    if (const group *g = ::getgrgid(gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(gid);
}

// Whether the account of `uid` lists `gid`, as a new login would get it.
bool accountHasGroup(uid_t uid, gid_t gid)
{
    const passwd *pw = ::getpwuid(uid);
    if (!pw)
        return false;
    const QByteArray name(pw->pw_name);
    const gid_t primary = pw->pw_gid;
    if (primary == gid)
        return true;
    int n = 64;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    if (::getgrouplist(name.constData(), primary, groups.data(), &n) < 0) {
        groups.resize(size_t(n));
        if (::getgrouplist(name.constData(), primary, groups.data(), &n) < 0)
            return false;
    }
    groups.resize(size_t(n));
    for (gid_t g : groups)
        if (g == gid)
            return true;
    return false;
}

bool processHasGroup(gid_t gid)
{
    if (::getegid() == gid || ::getgid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[size_t(i)] == gid)
            return true;
    return false;
}

} // namespace
#endif

// Lock files of the usual kind: "LCK.." and the device's path below /dev with '/' as '_'
// ("LCK..ttyUSB0", "LCK..pts_3", "LCK.._tmp_zm" for a link elsewhere), the pid on the first line.
QString lockHolder(const QString &path)
{
#ifdef Q_OS_UNIX
    QString base = path;
    if (base.startsWith(QLatin1String("/dev/")))
        base = base.mid(5);
    const QStringList names = {QStringLiteral("LCK..") + base.replace('/', '_'),
                               QStringLiteral("LCK..") + QFileInfo(path).fileName()};
    for (const QString &name : names) {
        for (const char *dir : {"/var/lock", "/run/lock", "/tmp"}) {
            QFile lock(QDir(QString::fromLatin1(dir)).filePath(name));
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool ok = false;
            const qint64 pid = QString::fromLatin1(lock.readLine()).trimmed().toLongLong(&ok);
            if (!ok || pid <= 0 || pid == qint64(::getpid()))
                continue;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (!comm.open(QIODevice::ReadOnly))
                continue; // a stale lock of a process that is gone
            return QStringLiteral("process %1 (%2)").arg(pid).arg(QString::fromLocal8Bit(comm.readAll()).trimmed());
        }
    }
#else
    Q_UNUSED(path);
#endif
    return {};
}

OpenFacts openFacts(const QString &path)
{
    OpenFacts f;
#ifdef Q_OS_UNIX
    const QByteArray p = QFile::encodeName(path);
    struct stat st {};
    if (::stat(p.constData(), &st) != 0)
        return f;
    f.exists = true;
    f.serialDevice = S_ISCHR(st.st_mode);
    f.accessible = ::access(p.constData(), R_OK | W_OK) == 0;
    f.mode = modeText(st.st_mode);
    f.owner = userName(st.st_uid);
    f.group = groupName(st.st_gid);
    f.groupMayOpen = st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
    f.user = userName(::getuid());
    f.inGroupAccount = accountHasGroup(::getuid(), st.st_gid);
    f.inGroupNow = processHasGroup(st.st_gid);
    if (f.accessible)
        f.holder = lockHolder(path);
#else
    const QFileInfo info(path);
    f.exists = info.exists();
    f.serialDevice = f.exists && !info.isDir() && !info.isFile();
    f.accessible = true;
#endif
    return f;
}

QString openFailureText(const QString &port, const QString &path, QSerialPort::SerialPortError error,
                        const QString &systemText, const OpenFacts &f)
{
    const QString label = portLabel(port, path);
    if (!f.exists || error == QSerialPort::DeviceNotFoundError)
        return QStringLiteral("%1 does not exist.").arg(label);
    if (!f.serialDevice)
        return QStringLiteral("%1 is not a serial port.").arg(label);
    if (error != QSerialPort::PermissionError)
        return QStringLiteral("Cannot open %1: %2").arg(label, systemText);
    if (f.accessible) {
        // The system lets us at the device, so someone else has it.
        return f.holder.isEmpty() ? QStringLiteral("%1 is in use by another program.").arg(label)
                                  : QStringLiteral("%1 is in use by %2.").arg(label, f.holder);
    }
    if (f.groupMayOpen && !f.inGroupAccount) {
        const QString user = f.user.isEmpty() ? QStringLiteral("$USER") : f.user;
        return QStringLiteral("No permission to open %1. It belongs to the group \"%2\": add your user to it "
                              "(sudo usermod -aG %2 %3) and log in again.")
            .arg(label, f.group, user);
    }
    if (f.groupMayOpen && !f.inGroupNow) {
        // The usual trap right after usermod: the account has the group, this session does not.
        return QStringLiteral("No permission to open %1. It belongs to the group \"%2\", and your user is in it, "
                              "but this session started before that: log out and in again (or run \"newgrp %2\" "
                              "in a terminal and start the program from there).")
            .arg(label, f.group);
    }
    if (!f.groupMayOpen) {
        return QStringLiteral("No permission to open %1 (%2, owner %3, group \"%4\"): that group may not read and "
                              "write it, so joining it does not help. A udev rule that gives the device the group "
                              "\"dialout\" and the mode 0660 lets the members of dialout open it.")
            .arg(label, f.mode, f.owner, f.group);
    }
    return QStringLiteral("No permission to open %1 (%2, owner %3, group \"%4\").").arg(label, f.mode, f.owner, f.group);
}

} // namespace zm
