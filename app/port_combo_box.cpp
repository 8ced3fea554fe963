#include "app/port_combo_box.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QSignalBlocker>

namespace zm {

PortComboBox::PortComboBox(QWidget *parent)
    : QComboBox(parent)
    , m_source(systemPorts)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void PortComboBox::setSource(Source source)
{
    m_source = std::move(source);
    refresh();
}

void PortComboBox::refresh()
{
    const QString current = port();
    const QList<PortChoice> choices = PortSettings::portChoices(m_source ? m_source() : QList<SystemPort>{});
    // Rebuilding is not a choice of the user's.
    const QSignalBlocker block(this);
    clear();
    for (const PortChoice &c : choices) {
        addItem(c.text, c.value);
        // The device path stays in reach when the label is long or says nothing of it.
        setItemData(count() - 1, c.value, Qt::ToolTipRole);
    }
    if (current.isEmpty())
        setCurrentIndex(0);
    else
        selectPort(current);
    // The box shows the end of a long name (the device); the open list shows every name whole.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + view()->verticalScrollBar()->sizeHint().width()
                            + 2 * view()->frameWidth());
}

QString PortComboBox::port() const
{
    const QString text = currentText().trimmed();
    const int i = findText(text);
    if (i >= 0 && itemData(i).isValid())
        return itemData(i).toString();
    return text;
}

void PortComboBox::selectPort(const QString &port)
{
    int i = findData(port.trimmed());
    if (i < 0)
        i = findText(port.trimmed());
    if (i >= 0)
        setCurrentIndex(i);
    else
        setEditText(port);
}

bool PortComboBox::event(QEvent *e)
{
    // A long name does not fit the box: the whole of it, and the device it opens, are a hover away.
    if (e->type() == QEvent::ToolTip) {
        const QString value = port();
        if (value != currentText().trimmed()) {
            QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), currentText() + '\n' + value, this);
            return true;
        }
    }
    return QComboBox::event(e);
}

void PortComboBox::showPopup()
{
    refresh();
    QComboBox::showPopup();
}

} // namespace zm
