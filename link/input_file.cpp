#include "link/input_file.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zm {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString count(qint64 n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(QLocale::c().toString(n));
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

InputFile InputFile::read(const QString &path, qint64 limit, Kinds kinds, std::stop_token stop)
{
    InputFile in;
    const auto failed = [&](Status status, const QString &why) {
        in.status = status;
        in.error = QStringLiteral("%1: %2").arg(path, why);
        in.data.clear();
        return in;
    };
    if (path.isEmpty()) {
        in.error = QStringLiteral("no file name was given");
        return in;
    }
    // O_NONBLOCK: a FIFO opens at once even when nothing writes into it.
    const Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return failed(Status::Failed, errno == ENOENT ? QStringLiteral("there is no such file") : systemText(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failed(Status::Failed, systemText(errno));
    const bool regular = S_ISREG(st.st_mode);
    const bool stream = S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode);
    if (S_ISDIR(st.st_mode))
        return failed(Status::Failed, QStringLiteral("it is a folder, not a file"));
    if (!regular && !(stream && kinds == Streams))
        return failed(Status::Failed, stream ? QStringLiteral("it is not a regular file; give a file that holds the data")
                                             : QStringLiteral("it is not a file this command can read"));
    if (regular) {
        in.size = st.st_size;
        if (st.st_size > limit)
            return failed(Status::TooLong, QStringLiteral("it is %1 long, more than the %2 this takes")
                                               .arg(count(st.st_size), count(limit)));
        const int flags = ::fcntl(fd.get(), F_GETFL);
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    }

    // One byte more than the limit tells that there is more.
    in.data.resize(qsizetype(std::min<qint64>(limit + 1, regular ? st.st_size + 1 : 64 * 1024)));
    qint64 got = 0;
    QElapsedTimer silent;
    silent.start();
    for (;;) {
        if (got == in.data.size()) {
            if (got > limit)
                break;
            in.data.resize(qsizetype(std::min<qint64>(limit + 1, got * 2)));
        }
        if (stream) {
            // Waits in short steps, so that a stop request or a writer that never comes ends it.
            pollfd p{fd.get(), POLLIN, 0};
            const int r = ::poll(&p, 1, 50);
            if (r < 0 && errno != EINTR)
                return failed(Status::Failed, systemText(errno));
            if (stop.stop_requested())
                return failed(Status::Stopped, QStringLiteral("stopped while reading"));
            if (r <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) {
                if (got == 0 && silent.elapsed() >= kFirstByteGraceMs)
                    return failed(Status::Failed, QStringLiteral("nothing was written into it; start the program "
                                                                 "that writes it first"));
                continue;
            }
        }
        const ssize_t n = ::read(fd.get(), in.data.data() + got, size_t(in.data.size() - got));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return failed(Status::Failed, systemText(errno));
        if (n == 0)
            break;
        got += n;
    }
    if (got > limit)
        return failed(Status::TooLong, QStringLiteral("it holds more than the %1 this takes").arg(count(limit)));
    in.data.resize(qsizetype(got));
    in.status = Status::Ok;
    return in;
}

} // namespace zm
