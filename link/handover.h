#pragma once
// Calls handed from one thread to another through Qt's event queues: into the link thread, onto
// the GUI thread, to the thread an object lives in. ThreadSanitizer does not see into Qt (the
// system's Qt is not built for it), so it cannot tell that what one thread did before such a
// hand-over happens before what the other does in the call; these mark it, in a build with the
// sanitizer, and cost nothing in any other.

#include <QObject>

#include <functional>

namespace zm::handover {

// Queues `fn` to run in the thread of `context` and returns at once.
void post(QObject *context, std::function<void()> fn);
// Runs `fn` in the thread of `context` and returns when it has run; in that thread, at once.
// The thread of `context` must never wait for the caller, or this deadlocks.
void call(QObject *context, const std::function<void()> &fn);

} // namespace zm::handover
