// Streams a frame buffer through the simulated chip's pseudo-terminal and compares the time
// the PC side sees with the line time baud / 10 bytes per second; the unpaced pseudo-terminal
// is the baseline.
//
//   bench_sim_stream [--size BYTES] [--baud RATE]... [--no-write]
//
// Default: 614400 bytes (600 KiB) read at 115200 and 921600 baud, written at 921600 baud.

#include "sim/pty_chip.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

int openPort(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

bool readExactly(int fd, char *out, size_t count, Clock::time_point *firstByte = nullptr)
{
    size_t got = 0;
    while (got < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20'000) <= 0)
            return false;
        const ssize_t n = ::read(fd, out + got, count - got);
        if (n <= 0)
            return false;
        if (got == 0 && firstByte)
            *firstByte = Clock::now();
        got += size_t(n);
    }
    return true;
}

QByteArray be32(uint32_t v)
{
    QByteArray b(4, '\0');
    zm::putBe32(reinterpret_cast<uint8_t *>(b.data()), v);
    return b;
}

// Seconds from the first to the last raw byte of a frame-buffer read, -1 on failure.
double timeRead(int baud, const QByteArray &picture)
{
    zm::sim::PtyChip::Options options;
    options.baud = baud;
    zm::sim::PtyChip chip(options);
    chip.setFrameBuffer(0, picture);
    const int fd = openPort(chip.slavePath());
    const QByteArray frame = QByteArray::fromHex("5600320c0002 00000000") + be32(uint32_t(picture.size()))
        + QByteArray::fromHex("0bb8");
    if (::write(fd, frame.constData(), size_t(frame.size())) != frame.size())
        return -1;
    std::vector<char> buffer(size_t(picture.size()) + 5);
    Clock::time_point first;
    if (!readExactly(fd, buffer.data(), 5))
        return -1;
    // The first raw byte is taken on its own so that its arrival is the start mark.
    if (!readExactly(fd, buffer.data(), 1, &first)
        || !readExactly(fd, buffer.data() + 1, size_t(picture.size()) - 1))
        return -1;
    const Clock::time_point last = Clock::now();
    const bool same = QByteArray::fromRawData(buffer.data(), picture.size()) == picture;
    char closing[5];
    const bool closed = readExactly(fd, closing, 5);
    ::close(fd);
    if (!same || !closed)
        return -1;
    return std::chrono::duration<double>(last - first).count();
}

// Seconds from the first raw byte written to the closing answer of a frame-buffer write.
double timeWrite(int baud, const QByteArray &picture)
{
    zm::sim::PtyChip::Options options;
    options.baud = baud;
    zm::sim::PtyChip chip(options);
    const int fd = openPort(chip.slavePath());
    const QByteArray frame = QByteArray::fromHex("5600330b02 00000000") + be32(uint32_t(picture.size()))
        + QByteArray::fromHex("0000");
    char answer[5];
    if (::write(fd, frame.constData(), size_t(frame.size())) != frame.size() || !readExactly(fd, answer, 5))
        return -1;
    const Clock::time_point start = Clock::now();
    for (qsizetype offset = 0; offset < picture.size();) {
        const ssize_t n = ::write(fd, picture.constData() + offset, size_t(std::min<qsizetype>(4096, picture.size() - offset)));
        if (n <= 0)
            return -1;
        offset += n;
    }
    if (!readExactly(fd, answer, 5))
        return -1;
    const Clock::time_point end = Clock::now();
    ::close(fd);
    if (chip.withModel([](zm::sim::ChipModel &m) { return m.frameBuffers().read(0, 0, 16); }) != picture.left(16))
        return -1;
    return std::chrono::duration<double>(end - start).count();
}

void report(const char *what, int baud, qsizetype bytes, double seconds)
{
    if (seconds < 0) {
        std::printf("%-6s %8d baud  %8lld bytes  FAILED\n", what, baud, static_cast<long long>(bytes));
        return;
    }
    if (baud == 0) {
        std::printf("%-6s   unpaced      %8lld bytes  %9.4f s  (%.1f MB/s, baseline)\n", what,
                    static_cast<long long>(bytes), seconds, bytes / seconds / 1e6);
        return;
    }
    const double line = double(bytes) * 10.0 / baud;
    std::printf("%-6s %8d baud  %8lld bytes  %9.4f s  line time %9.4f s  deviation %+.3f %%\n", what, baud,
                static_cast<long long>(bytes), seconds, line, (seconds - line) / line * 100.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qsizetype size = 600 * 1024;
    QList<int> bauds;
    bool write = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size())
            size = args[++i].toLongLong();
        else if (args[i] == "--baud" && i + 1 < args.size())
            bauds.append(args[++i].toInt());
        else if (args[i] == "--no-write")
            write = false;
        else {
            std::fprintf(stderr, "usage: bench_sim_stream [--size BYTES] [--baud RATE]... [--no-write]\n");
            return 2;
        }
    }
    if (bauds.isEmpty())
        bauds = {115200, 921600};

    QByteArray picture(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        picture[i] = char((i * 131) ^ (i >> 7));

    report("read", 0, size, timeRead(0, picture));
    for (int baud : bauds) {
        // The first and last raw byte are N - 1 byte times apart.
        const double t = timeRead(baud, picture);
        report("read", baud, size - 1, t);
    }
    if (write) {
        report("write", 0, size, timeWrite(0, picture));
        report("write", 921600, size, timeWrite(921600, picture));
    }
    return 0;
}
