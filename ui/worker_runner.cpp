#include "ui/worker_runner.h"

#include "link/link_session.h"
#include "link/messages.h"
#include "protocol/traffic_decode.h"
#include "ui/gui_thread.h"
#include "ui/message_box.h"
#include "ui/tool_dialog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <exception>
#include <list>
#include <mutex>
#include <thread>

namespace zm {

namespace {

class Job : public WorkerJob
{
public:
    void requestStop() override { thread.request_stop(); }
    bool finished() const override { return done.load(); }

    std::jthread thread;
    std::atomic<bool> done{false};
};

std::mutex g_mutex;
std::list<std::shared_ptr<Job>> g_jobs;
std::atomic<bool> g_shuttingDown{false};

// Joins the workers that have ended; a finished thread joins at once.
void reapFinished()
{
    std::list<std::shared_ptr<Job>> ended;
    {
        std::lock_guard lock(g_mutex);
        for (auto it = g_jobs.begin(); it != g_jobs.end();) {
            if ((*it)->done.load()) {
                ended.push_back(*it);
                it = g_jobs.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto &job : ended)
        if (job->thread.joinable())
            job->thread.join();
}

} // namespace

std::shared_ptr<WorkerJob> WorkerRunner::start(QWidget *window, LinkSession &session, Body body, Options options)
{
    reapFinished();
    if (g_shuttingDown.load())
        return nullptr;
    if (!session.isOpen()) {
        showMessage(window, QString::fromLatin1(msg::kPortNotOpened), QMessageBox::Warning);
        return nullptr;
    }
    if (!session.tryAcquire()) {
        showMessage(window, QString::fromLatin1(msg::kBusy), QMessageBox::Warning);
        return nullptr;
    }
    // Disabled before the thread exists, so no second press can reach the window meanwhile.
    QPointer<QWidget> guarded(window);
    const bool disabled = options.disableWindow && window && window->isEnabled();
    if (disabled)
        window->setEnabled(false);

    // The status line of a tool window names the button that started the work, or else the
    // last command the work sent.
    QPointer<ToolDialog> tool = qobject_cast<ToolDialog *>(window);
    const QString starter = tool ? tool->takeStarter() : QString();
    auto finish = [guarded, disabled, &session, tool, starter](bool ran, bool failed) {
        runOnGuiThread([&] {
            if (disabled && guarded)
                guarded->setEnabled(true);
            if (ran && tool) {
                const LinkSession::SentCommand sent = session.lastSent();
                tool->workEnded(!starter.isEmpty() ? starter : sent.valid ? traffic::commandName(sent.code) : QString(),
                                failed);
            }
        });
        session.release();
    };

    auto job = std::make_shared<Job>();
    std::weak_ptr<Job> weak = job;
    try {
        std::lock_guard lock(g_mutex);
        job->thread = std::jthread([guarded, &session, body = std::move(body), finish, weak](std::stop_token stop) {
            bool failed = false;
            {
                Worker worker(guarded.data(), session, stop);
                try {
                    body(worker);
                } catch (const std::exception &e) {
                    worker.message(QString::fromLocal8Bit(e.what()));
                } catch (...) {
                    worker.failure(rc::Unknown);
                }
                failed = worker.failed();
            }
            finish(true, failed);
            if (auto self = weak.lock())
                self->done.store(true);
        });
        g_jobs.push_back(job);
    } catch (const std::exception &) {
        // No thread: nothing ran, give everything back at once.
        finish(false, true);
        showMessage(window, QString::fromLatin1(resultText(rc::Unknown)));
        return nullptr;
    }
    return job;
}

int WorkerRunner::running()
{
    std::lock_guard lock(g_mutex);
    int n = 0;
    for (const auto &job : g_jobs)
        n += job->done.load() ? 0 : 1;
    return n;
}

bool WorkerRunner::waitForAll(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (running() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    const bool none = running() == 0;
    reapFinished();
    return none;
}

void WorkerRunner::shutdown(LinkSession &session)
{
    g_shuttingDown.store(true);
    {
        std::lock_guard lock(g_mutex);
        for (auto &job : g_jobs)
            job->requestStop();
    }
    // Waits are cut short until every worker has gone; a worker may issue one more command on
    // its way out (closing what it opened), which must not hang the exit either.
    session.abortWaits(true);
    while (running() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    reapFinished();
    session.abortWaits(false);
    g_shuttingDown.store(false);
}

bool WorkerRunner::shuttingDown()
{
    return g_shuttingDown.load();
}

} // namespace zm
