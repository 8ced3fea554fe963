#pragma once
// The one function through which every window shows a message box.
//
// It can be called from any thread: off the GUI thread it runs the box there and waits for it,
// so a worker's messages keep their order. While a MessageRecorder exists, nothing is shown: the
// text, title and icon are recorded and the recorder's preset answer is returned at once.
//
//     zm::showMessage(this, zm::msg::kPortNotOpened);                      // exclamation, OK
//     zm::showMessage(this, text, QMessageBox::Information);               // information, OK
//     if (zm::showMessage(this, "Overwrite?", QMessageBox::Question,
//                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) ...

#include <QMessageBox>
#include <QString>

class QWidget;

namespace zm {

// The box's caption is the program's title unless `title` is given.
QMessageBox::StandardButton showMessage(QWidget *parent, const QString &text,
                                        QMessageBox::Icon icon = QMessageBox::Warning,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        const QString &title = {});

} // namespace zm
