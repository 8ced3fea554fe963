#include "ui/tool_dialog.h"

#include "link/link_session.h"
#include "ui/port_watch.h"
#include "ui/resources.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimer>

namespace zm {

ToolDialog::ToolDialog(LinkSession &session, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
{
    setWindowIcon(appIcon());
    // Modal to the window that opened it, not to the whole program: the traffic log stays
    // usable beside it.
    setWindowModality(Qt::WindowModal);
    connect(&session, &LinkSession::portStateChanged, this, [this](bool open) {
        portOpenChanged(open);
        if (open)
            hidePortBar();
    });
    if (PortWatch *watch = PortWatch::current()) {
        connect(watch, &PortWatch::lost, this, [this](const QString &port) {
            showPortBar(QStringLiteral("The port %1 was lost; waiting for it to come back...").arg(port), false);
        });
        connect(watch, &PortWatch::back, this,
                [this](const QString &port) { showPortBar(QStringLiteral("%1 is back.").arg(port), true); });
    }
}

void ToolDialog::showPortBar(const QString &text, bool canReopen)
{
    if (!m_portBar) {
        if (!layout() || layout()->menuBar())
            return; // a window that keeps the top for itself learns it from its buttons
        auto *bar = new QFrame(this);
        bar->setObjectName(QStringLiteral("portBar"));
        // Set apart from the window's own controls, and never wider than the window: the text
        // wraps instead.
        bar->setStyleSheet(QStringLiteral("#portBar { background: #fff4d6; border: 1px solid #d9b44a; border-radius: 3px; }"));
        auto *row = new QHBoxLayout(bar);
        row->setContentsMargins(8, 6, 8, 6);
        auto *label = new QLabel(bar);
        label->setObjectName(QStringLiteral("portBarText"));
        label->setWordWrap(true);
        auto *button = new QPushButton(QStringLiteral("Reopen"), bar);
        button->setObjectName(QStringLiteral("portBarReopen"));
        button->setAutoDefault(false);
        // The bar keeps its height whether or not it offers Reopen.
        QSizePolicy keep = button->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        button->setSizePolicy(keep);
        connect(button, &QPushButton::clicked, this, [] {
            if (PortWatch *watch = PortWatch::current())
                watch->reopen();
        });
        row->addWidget(label, 1);
        row->addWidget(button);
        bar->hide();
        layout()->setMenuBar(bar);
        m_offline << button;
        m_portBar = bar;
    }
    if (m_portBar->isHidden())
        m_sizeWithoutBar = size();
    m_portBar->findChild<QLabel *>(QStringLiteral("portBarText"))->setText(text);
    m_portBar->findChild<QPushButton *>(QStringLiteral("portBarReopen"))->setVisible(canReopen);
    m_portBar->show();
}

void ToolDialog::hidePortBar()
{
    if (!m_portBar || m_portBar->isHidden())
        return;
    m_portBar->hide();
    // The window grew to make room for the bar; it goes back to the size it had.
    layout()->activate();
    resize(m_sizeWithoutBar.expandedTo(minimumSizeHint()));
}

void ToolDialog::setOfflineWidgets(const QList<QWidget *> &widgets)
{
    for (QWidget *w : widgets)
        m_offline << w;
}

void ToolDialog::setCloseButton(QAbstractButton *button)
{
    connect(button, &QAbstractButton::clicked, this, &ToolDialog::reject);
    m_offline << button;
}

void ToolDialog::portOpenChanged(bool open)
{
    if (open) {
        for (const auto &w : std::as_const(m_disabledByPort))
            if (w)
                w->setEnabled(true);
        m_disabledByPort.clear();
        return;
    }
    for (QPushButton *b : findChildren<QPushButton *>()) {
        if (!b->isEnabledTo(this) || m_offline.contains(b) || qobject_cast<QDialogButtonBox *>(b->parentWidget()))
            continue;
        b->setEnabled(false);
        m_disabledByPort << b;
    }
}

void ToolDialog::placeStatusLine(QLabel *line)
{
    if (auto *box = qobject_cast<QBoxLayout *>(layout());
        box && (box->direction() == QBoxLayout::TopToBottom || box->direction() == QBoxLayout::BottomToTop)) {
        box->addWidget(line);
    } else if (auto *grid = qobject_cast<QGridLayout *>(layout())) {
        grid->addWidget(line, grid->rowCount(), 0, 1, grid->columnCount());
    } else {
        delete line;
        m_statusLine = nullptr;
    }
}

void ToolDialog::setVisible(bool visible)
{
    // Before the first showing sizes the window, so that it is sized with the line.
    if (visible && !m_shown) {
        m_shown = true;
        m_statusLine = new QLabel(this);
        m_statusLine->setObjectName(QStringLiteral("statusLine"));
        m_statusLine->setWordWrap(true);
        // A line of its own from the start, so that the first status does not move the window.
        m_statusLine->setMinimumHeight(m_statusLine->fontMetrics().height());
        placeStatusLine(m_statusLine);
        watchPresses();
    }
    QDialog::setVisible(visible);
}

// Which button started the work: its release comes just before its click, whose handler starts
// the worker in the same turn of the event loop; what no worker took is forgotten after it.
void ToolDialog::watchPresses()
{
    for (QAbstractButton *b : findChildren<QAbstractButton *>()) {
        if (!qobject_cast<QPushButton *>(b))
            continue;
        connect(b, &QAbstractButton::released, this, [this, b] {
            m_pressed = b->text().remove(QLatin1Char('&'));
            QTimer::singleShot(0, this, [this] { m_pressed.clear(); });
        });
    }
}

QString ToolDialog::takeStarter()
{
    return std::exchange(m_pressed, QString());
}

void ToolDialog::workEnded(const QString &what, bool failed)
{
    if (!m_statusLine || what.isEmpty())
        return;
    m_statusLine->setText(QStringLiteral("%1: %2 at %3")
                              .arg(what, failed ? QStringLiteral("failed") : QStringLiteral("done"),
                                   QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
}

void ToolDialog::reject()
{
    if (m_session.isBusy())
        return;
    QDialog::reject();
}

void ToolDialog::closeEvent(QCloseEvent *event)
{
    if (m_session.isBusy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

std::shared_ptr<WorkerJob> ToolDialog::runWorker(WorkerRunner::Body body, WorkerRunner::Options options)
{
    return WorkerRunner::start(this, m_session, std::move(body), options);
}

} // namespace zm
