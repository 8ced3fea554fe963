#include "cli/progress_line.h"

#include <cstdio>
#include <unistd.h>

namespace zm {

ProgressLine::ProgressLine(const QString &what)
    : m_what(what)
    , m_tty(::isatty(2))
{
    m_clock.start();
}

ProgressLine::~ProgressLine()
{
    finish();
}

void ProgressLine::update(int64_t done, int64_t total)
{
    // A total of 0 is a procedure setting its progress back: nothing to draw yet.
    if (!m_tty || total <= 0)
        return;
    const int64_t now = m_clock.elapsed();
    if (now - m_lastDraw < 100 && done < total)
        return;
    m_lastDraw = now;
    const double seconds = now / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0;
    const int64_t left = rate > 0 ? int64_t((total - done) / rate) : -1;
    if (left >= 0)
        std::fprintf(stderr, "\rzmctl: %s: %lld/%lld bytes  %.1f KiB/s  %lld:%02lld left   ", qPrintable(m_what), (long long)done,
                     (long long)total, rate / 1024, (long long)left / 60, (long long)left % 60);
    else
        std::fprintf(stderr, "\rzmctl: %s: %lld/%lld bytes   ", qPrintable(m_what), (long long)done, (long long)total);
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::message(const QString &text)
{
    if (text.isEmpty())
        return;
    finish();
    for (const QString &line : text.split('\n'))
        std::fprintf(stderr, "zmctl: %s\n", qPrintable(line));
    std::fflush(stderr);
}

void ProgressLine::finish()
{
    if (m_shown) {
        std::fputc('\n', stderr);
        m_shown = false;
    }
}

} // namespace zm
