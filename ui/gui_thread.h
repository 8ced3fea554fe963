#pragma once
// Running a piece of code on the GUI thread from any thread.

#include <functional>

namespace zm {

bool onGuiThread();

// Runs `fn` on the GUI thread and returns when it has run. On the GUI thread it simply calls it.
// The GUI thread must never wait for the caller (it never waits on a worker), or this deadlocks.
void runOnGuiThread(const std::function<void()> &fn);

} // namespace zm
