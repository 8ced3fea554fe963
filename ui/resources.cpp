#include "ui/resources.h"

// Q_INIT_RESOURCE may not be used inside a namespace.
static void registerZmResources()
{
    Q_INIT_RESOURCE(zmcomm);
}

namespace zm {

void initResources()
{
    static const bool done = (registerZmResources(), true);
    (void)done;
}

QIcon appIcon()
{
    initResources();
    return QIcon(QStringLiteral(":/icons/app.png"));
}

QIcon portStateIcon(bool open)
{
    initResources();
    return QIcon(open ? QStringLiteral(":/icons/port_open.png") : QStringLiteral(":/icons/port_closed.png"));
}

} // namespace zm
