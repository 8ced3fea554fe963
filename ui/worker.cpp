#include "ui/worker.h"

#include "link/failure_text.h"
#include "ui/gui_thread.h"
#include "ui/message_box.h"
#include "ui/worker_runner.h"

#include <QLineEdit>
#include <QProgressBar>

#include <memory>

namespace zm {

Worker::Worker(QWidget *window, LinkSession &session, std::stop_token stop)
    : m_window(window)
    , m_session(session)
    , m_commands(session, stop)
    , m_stop(std::move(stop))
{
}

void Worker::gui(const std::function<void()> &fn)
{
    runOnGuiThread([&] {
        if (m_window)
            fn();
    });
}

QMessageBox::StandardButton Worker::message(const QString &text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)
{
    if (icon == QMessageBox::Warning)
        m_failed = true;
    if (WorkerRunner::shuttingDown())
        return QMessageBox::NoButton;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    runOnGuiThread([&] { answer = showMessage(m_window.data(), text, icon, buttons); });
    return answer;
}

void Worker::failure(uint8_t result, const QString &prefix)
{
    // A command the stop request ended did what it was asked to: nothing to say.
    if (result == rc::Stopped)
        return;
    m_failed = true;
    // A command that failed because the port went away: the console says so, once.
    if (m_session.portLost())
        return;
    message(prefix + failureText(m_session, result));
}

Report Worker::report(const ReportTargets &targets)
{
    Report r;
    r.stop = m_stop;
    if (QPointer<QProgressBar> bar = targets.progress) {
        auto last = std::make_shared<int>(-1);
        // The bar's range is read once, on the GUI thread, and handed to the worker's side.
        int maximum = 100;
        gui([&] {
            if (bar)
                maximum = bar->maximum();
        });
        r.progress = [this, bar, last, maximum](qint64 done, qint64 total) {
            // Computed here, drawn only when the bar would move: a transfer reports far more
            // often than a bar can change.
            const int value = total > 0 ? int(done * maximum / total) : 0;
            if (value == *last)
                return;
            *last = value;
            gui([bar, value] {
                if (bar)
                    bar->setValue(value);
            });
        };
    }
    auto textTarget = [this](QLineEdit *edit) -> std::function<void(const QString &)> {
        if (!edit)
            return {};
        QPointer<QLineEdit> guarded(edit);
        return [this, guarded](const QString &text) {
            gui([guarded, text] {
                if (guarded && guarded->text() != text)
                    guarded->setText(text);
            });
        };
    };
    r.status = textTarget(targets.status);
    r.counter = textTarget(targets.counter);
    if (targets.value) {
        r.value = [this, value = targets.value](const QString &name, const QString &text) {
            gui([&] { value(name, text); });
        };
    }
    r.message = [this](const QString &text, MessageKind kind) {
        switch (kind) {
        case MessageKind::Question:
            return message(text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        case MessageKind::Information:
            message(text, QMessageBox::Information);
            return true;
        case MessageKind::Failure:
        case MessageKind::Warning:
            break;
        }
        m_failed = true;
        if (!m_session.portLost() && !text.isEmpty())
            message(text, QMessageBox::Warning);
        return true;
    };
    return r;
}

} // namespace zm
