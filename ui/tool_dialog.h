#pragma once
// Base of every modal window that runs commands. While a command is in flight (the command
// layer's busy flag) it ignores Cancel, Escape and the close box, so the window cannot vanish
// under the worker that uses it. It carries the program's icon.
//
// When the port goes away while the window is open, its command buttons (every push button but
// those named offline: file choosers, Cancel, local calculators, a dialog button box) are
// disabled until the port is open again; a command started meanwhile says "Comm port not be
// opened!" (WorkerRunner). A bar at the top of the window then says so, and offers "Reopen" once
// the same port is back (PortWatch), without going back to the console.
//
//     class CFbufDlg : public zm::ToolDialog {
//     public:
//         CFbufDlg(zm::CommandLayer &layer, QWidget *parent) : ToolDialog(layer, parent) { ... }
//     private:
//         void onRead() { runWorker([this](zm::Worker &w) { ... }); }
//     };
//     CFbufDlg dlg(layer, console);  dlg.exec();

#include "ui/worker_runner.h"

#include <QDialog>
#include <QList>
#include <QPointer>

namespace zm {

class CommandLayer;

class ToolDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ToolDialog(CommandLayer &layer, QWidget *parent = nullptr);

    CommandLayer &layer() const { return m_layer; }

    // Cancel and Escape end here; ignored while a command is in flight.
    void reject() override;

    // Widgets that work without the port and stay enabled when it goes.
    void setOfflineWidgets(const QList<QWidget *> &widgets);

protected:
    // The port was opened or closed; the default disables the command buttons while it is closed.
    virtual void portOpenChanged(bool open);

    void closeEvent(QCloseEvent *event) override;

    // Starts a worker for this window (see WorkerRunner); null when the busy flag was taken.
    std::shared_ptr<WorkerJob> runWorker(WorkerRunner::Body body, WorkerRunner::Options options = {});

private:
    void showPortBar(const QString &text, bool canReopen);

    CommandLayer &m_layer;
    QWidget *m_portBar = nullptr;
    QList<QPointer<QWidget>> m_offline;
    QList<QPointer<QWidget>> m_disabledByPort;
};

} // namespace zm
