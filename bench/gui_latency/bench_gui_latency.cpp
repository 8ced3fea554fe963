// How long the console's GUI thread goes unserved while the line is busy. A 1 ms timer on the
// GUI thread records how late it fires at worst, in three runs of the same program:
//   baseline: nothing happens;
//   fbuf:     the Fbuf window reads a 600 KiB picture from the simulated chip paced at 921600 baud;
//   data show: 16 MiB of idle bytes arrive in 4 KiB writes on a pseudo-terminal as fast as the
//             console takes them.
// Offscreen, as the tests run. Last line: "gui stall: fbuf W1 ms, data show W2 ms; baseline idle W0 ms".
// Each run also says how much of its worst gap the GUI thread itself was running: close to the
// gap, the program did too much at once; close to zero, the thread was waiting for a processor.

#include "app/comm_tool_dlg.h"
#include "app/data_show_view.h"
#include "bench/bench_support.h"
#include "link/link_session.h"
#include "sim/pty_chip.h"
#include "tools/fbuf_dlg.h"
#include "ui/message_recorder.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

// Fires every millisecond and keeps the worst lateness seen while running, with the processor
// time the GUI thread used within that gap.
struct Stall {
    double worstMs = 0;
    double busyMs = 0;
};

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            if (m_last > 0 && now - m_last - 1'000'000 > m_worst) {
                m_worst = now - m_last - 1'000'000;
                m_worstCpu = cpu - m_lastCpu;
            }
            m_last = now;
            m_lastCpu = cpu;
        });
    }
    void start()
    {
        m_worst = 0;
        m_worstCpu = 0;
        m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    Stall stop()
    {
        m_timer.stop();
        return {m_worst / 1e6, m_worstCpu / 1e6};
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    qint64 m_lastCpu = 0;
    qint64 m_worstCpu = 0;
};

// Runs the GUI thread's own event loop, as the program does, until `done` or the time-out.
bool runEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QElapsedTimer t;
    t.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(10);
    loop.exec();
    return done();
}

void runEventsFor(int ms)
{
    QElapsedTimer t;
    t.start();
    runEventsUntil([&] { return t.elapsed() >= ms; }, ms + 1000);
}

void openConsole(zm::CCommToolDlg &console, const QString &port, const QString &baud)
{
    console.selectPort(port);
    console.findChild<QComboBox *>("baudRateCombo")->setCurrentText(baud);
    console.findChild<QPushButton *>("openButton")->click();
    if (!console.isPortOpen()) {
        std::fprintf(stderr, "bench_gui_latency: cannot open %s\n", qPrintable(port));
        std::exit(1);
    }
}

Stall fbufRun(zm::LinkSession &session, zm::CCommToolDlg &console, zm::MessageRecorder &messages)
{
    zm::sim::PtyChip chip;
    chip.setBaud(921600);
    const QByteArray picture = zm::bench::pattern(600 * 1024);
    chip.setFrameBuffer(0, picture);
    openConsole(console, chip.slavePath(), QStringLiteral("115200"));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("picture.jpg"));
    zm::CFbufDlg fbuf(session, &console);
    fbuf.setFileChooser([&](bool, const QString &, const QString &) { return target; });
    fbuf.show();
    fbuf.findChild<QPushButton *>("selFileButton")->click();
    StallProbe probe;
    probe.start();
    messages.clear();
    fbuf.findChild<QPushButton *>("readButton")->click();
    const bool done = runEventsUntil([&] { return !session.isBusy(); }, 60000);
    const Stall worst = probe.stop();
    if (!done || messages.texts() != QStringList{QStringLiteral("Fbuf read finished!")}) {
        std::fprintf(stderr, "bench_gui_latency: the read did not finish: %s\n", qPrintable(messages.texts().join(" | ")));
        std::exit(1);
    }
    QFile f(target);
    if (!f.open(QIODevice::ReadOnly) || f.readAll() != picture) {
        std::fprintf(stderr, "bench_gui_latency: the picture read differs\n");
        std::exit(1);
    }
    fbuf.close();
    console.findChild<QPushButton *>("openButton")->click();
    return worst;
}

Stall dataShowRun(zm::CCommToolDlg &console)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        std::exit(1);
    }
    openConsole(console, QString::fromLocal8Bit(name), QStringLiteral("115200"));
    console.findChild<QCheckBox *>("hexShowCheck")->setChecked(true);
    constexpr qint64 kTotal = 16 * 1024 * 1024;
    constexpr int kBatch = 4096;
    std::atomic<bool> written{false};
    std::thread writer([&] {
        const QByteArray batch = zm::bench::pattern(kBatch);
        for (qint64 done = 0; done < kTotal; done += kBatch) {
            for (qsizetype off = 0; off < batch.size();) {
                const ssize_t n = ::write(master, batch.constData() + off, size_t(batch.size() - off));
                if (n > 0)
                    off += n;
            }
        }
        written = true;
    });
    StallProbe probe;
    probe.start();
    const auto &data = console.dataShow()->data();
    const bool done = runEventsUntil([&] { return written && data.size() >= kTotal; }, 300000);
    const Stall worst = probe.stop();
    writer.join();
    if (!done) {
        std::fprintf(stderr, "bench_gui_latency: the data show got %lld of %lld bytes\n", (long long)data.size(),
                     (long long)kTotal);
        std::exit(1);
    }
    console.findChild<QPushButton *>("openButton")->click();
    ::close(master);
    ::close(slave);
    return worst;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zm::MessageRecorder messages;
    zm::LinkSession session;
    {
        zm::CCommToolDlg console(session);
        console.resize(1024, 700);
        console.show();
        runEventsFor(200);

        StallProbe idle;
        idle.start();
        runEventsFor(2000);
        const Stall w0 = idle.stop();

        const Stall w1 = fbufRun(session, console, messages);
        std::printf("fbuf read of 600 KiB at 921600 baud: worst GUI lateness %.2f ms (the GUI thread ran %.2f ms of it)\n",
                    w1.worstMs, w1.busyMs);
        const Stall w2 = dataShowRun(console);
        std::printf("data show fed 16 MiB in 4 KiB writes: worst GUI lateness %.2f ms (the GUI thread ran %.2f ms of it)\n",
                    w2.worstMs, w2.busyMs);
        std::printf("gui stall: fbuf %.2f ms, data show %.2f ms; baseline idle %.2f ms\n", w1.worstMs, w2.worstMs,
                    w0.worstMs);
        zm::WorkerRunner::shutdown(session);
    }
    return 0;
}
