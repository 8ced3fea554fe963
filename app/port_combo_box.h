#pragma once
// The "COM Port:" box: COM1..COM20 and the system's ports by name, read again each time the list
// is opened (an adapter plugged in a moment ago is there), and a device path may be typed in.
// What it shows is for people; port() is the value the link opens.

#include "app/port_settings.h"

#include <QComboBox>

#include <functional>

namespace zm {

class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    // Where the system's ports come from; tests hand in adapters this machine does not have.
    using Source = std::function<QList<SystemPort>()>;

    explicit PortComboBox(QWidget *parent = nullptr);

    void setSource(Source source);
    // Reads the system's ports again; the port chosen or typed stays.
    void refresh();

    // The chosen entry's value, or the text typed in.
    QString port() const;
    // Chooses the entry of `port` (a value or a shown text), or types it in.
    void selectPort(const QString &port);

    void showPopup() override;

protected:
    bool event(QEvent *e) override;

private:
    Source m_source;
};

} // namespace zm
