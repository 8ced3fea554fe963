#include "ui/message_box.h"

#include "link/messages.h"
#include "ui/gui_thread.h"
#include "ui/message_recorder.h"

#include <QWidget>

namespace zm {

QMessageBox::StandardButton showMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons, const QString &title)
{
    const QString caption = title.isEmpty() ? QString::fromLatin1(msg::kTitle) : title;
    if (auto *recorder = MessageRecorder::current()) {
        recorder->record({text, caption, icon});
        return recorder->answer();
    }
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    runOnGuiThread([&] {
        QMessageBox box(icon, caption, text, buttons, parent);
        answer = QMessageBox::StandardButton(box.exec());
    });
    return answer;
}

} // namespace zm
