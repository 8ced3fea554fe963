#pragma once
// The program's icons, compiled into this library from res/.

#include <QIcon>

namespace zm {

// Makes sure the resources of res/ are registered (the library is static); cheap to call again.
void initResources();

QIcon appIcon();
// The port-state icon of the console: open or closed.
QIcon portStateIcon(bool open);

} // namespace zm
