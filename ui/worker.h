#pragma once
// What a worker body gets from the WorkerRunner: the command operations, and the GUI thread for
// everything that touches a widget or shows a message. Each GUI call waits until it has run, so
// the order of updates and messages is the order of the worker's calls.

#include "link/commands.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace zm {

class Worker
{
public:
    Worker(QWidget *window, CommandLayer &layer);

    CommandLayer &layer() { return m_layer; }
    Commands &commands() { return m_commands; }

    // Runs `fn` on the GUI thread and waits for it. `fn` is skipped when the window is gone.
    void gui(const std::function<void()> &fn);

    // A message box over the window, shown on the GUI thread; returns when it is closed.
    QMessageBox::StandardButton message(const QString &text, QMessageBox::Icon icon = QMessageBox::Warning,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // The failure message of a command: `prefix` followed directly by the result text
    // (no prefix: the result text alone).
    void failure(uint8_t result, const QString &prefix = {});

private:
    QPointer<QWidget> m_window;
    CommandLayer &m_layer;
    Commands m_commands;
};

} // namespace zm
