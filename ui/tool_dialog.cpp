#include "ui/tool_dialog.h"

#include "link/command_layer.h"
#include "ui/resources.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QPushButton>

namespace zm {

ToolDialog::ToolDialog(CommandLayer &layer, QWidget *parent)
    : QDialog(parent)
    , m_layer(layer)
{
    setWindowIcon(appIcon());
    connect(&layer, &CommandLayer::portStateChanged, this, [this](bool open) { portOpenChanged(open); });
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
