#include "ui/worker.h"

#include "ui/gui_thread.h"
#include "ui/message_box.h"

namespace zm {

Worker::Worker(QWidget *window, CommandLayer &layer)
    : m_window(window)
    , m_layer(layer)
    , m_commands(layer)
{
}

void Worker::gui(const std::function<void()> &fn)
{
    runOnGuiThread([&] {
        if (m_window)
            fn();
    });
}

QMessageBox::StandardButton Worker::message(const QString &text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)
{
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    runOnGuiThread([&] { answer = showMessage(m_window.data(), text, icon, buttons); });
    return answer;
}

void Worker::failure(uint8_t result, const QString &prefix)
{
    message(prefix + QString::fromLatin1(resultText(result)));
}

} // namespace zm
