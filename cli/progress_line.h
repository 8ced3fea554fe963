#pragma once
// A progress line on a terminal's stderr: bytes, rate and time left. Silent when stderr is not a
// terminal, so scripts and logs get only the result.

#include <QElapsedTimer>

#include <cstdint>

namespace zm {

class ProgressLine
{
public:
    explicit ProgressLine(const char *what);
    ~ProgressLine();

    void update(int64_t done, int64_t total);
    void finish();

private:
    const char *m_what;
    bool m_tty;
    bool m_shown = false;
    QElapsedTimer m_clock;
    int64_t m_lastDraw = -1000;
};

} // namespace zm
