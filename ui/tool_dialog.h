#pragma once
// Base of every modal window that runs commands. While a command is in flight (the command
// session's turn) it ignores Cancel, Escape and the close box, so the window cannot vanish
// under the worker that uses it; at every other time they close it, the port lost or not. It
// carries the program's icon.
//
// When the port goes away while the window is open, its command buttons (every push button but
// its close button and those named offline: file choosers, local calculators, a dialog button
// box) are disabled until the port is open again; a command started meanwhile says "Comm port
// not be opened!" (WorkerRunner). A bar at the top of the window then says so, and offers
// "Reopen" once the same port is back (PortWatch), without going back to the console; the window
// takes its size back when the bar goes.
//
// A status line at the bottom tells how the last work of the window ended: the button that
// started it, "done" or "failed", and the time ("Set Config: done at 14:03:22"). It adds to the
// message boxes, it replaces none.
//
//     class CFbufDlg : public zm::ToolDialog {
//     public:
//         CFbufDlg(zm::LinkSession &session, QWidget *parent) : ToolDialog(session, parent)
//         {
//             ...
//             setCloseButton(ui->cancelButton);
//         }
//     private:
//         void onRead() { runWorker([this](zm::Worker &w) { ... }); }
//     };
//     CFbufDlg dlg(session, console);  dlg.exec();

#include "ui/worker_runner.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSize>

class QAbstractButton;
class QLabel;

namespace zm {

class LinkSession;

class ToolDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ToolDialog(LinkSession &session, QWidget *parent = nullptr);

    LinkSession &session() const { return m_session; }

    // Cancel and Escape end here; ignored while a command is in flight.
    void reject() override;
    void setVisible(bool visible) override;

    // Widgets that work without the port and stay enabled when it goes.
    void setOfflineWidgets(const QList<QWidget *> &widgets);
    // The button that closes the window (Cancel, Close): it rejects the window and, being no
    // command, stays usable while the port is gone.
    void setCloseButton(QAbstractButton *button);

    // The status line (created with the window's first showing; null before, or when the
    // window's layout has no place for it).
    QLabel *statusLine() const { return m_statusLine; }

    // For the WorkerRunner: the text of the button whose press is starting a worker now (empty
    // when none is), and how the work named `what` ended.
    QString takeStarter();
    void workEnded(const QString &what, bool failed);

protected:
    // The port was opened or closed; the default disables the command buttons while it is closed.
    virtual void portOpenChanged(bool open);
    // Puts the status line into the window; the default adds it under everything else of a
    // vertical box or grid layout.
    virtual void placeStatusLine(QLabel *line);

    void closeEvent(QCloseEvent *event) override;

    // Starts a worker for this window (see WorkerRunner); null when the busy flag was taken.
    std::shared_ptr<WorkerJob> runWorker(WorkerRunner::Body body, WorkerRunner::Options options = {});

private:
    void showPortBar(const QString &text, bool canReopen);
    void hidePortBar();
    void watchPresses();

    LinkSession &m_session;
    QWidget *m_portBar = nullptr;
    QLabel *m_statusLine = nullptr;
    QSize m_sizeWithoutBar;
    QString m_pressed;
    bool m_shown = false;
    QList<QPointer<QWidget>> m_offline;
    QList<QPointer<QWidget>> m_disabledByPort;
};

} // namespace zm
