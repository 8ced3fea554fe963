// Frame-buffer transfers against the simulated chip paced like a real line. Efficiency is the
// line time of the picture's bytes over the measured time of the whole procedure.

#include "tools/fbuf_transfer.h"
#include "bench/bench_support.h"
#include "sim/pty_chip.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace zm;

namespace {

struct Result {
    double efficiency = 0;
    double seconds = 0;
    double lineSeconds = 0;
};

Result measure(int baud, bool write, int bytes, const QString &dir)
{
    sim::PtyChip chip;
    chip.setBaud(baud);
    LinkSession session;
    bench::openOrExit(session, chip, baud, "bench_fbuf");
    Commands c(session);
    QString failure;
    Report report = bench::failureReport(&failure);
    FbufTransfer transfer(c, report);
    FbufOptions o;
    o.path = dir + (write ? "/in.bin" : "/out.bin");
    const QByteArray data = bench::pattern(bytes);
    if (write) {
        QFile f(o.path);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.close();
        chip.withModel([](sim::ChipModel &m) { m.frameBuffers().control(0); });
    } else {
        chip.setFrameBuffer(0, data);
    }
    QElapsedTimer t;
    t.start();
    const bool ok = (write ? transfer.writeFromFile(o) : transfer.readToFile(o)).isDone();
    Result r;
    r.seconds = t.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "bench_fbuf: transfer failed: %s\n", qPrintable(failure));
        std::exit(1);
    }
    r.lineSeconds = bytes * 10.0 / baud;
    r.efficiency = r.lineSeconds / r.seconds;
    std::printf("%s %7d bytes at %6d baud: %.3f s, line time %.3f s, efficiency %.3f", write ? "write" : "read ",
                bytes, baud, r.seconds, r.lineSeconds, r.efficiency);
    if (write) {
        // A write pauses for the chip before streaming and before setting the length.
        const double pauses = (FbufTransfer::kWriteStartPauseMs + FbufTransfer::kWriteSettleMs) / 1000.0;
        std::printf(" (%.3f without its %.0f ms of fixed pauses)", r.lineSeconds / (r.seconds - pauses), pauses * 1000);
    }
    std::printf("\n");
    std::fflush(stdout);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int readBytes = 600 * 1024;
    const int writeBytes = 64 * 1024;
    const Result r1 = measure(115200, false, readBytes, dir.path());
    const Result r2 = measure(921600, false, readBytes, dir.path());
    const Result w1 = measure(115200, true, writeBytes, dir.path());
    const Result w2 = measure(921600, true, writeBytes, dir.path());
    std::printf("fbuf read: 115200 %.3f, 921600 %.3f; fbuf write: 115200 %.3f, 921600 %.3f\n", r1.efficiency,
                r2.efficiency, w1.efficiency, w2.efficiency);
    return 0;
}
