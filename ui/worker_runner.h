#pragma once
// Runs one command (or a chain of them) of a window on a short-lived worker thread.
//
// start() is called on the GUI thread, typically from a button handler. In one atomic
// test-and-set it takes the command layer's busy flag; when another command is in flight it
// shows "Be processing command, please try later!" and returns false, and nothing is sent.
// Otherwise it disables the window (unless told not to) and runs the body on a new thread.
// However the body ends (returning early, failing, throwing), the window is enabled again on the
// GUI thread and then the busy flag is given back.
//
//     zm::WorkerRunner::start(this, layer, [this](zm::Worker &w) {
//         QByteArray text;
//         const uint8_t r = w.commands().getVersion(text);
//         if (r != 0)
//             return w.failure(r);                       // result text alone
//         w.gui([&] { ui->label->setText(text); });      // widgets on the GUI thread only
//     });
//
// Everything the body shares with the window must outlive the worker: tool windows refuse to
// close while the busy flag is set (ToolDialog), so members of the window are safe.

#include "ui/worker.h"

#include <functional>

class QWidget;

namespace zm {

class CommandLayer;

class WorkerRunner
{
public:
    using Body = std::function<void(Worker &)>;

    struct Options {
        bool disableWindow = true;
    };

    static bool start(QWidget *window, CommandLayer &layer, Body body, Options options);
    static bool start(QWidget *window, CommandLayer &layer, Body body) { return start(window, layer, std::move(body), Options{}); }

    // Worker threads still running.
    static int running();
    // Lets events run until no worker is left or `timeoutMs` passed; true when none is left.
    // For the end of the program and for tests.
    static bool waitForAll(int timeoutMs);
};

} // namespace zm
