#include "ui/tool_dialog.h"

#include "link/command_layer.h"
#include "ui/port_watch.h"
#include "ui/resources.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QDialogButtonBox>
#include <QPushButton>

namespace zm {

ToolDialog::ToolDialog(CommandLayer &layer, QWidget *parent)
    : QDialog(parent)
    , m_layer(layer)
{
    setWindowIcon(appIcon());
    // Modal to the window that opened it, not to the whole program: the traffic log stays
    // usable beside it.
    setWindowModality(Qt::WindowModal);
    connect(&layer, &CommandLayer::portStateChanged, this, [this](bool open) {
        portOpenChanged(open);
        if (open && m_portBar)
            m_portBar->hide();
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
        m_portBar = new QWidget(this);
        m_portBar->setObjectName(QStringLiteral("portBar"));
        auto *row = new QHBoxLayout(m_portBar);
        row->setContentsMargins(0, 0, 0, 4);
        auto *label = new QLabel(m_portBar);
        label->setObjectName(QStringLiteral("portBarText"));
        auto *button = new QPushButton(QStringLiteral("Reopen"), m_portBar);
        button->setObjectName(QStringLiteral("portBarReopen"));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [] {
            if (PortWatch *watch = PortWatch::current())
                watch->reopen();
        });
        row->addWidget(label, 1);
        row->addWidget(button);
        layout()->setMenuBar(m_portBar);
        m_offline << button;
    }
    m_portBar->findChild<QLabel *>(QStringLiteral("portBarText"))->setText(text);
    m_portBar->findChild<QPushButton *>(QStringLiteral("portBarReopen"))->setVisible(canReopen);
    m_portBar->show();
}

void ToolDialog::setOfflineWidgets(const QList<QWidget *> &widgets)
{
    for (QWidget *w : widgets)
        m_offline << w;
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

void ToolDialog::reject()
{
    if (m_layer.isBusy())
        return;
    QDialog::reject();
}

void ToolDialog::closeEvent(QCloseEvent *event)
{
    if (m_layer.isBusy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

std::shared_ptr<WorkerJob> ToolDialog::runWorker(WorkerRunner::Body body, WorkerRunner::Options options)
{
    return WorkerRunner::start(this, m_layer, std::move(body), options);
}

} // namespace zm
