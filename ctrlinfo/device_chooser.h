#pragma once
// The "Ctrl Info Device:", size and model lists with their "Check Ctrl Info Device" and "Check
// Flash Type" buttons, as the Configuration and the Upload/Download windows both show them: bound
// to the program-wide ConfigSettings, so that what one window chooses the other shows.
//
//     m_chooser = new zm::DeviceChooser(this, session, {ui->deviceCombo, ui->sizeCombo, ui->modelCombo,
//                                                     ui->checkFlashButton});
//     m_chooser->show(true);                       // opening: lists from the settings
//     connect(ui->checkDeviceButton, &QPushButton::clicked, m_chooser, &zm::DeviceChooser::checkCtrlInfoDevice);
//     connect(m_chooser, &zm::DeviceChooser::changed, this, [this] { ... });

#include "ctrlinfo/ctrl_info.h"

#include <QObject>

class QComboBox;
class QPushButton;
class QWidget;

namespace zm {

class LinkSession;
class ConfigSettings;

class DeviceChooser : public QObject
{
    Q_OBJECT

public:
    struct Widgets {
        QComboBox *device = nullptr; // "Unknow", "I2C E2prom", "SPI E2prom", "SPI Flash"
        QComboBox *size = nullptr;   // the 15 device sizes
        QComboBox *model = nullptr;  // "Unknow" and the device's models
        QPushButton *checkFlash = nullptr;
    };

    // Fills the device and size lists; the window owns the widgets and the chooser.
    DeviceChooser(QWidget *window, LinkSession &session, const Widgets &widgets);

    ConfigSettings &settings() const { return m_settings; }
    // The model list's index (0 "Unknow").
    int modelIndex() const;

    // Shows the settings. With `chooseModel` the model that matches is also taken as chosen
    // (its page size applies), as the Configuration window does when it opens.
    void show(bool chooseModel);

    // The workers of the two buttons.
    void checkCtrlInfoDevice();
    void checkFlashType();

signals:
    // The device, size or model changed (by the user or by a worker).
    void changed();

private:
    void deviceChosen(int index);
    void modelChosen(int index);
    void sizeChosen(int index);
    // Refills the model list for the device, selects `model` and enables what the device allows.
    void fillModels(int model);
    void showSize();

    QWidget *m_window;
    LinkSession &m_session;
    ConfigSettings &m_settings;
    Widgets m_w;
};

} // namespace zm
