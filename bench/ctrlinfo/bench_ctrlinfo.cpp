// Upload and download with verification of 16 KiB of I2C EEPROM against the simulated chip paced
// like a real line at 115200 baud with a 1 ms turnaround.
//
// Model time: for every command, its frame and its answer at line rate plus the turnaround; the
// least a PC can take. Efficiency = model time / measured time. Baseline of the same run: the
// same frames replayed by a plain loop (write the frame, read its answer) on the same kind of
// simulated line, which shows what the line itself allows.

#include "ctrlinfo/ctrl_info.h"
#include "bench/bench_support.h"
#include "sim/pty_chip.h"
#include "tools/device_transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace zm;

namespace {

constexpr int kBaud = 115200;
constexpr int kTurnaroundMs = 1;
constexpr int kBytes = 16 * 1024;

sim::PtyChip::Options options()
{
    sim::PtyChip::Options o;
    o.baud = kBaud;
    o.turnaroundMs = kTurnaroundMs;
    return o;
}

// The answer a command frame gets: 5 bytes of head, and the bytes read for a read-data.
int answerLength(const QByteArray &frame)
{
    const auto *d = reinterpret_cast<const uint8_t *>(frame.constData());
    return 5 + (d[2] == cmd::ReadData ? d[5] : 0);
}

double modelSeconds(const QList<QByteArray> &frames)
{
    double s = 0;
    for (const QByteArray &f : frames)
        s += (f.size() + answerLength(f)) * 10.0 / kBaud + kTurnaroundMs / 1000.0;
    return s;
}

// The baseline: the frames one after the other, each answer read whole, nothing else.
double plainSeconds(const QList<QByteArray> &frames)
{
    sim::PtyChip chip(options());
    const int fd = ::open(qPrintable(chip.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &f : frames) {
        (void)!::write(fd, f.constData(), size_t(f.size()));
        const int want = answerLength(f);
        unsigned char buf[64];
        int got = 0;
        while (got < want) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 1000);
            const ssize_t n = ::read(fd, buf + got, sizeof buf - size_t(got));
            if (n > 0)
                got += int(n);
        }
    }
    const double s = clock.nsecsElapsed() / 1e9;
    ::close(fd);
    return s;
}

struct Result {
    double efficiency = 0;
    qsizetype commands = 0;
};

Result measure(bool download, const QString &dir)
{
    sim::PtyChip chip(options());
    LinkSession session;
    bench::openOrExit(session, chip, kBaud, "bench_ctrlinfo");
    Commands c(session);
    QString failure;
    Report report = bench::failureReport(&failure);
    const DeviceSetup setup{CtrlInfoDevice::I2cEeprom, 65536, 256};
    const QString path = dir + (download ? "/in.bin" : "/out.bin");
    if (download) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bench::pattern(kBytes)) != kBytes) {
            std::fprintf(stderr, "bench_ctrlinfo: cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
    }
    DeviceTransfer transfer(c, report);
    QElapsedTimer clock;
    clock.start();
    const bool ok = (download ? transfer.download(setup, path)
                              : transfer.upload(setup, {UploadAmount::GivenSize, uint32_t(kBytes), path}))
                        .succeeded();
    const double measured = clock.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "bench_ctrlinfo: %s failed: %s\n", download ? "download" : "upload", qPrintable(failure));
        std::exit(1);
    }
    session.close();
    const QList<QByteArray> frames = chip.frames();
    const double model = modelSeconds(frames);
    const double plain = plainSeconds(frames);
    std::printf("%-8s %d bytes, %lld commands: measured %.3f s, model %.3f s, plain loop %.3f s; "
                "efficiency %.3f (plain loop %.3f)\n",
                download ? "download" : "upload", kBytes, qlonglong(frames.size()), measured, model, plain,
                model / measured, model / plain);
    std::fflush(stdout);
    return {model / measured, frames.size()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const Result up = measure(false, dir.path());
    const Result down = measure(true, dir.path());
    std::printf("ctrlinfo: upload %.3f, download %.3f (%lld commands)\n", up.efficiency, down.efficiency,
                qlonglong(up.commands + down.commands));
    return 0;
}
