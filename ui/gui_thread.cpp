#include "ui/gui_thread.h"

#include "link/handover.h"

#include <QCoreApplication>
#include <QThread>

namespace zm {

bool onGuiThread()
{
    auto *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void runOnGuiThread(const std::function<void()> &fn)
{
    if (onGuiThread())
        fn();
    else
        handover::call(QCoreApplication::instance(), fn);
}

} // namespace zm
