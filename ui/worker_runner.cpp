#include "ui/worker_runner.h"

#include "link/command_layer.h"
#include "res/messages.h"
#include "ui/gui_thread.h"
#include "ui/message_box.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <exception>
#include <thread>

namespace zm {

namespace {
std::atomic<int> g_running{0};
}

bool WorkerRunner::start(QWidget *window, CommandLayer &layer, Body body, Options options)
{
    if (!layer.tryAcquire()) {
        showMessage(window, QString::fromLatin1(msg::kBusy), QMessageBox::Warning);
        return false;
    }
    // Disabled before the thread exists, so no second press can reach the window meanwhile.
    QPointer<QWidget> guarded(window);
    const bool disabled = options.disableWindow && window && window->isEnabled();
    if (disabled)
        window->setEnabled(false);

    auto finish = [guarded, disabled, &layer] {
        runOnGuiThread([&] {
            if (disabled && guarded)
                guarded->setEnabled(true);
        });
        layer.release();
    };

    ++g_running;
    try {
        std::thread([guarded, &layer, body = std::move(body), finish] {
            {
                Worker worker(guarded.data(), layer);
                try {
                    body(worker);
                } catch (const std::exception &e) {
                    worker.message(QString::fromLocal8Bit(e.what()));
                } catch (...) {
                    worker.failure(rc::Unknown);
                }
            }
            finish();
            --g_running;
        }).detach();
    } catch (const std::exception &) {
        // No thread: nothing ran, give everything back at once.
        finish();
        --g_running;
        showMessage(window, QString::fromLatin1(resultText(rc::Unknown)));
        return false;
    }
    return true;
}

int WorkerRunner::running()
{
    return g_running.load();
}

bool WorkerRunner::waitForAll(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (g_running.load() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return g_running.load() == 0;
}

} // namespace zm
