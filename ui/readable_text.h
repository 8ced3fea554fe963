#pragma once
// A text that tells what the window waits for (an erase, a transfer) is shown while the window
// is disabled for its worker: it keeps the colours of an enabled window instead of greying out.

class QWidget;

namespace zm {

void keepReadableWhenDisabled(QWidget *widget);

} // namespace zm
