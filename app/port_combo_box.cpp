#include "app/port_combo_box.h"

#include <QLineEdit>
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

void PortComboBox::showPopup()
{
    refresh();
    QComboBox::showPopup();
}

} // namespace zm
