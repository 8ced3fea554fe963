#include "link/file_writer.h"

#include "link/file_reasons.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zm {

namespace {

// Temporary files of writers that have not committed yet, for removePendingTemporaries().
std::timed_mutex g_pendingMutex;
std::vector<std::string> g_pending;

void remember(const QByteArray &path)
{
    std::lock_guard lock(g_pendingMutex);
    g_pending.push_back(path.toStdString());
}

void forget(const QByteArray &path)
{
    std::lock_guard lock(g_pendingMutex);
    const auto it = std::find(g_pending.begin(), g_pending.end(), path.toStdString());
    if (it != g_pending.end())
        g_pending.erase(it);
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The mask new files get: read from the kernel rather than by setting it, which would race with
// other threads creating files.
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    }
    return 022;
}

QByteArray folderOf(const QByteArray &path)
{
    QByteArray copy = path;
    return QByteArray(::dirname(copy.data()));
}

QByteArray nameOf(const QByteArray &path)
{
    QByteArray copy = path;
    return QByteArray(::basename(copy.data()));
}

} // namespace

FileWriter::~FileWriter()
{
    cancel();
}

bool FileWriter::failWith(const QString &reason)
{
    if (m_error.isEmpty()) {
        m_reason = reason;
        m_error = QStringLiteral("%1: %2").arg(m_path, reason);
    }
    return false;
}

bool FileWriter::failWithErrno(int error)
{
    return failWith(systemText(error));
}

bool FileWriter::isStreamTarget(const QString &path)
{
    if (path == QLatin1String("-"))
        return true;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
}

QString FileWriter::whyNot(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no file name was given");
    if (path == QLatin1String("-"))
        return {};
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            return whyNotWritable(path, systemText(errno));
    } else if (S_ISDIR(st.st_mode)) {
        return QStringLiteral("it is a folder");
    } else if (S_ISSOCK(st.st_mode)) {
        return QStringLiteral("it is a socket, not a file");
    } else if (S_ISBLK(st.st_mode)) {
        return QStringLiteral("it is a block device; this program does not write to disks");
    } else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        return ::access(native.constData(), W_OK) == 0 ? QString() : whyNotWritable(path, systemText(errno));
    }
    // A temporary file that is removed at once: the folder takes new files and the target may be
    // replaced.
    FileWriter probe;
    if (!probe.open(path))
        return probe.reason();
    probe.cancel();
    return {};
}

bool FileWriter::open(const QString &path, Mode mode, std::stop_token stop)
{
    cancel();
    m_path = path;
    m_mode = mode;
    m_error.clear();
    m_reason.clear();
    m_written = 0;
    m_stream = false;
    m_ownsFd = true;
    m_temporary.clear();
    if (path.isEmpty())
        return failWith(QStringLiteral("no file name was given"));
    if (path == QLatin1String("-")) {
        m_fd = STDOUT_FILENO;
        m_ownsFd = false;
        m_stream = true;
        m_path = QStringLiteral("standard output");
        return true;
    }

    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return failWith(whyNotWritable(path, systemText(errno)));
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return failWith(QStringLiteral("it is a folder"));
        if (S_ISSOCK(st.st_mode))
            return failWith(QStringLiteral("it is a socket, not a file"));
        if (S_ISBLK(st.st_mode))
            return failWith(QStringLiteral("it is a block device; this program does not write to disks"));
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            return openStream(path, native, stop);
    }

    // A symbolic link keeps pointing where it did: the file it names is the one replaced.
    m_target = native;
    if (exists) {
        if (char *real = ::realpath(native.constData(), nullptr)) {
            m_target = QByteArray(real);
            ::free(real);
        }
    }

    if (mode == Mode::Append) {
        m_fd = ::open(m_target.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_fd < 0)
            return failWith(whyNotWritable(path, systemText(errno)));
        return true;
    }

    if (exists && ::access(m_target.constData(), W_OK) != 0)
        return failWith(whyNotWritable(path, systemText(errno)));
    QByteArray name = folderOf(m_target) + "/." + nameOf(m_target) + ".XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return failWith(whyNotWritable(path, systemText(errno)));
    m_temporary = name;
    remember(m_temporary);
    // The new file looks like the one it replaces, or like any new file of this user.
    if (exists) {
        ::fchmod(m_fd, st.st_mode & 07777);
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away; the user's own group is what a copy would get too.
        }
    } else {
        ::fchmod(m_fd, 0666 & ~currentUmask());
    }
    return true;
}

bool FileWriter::openStream(const QString &shown, const QByteArray &native, std::stop_token stop)
{
    Q_UNUSED(shown);
    m_stream = true;
    // Opened without blocking: a FIFO nobody reads yet refuses (ENXIO) instead of hanging the
    // program where no stop request can reach it, so it is tried again until a reader comes, the
    // stop is requested or the grace has passed.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReaderGraceMs);
    for (;;) {
        m_fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (m_fd >= 0)
            break;
        if (errno != ENXIO && errno != EINTR)
            return failWith(whyNotWritable(m_path, systemText(errno)));
        if (stop.stop_requested())
            return failWith(QStringLiteral("nothing opened it for reading"));
        if (std::chrono::steady_clock::now() >= giveUp)
            return failWith(QStringLiteral("nothing opened it for reading within %1 s").arg(kReaderGraceMs / 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

bool FileWriter::write(const char *data, qint64 n)
{
    if (!m_error.isEmpty())
        return false;
    if (m_fd < 0)
        return failWith(QStringLiteral("it is not open"));
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::write(m_fd, data + done, size_t(n - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return failWithErrno(errno);
        if (w == 0)
            return failWithErrno(ENOSPC);
        done += w;
        m_written += w;
    }
    return true;
}

bool FileWriter::sync()
{
    if (!m_error.isEmpty())
        return false;
    if (m_fd < 0 || m_stream)
        return m_fd >= 0;
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return failWithErrno(errno);
    return true;
}

bool FileWriter::commit()
{
    if (m_fd < 0 && m_error.isEmpty())
        return failWith(QStringLiteral("it is not open"));
    bool ok = m_error.isEmpty();
    if (ok && !m_stream && ::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        ok = failWithErrno(errno);
    if (m_fd >= 0 && m_ownsFd) {
        // A file system that writes back late (NFS) tells of a failure only here.
        if (::close(m_fd) != 0 && errno != EINTR && ok)
            ok = failWithErrno(errno);
    }
    m_fd = -1;
    if (m_temporary.isEmpty())
        return ok;
    if (ok && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        ok = failWith(whyNotWritable(m_path, systemText(errno)));
    if (ok) {
        // The rename itself reaches the disk with its folder.
        const int dir = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    } else {
        ::unlink(m_temporary.constData());
    }
    forgetTemporary();
    return ok;
}

bool FileWriter::publish()
{
    if (!m_error.isEmpty())
        return false;
    if (m_fd < 0)
        return failWith(QStringLiteral("it is not open"));
    if (m_temporary.isEmpty())
        return true;
    if (::fsync(m_fd) != 0)
        return failWithErrno(errno);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return failWith(whyNotWritable(m_path, systemText(errno)));
    forgetTemporary();
    return true;
}

void FileWriter::cancel()
{
    if (m_fd >= 0 && m_ownsFd)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        forgetTemporary();
    }
}

void FileWriter::forgetTemporary()
{
    forget(m_temporary);
    m_temporary.clear();
}

bool FileWriter::writeAll(const QString &path, const QByteArray &bytes, QString *error, std::stop_token stop)
{
    FileWriter out;
    const bool ok = out.open(path, Mode::Replace, stop) && out.write(bytes) && out.commit();
    if (!ok && error)
        *error = out.errorString();
    return ok;
}

void FileWriter::removePendingTemporaries()
{
    // A thread that holds the list for long is stuck; its file is then the one left.
    if (!g_pendingMutex.try_lock_for(std::chrono::milliseconds(200)))
        return;
    for (const std::string &path : g_pending)
        ::unlink(path.c_str());
    g_pending.clear();
    g_pendingMutex.unlock();
}

void FileWriter::ignoreWriteSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace zm
