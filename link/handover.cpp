#include "link/handover.h"

#include <QMetaObject>
#include <QThread>

#include <memory>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define ZM_HAPPENS_BEFORE(address) __tsan_release(address)
#define ZM_HAPPENS_AFTER(address) __tsan_acquire(address)
#else
#define ZM_HAPPENS_BEFORE(address) ((void)(address))
#define ZM_HAPPENS_AFTER(address) ((void)(address))
#endif

namespace zm::handover {

void post(QObject *context, std::function<void()> fn)
{
    auto call = std::make_shared<std::function<void()>>(std::move(fn));
    ZM_HAPPENS_BEFORE(call.get());
    QMetaObject::invokeMethod(
        context,
        [call] {
            ZM_HAPPENS_AFTER(call.get());
            (*call)();
        },
        Qt::QueuedConnection);
}

void call(QObject *context, const std::function<void()> &fn)
{
    if (QThread::currentThread() == context->thread()) {
        fn();
        return;
    }
    // One address for both edges: the caller's past before the call, the call before the
    // caller's future.
    int edge = 0;
    ZM_HAPPENS_BEFORE(&edge);
    QMetaObject::invokeMethod(
        context,
        [&] {
            ZM_HAPPENS_AFTER(&edge);
            fn();
            ZM_HAPPENS_BEFORE(&edge);
        },
        Qt::BlockingQueuedConnection);
    ZM_HAPPENS_AFTER(&edge);
}

} // namespace zm::handover
