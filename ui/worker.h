#pragma once
// What a worker body gets from the WorkerRunner: the command operations, its stop request, and
// the GUI thread for everything that touches a widget or shows a message. Each GUI call waits
// until it has run, so the order of updates and messages is the order of the worker's calls.

#include "link/commands.h"
#include "link/report.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <stop_token>

class QProgressBar;
class QLineEdit;

namespace zm {

class Worker
{
public:
    Worker(QWidget *window, LinkSession &session, std::stop_token stop = {});

    LinkSession &session() { return m_session; }
    Commands &commands() { return m_commands; }
    std::stop_token stopToken() const { return m_stop; }
    bool stopRequested() const { return m_stop.stop_requested(); }

    // Runs `fn` on the GUI thread and waits for it. `fn` is skipped when the window is gone.
    void gui(const std::function<void()> &fn);

    // A message box over the window, shown on the GUI thread; returns when it is closed. Nothing
    // is shown once the program is closing.
    QMessageBox::StandardButton message(const QString &text, QMessageBox::Icon icon = QMessageBox::Warning,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // The failure message of a command: `prefix` followed directly by the result text (no
    // prefix: the result text alone), then on a line of its own which command failed and what
    // to check. Not shown when the port went away: the console tells that once, for every window.
    void failure(uint8_t result, const QString &prefix = {});
    // Whether the body told a failure (or would have, had the port not gone away).
    bool failed() const { return m_failed; }

    // Where a long procedure's report shows in the window. Any of them may be null.
    struct ReportTargets {
        QProgressBar *progress = nullptr; // set in its own range: done * maximum / total
        QLineEdit *status = nullptr;
        QLineEdit *counter = nullptr;
        // Named values, on the GUI thread.
        std::function<void(const QString &name, const QString &text)> value;
    };
    // A report whose progress, texts and values land in the window's controls (only when they
    // change), whose messages are this worker's message boxes (questions with Yes and No) and
    // whose stop is this worker's stop request.
    Report report(const ReportTargets &targets);

private:
    QPointer<QWidget> m_window;
    LinkSession &m_session;
    Commands m_commands;
    std::stop_token m_stop;
    bool m_failed = false;
};

} // namespace zm
