// The motion monitor under a fast detector: the simulated chip sends a notification every 5 ms
// for 10 s while `zmctl motion-watch` runs; every one of them must be counted. Baseline of the
// same run: a plain reader of the same kind of pseudo-terminal counting the same stream.
//
// Both runs end the same way: the chip stops sending, the line is given time to drain, then the
// reader stops (zmctl by Ctrl+C, which closes comm motion). Sent is what the chip sent.

#include "sim/pty_chip.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace zm;

namespace {

constexpr int kIntervalMs = 5;
constexpr int kRunMs = 10000;
constexpr int kDrainMs = 500;

struct Figures {
    int received = 0;
    int sent = 0;
    double ratio() const { return sent > 0 ? double(received) / sent : 0.0; }
};

// Counts complete notification frames (76 ss 39 00 00) read straight from the line.
Figures plainReader()
{
    sim::PtyChip chip;
    chip.setMotionInterval(kIntervalMs);
    const int fd = ::open(QFile::encodeName(chip.slavePath()).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror("bench_motion: open");
        std::exit(1);
    }
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    const QByteArray frame = QByteArray::fromHex("7600390000");
    QByteArray pending;
    Figures f;
    auto readFor = [&](int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.append(buf, int(n));
            qsizetype at;
            while ((at = pending.indexOf(frame)) >= 0) {
                ++f.received;
                pending.remove(0, at + frame.size());
            }
        }
    };
    chip.setCommMotionOpen(true);
    readFor(kRunMs);
    chip.setCommMotionOpen(false);
    readFor(kDrainMs);
    f.sent = chip.notificationCount();
    ::close(fd);
    return f;
}

struct WatchFigures : Figures {
    double meanInterval = 0;
    int maxInterval = 0;
    int exitCode = -1;
    bool closed = false;
};

WatchFigures motionWatch(const QString &zmctl)
{
    sim::PtyChip chip;
    chip.setMotionInterval(kIntervalMs);
    QProcess p;
    p.start(zmctl, {"--port", chip.slavePath(), "motion-watch"});
    if (!p.waitForStarted()) {
        std::fprintf(stderr, "bench_motion: cannot start %s\n", qPrintable(zmctl));
        std::exit(1);
    }
    WatchFigures f;
    QByteArray out;
    auto take = [&] {
        out += p.readAllStandardOutput();
        qsizetype nl;
        while ((nl = out.indexOf('\n')) >= 0) {
            const QList<QByteArray> parts = out.left(nl).split(' ');
            out.remove(0, nl + 1);
            if (parts.size() != 5)
                continue;
            ++f.received;
            const int interval = parts[3].toInt();
            if (f.received > 1) {
                f.meanInterval += interval;
                f.maxInterval = std::max(f.maxInterval, interval);
            }
        }
    };
    if (!chip.waitUntil([](const sim::ChipModel &m) { return m.commMotionOpen(); }, 10000)) {
        std::fprintf(stderr, "bench_motion: zmctl never opened comm motion: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kRunMs) {
        p.waitForReadyRead(50);
        take();
    }
    chip.setCommMotionOpen(false); // the detector goes quiet
    while (clock.elapsed() < kRunMs + kDrainMs) {
        p.waitForReadyRead(50);
        take();
    }
    ::kill(pid_t(p.processId()), SIGINT);
    p.waitForFinished(10000);
    take();
    f.sent = chip.notificationCount();
    f.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    f.closed = !chip.commMotionOpen();
    if (f.received > 1)
        f.meanInterval /= f.received - 1;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString zmctl = QDir(QCoreApplication::applicationDirPath()).filePath("zmctl");
    std::printf("notifications every %d ms for %d s\n", kIntervalMs, kRunMs / 1000);
    const Figures base = plainReader();
    std::printf("baseline (plain reader of the line): received %d of %d (ratio %.3f)\n", base.received, base.sent,
                base.ratio());
    const WatchFigures w = motionWatch(zmctl);
    std::printf("motion-watch: exit %d, comm motion %s, intervals mean %.2f ms, max %d ms\n", w.exitCode,
                w.closed ? "closed" : "still open", w.meanInterval, w.maxInterval);
    std::printf("motion: received %d of %d (ratio %.3f)\n", w.received, w.sent, w.ratio());
    return 0;
}
