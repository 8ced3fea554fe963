#pragma once
// A progress line on a terminal's stderr: what runs, bytes, rate and time left. Silent when
// stderr is not a terminal, so scripts and logs get only the result. Anything else printed
// while the line stands goes through message(), which ends the line first.

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

namespace zm {

class ProgressLine
{
public:
    explicit ProgressLine(const QString &what);
    ~ProgressLine();

    void update(int64_t done, int64_t total);
    // Prints each line of `text` on stderr after "zmctl: ", below the progress line.
    void message(const QString &text);
    void finish();

private:
    QString m_what;
    bool m_tty;
    bool m_shown = false;
    QElapsedTimer m_clock;
    int64_t m_lastDraw = -1000;
};

} // namespace zm
