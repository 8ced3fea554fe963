// Command round trip through the whole command session (one read-data of 4 chip registers) against
// a plain C loop doing the same exchange on the same kind of pseudo-terminal, in the same run.

#include "link/commands.h"
#include "protocol/traffic_rows.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zm;
using Clock = std::chrono::steady_clock;

namespace {

// The chip's side: answers every 8-byte read-data frame with 4 data bytes.
struct Responder {
    int master = -1;
    int keep = -1;
    char path[128] = {};
    std::atomic<bool> stop{false};
    std::thread thread;

    Responder()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        snprintf(path, sizeof path, "%s", ptsname(master));
        keep = open(path, O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(keep, &t);
        cfmakeraw(&t);
        tcsetattr(keep, TCSANOW, &t);
        thread = std::thread([this] { serve(); });
    }
    ~Responder()
    {
        stop = true;
        thread.join();
        close(keep);
        close(master);
    }
    void serve()
    {
        unsigned char in[64];
        int have = 0;
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = read(master, in + have, sizeof in - size_t(have));
            if (n <= 0)
                continue;
            have += int(n);
            while (have >= 8) {
                const unsigned char answer[9] = {0x76, in[1], 0x30, 0, 4, 0x11, 0x22, 0x33, 0x44};
                (void)!write(master, answer, sizeof answer);
                std::copy(in + 8, in + have, in);
                have -= 8;
            }
        }
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The baseline: write the frame, read the 9-byte answer, nothing else.
std::vector<double> rawRounds(const char *path, int rounds)
{
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const unsigned char frame[8] = {0x56, 0, 0x30, 4, 1, 4, 0x1A, 0x10};
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        (void)!write(fd, frame, sizeof frame);
        tcdrain(fd);
        unsigned char buf[32];
        int got = 0;
        while (got < 9) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 1000);
            const ssize_t n = read(fd, buf + got, sizeof buf - size_t(got));
            if (n > 0)
                got += int(n);
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    close(fd);
    return us;
}

// With `logging`, the traffic log records every frame while a reader takes them every 100 ms
// and turns them into rows, as the traffic log window does.
std::vector<double> layerRounds(const char *path, int rounds, bool logging = false)
{
    LinkSession session;
    std::atomic<bool> done{false};
    std::thread reader;
    if (logging) {
        session.traffic().recorder().setEnabled(true);
        reader = std::thread([&] {
            TrafficRows rows;
            std::vector<TrafficRecorder::Event> events;
            while (!done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                events.clear();
                session.traffic().recorder().take(events);
                rows.add(events);
            }
        });
    }
    struct Join {
        std::atomic<bool> &done;
        std::thread &reader;
        ~Join()
        {
            done = true;
            if (reader.joinable())
                reader.join();
        }
    } join{done, reader};
    QString error;
    if (!session.open(QString::fromLocal8Bit(path), "38400,n,8,1", &error)) {
        std::fprintf(stderr, "bench_link: %s\n", qPrintable(error));
        std::exit(1);
    }
    Commands c(session);
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        TransferRecord t;
        t.count = 4;
        t.address = 0x1A10;
        const auto t0 = Clock::now();
        const uint8_t r = c.readData(t);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (r != 0) {
            std::fprintf(stderr, "bench_link: read-data failed: %s\n", resultText(r));
            std::exit(1);
        }
    }
    return us;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30000;
    Responder chip;
    // Warm every path, then run them in short passes, each pass in another order, so that none of
    // them gets the quieter moments of the machine: the round trip on a pseudo-terminal has two
    // modes (the waiting thread woken from sleep or still looking), and which one dominates
    // drifts over seconds.
    rawRounds(chip.path, 200);
    layerRounds(chip.path, 200);
    layerRounds(chip.path, 200, true);
    std::vector<double> raw, session, logged;
    const int passes = 30;
    const int perPass = std::max(1, rounds / passes);
    for (int pass = 0; pass < passes; ++pass) {
        for (int k = 0; k < 3; ++k) {
            switch ((pass + k) % 3) {
            case 0: {
                auto r = rawRounds(chip.path, perPass);
                raw.insert(raw.end(), r.begin(), r.end());
                break;
            }
            case 1: {
                auto l = layerRounds(chip.path, perPass);
                session.insert(session.end(), l.begin(), l.end());
                break;
            }
            default: {
                auto g = layerRounds(chip.path, perPass, true);
                logged.insert(logged.end(), g.begin(), g.end());
            }
            }
        }
    }
    const double x = median(session), y = median(raw), z = median(logged);
    std::printf("rounds: %d each, medians below (mean: command %.1f us, with the traffic log %.1f us, raw %.1f us)\n",
                int(raw.size()), std::accumulate(session.begin(), session.end(), 0.0) / session.size(),
                std::accumulate(logged.begin(), logged.end(), 0.0) / logged.size(),
                std::accumulate(raw.begin(), raw.end(), 0.0) / raw.size());
    std::printf("with the traffic log recording: %.1f us, ratio %.2f (%+.1f %% against the ratio without it)\n", z,
                z / y, (z / x - 1) * 100);
    std::printf("command round trip: %.1f us, raw pseudo-terminal round trip: %.1f us, ratio %.2f\n", x, y, x / y);
    return 0;
}
