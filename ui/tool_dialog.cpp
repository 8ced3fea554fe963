#include "ui/tool_dialog.h"

#include "link/command_layer.h"
#include "ui/resources.h"

#include <QCloseEvent>

namespace zm {

ToolDialog::ToolDialog(CommandLayer &layer, QWidget *parent)
    : QDialog(parent)
    , m_layer(layer)
{
    setWindowIcon(appIcon());
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
