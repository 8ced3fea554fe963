#pragma once
// Runs one command (or a chain of them) of a window on a short-lived worker thread.
//
// start() is called on the GUI thread, typically from a button handler. With the port closed it
// shows "Comm port not be opened!" and returns null. In one atomic test-and-set it takes the
// link session's turn; when another command is in flight it shows "Be processing command,
// please try later!" and returns null, and nothing is sent.
// Otherwise it disables the window (unless told not to) and runs the body on a new joinable
// thread that carries a stop request. However the body ends (returning early, failing,
// throwing), the window is enabled again on the GUI thread and then the busy flag is given back.
//
//     auto job = zm::WorkerRunner::start(this, session, [this](zm::Worker &w) {
//         QByteArray text;
//         const uint8_t r = w.commands().getVersion(text);
//         if (r != 0)
//             return w.failure(r);                       // result text alone
//         w.gui([&] { ui->label->setText(text); });      // widgets on the GUI thread only
//     });
//     ...
//     if (job) job->requestStop();                       // long bodies look at w.stopRequested()
//
// Everything the body shares with the window must outlive the worker: tool windows refuse to
// close while the busy flag is set (ToolDialog), and the program stops and joins every worker
// before the link session goes (shutdown()).

#include "ui/worker.h"

#include <functional>
#include <memory>

class QWidget;

namespace zm {

class LinkSession;

// A running (or finished) worker, for asking it to stop.
class WorkerJob
{
public:
    virtual ~WorkerJob() = default;
    virtual void requestStop() = 0;
    virtual bool finished() const = 0;
};

class WorkerRunner
{
public:
    using Body = std::function<void(Worker &)>;

    struct Options {
        bool disableWindow = true;
    };

    static std::shared_ptr<WorkerJob> start(QWidget *window, LinkSession &session, Body body, Options options);
    static std::shared_ptr<WorkerJob> start(QWidget *window, LinkSession &session, Body body)
    {
        return start(window, session, std::move(body), Options{});
    }

    // Worker threads still running.
    static int running();
    // Lets events run until no worker is left or `timeoutMs` passed; true when none is left.
    // Finished workers are joined. For tests.
    static bool waitForAll(int timeoutMs);
    // The end of the program: every worker is asked to stop (and a command's wait in `session`
    // is cut short), their messages are no longer shown, and each is joined. Events run
    // meanwhile, so a worker waiting on the GUI thread is served.
    static void shutdown(LinkSession &session);
    // True once shutdown() has begun: windows must not start new work.
    static bool shuttingDown();
};

} // namespace zm
