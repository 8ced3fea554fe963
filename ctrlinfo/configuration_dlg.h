#pragma once
// The "Configuration" window: through which chip UART the PC is attached, the chip's serial
// number, the bit rates of its MCU UART, high-speed UART and SPI port, and which memory holds the
// control info with its model, size and page size. Its choices are the program-wide
// ConfigSettings: they stay when the window closes and the next opening shows them.

#include "ui/tool_dialog.h"

#include <memory>

class QLineEdit;

namespace Ui {
class CConfigurationDlg;
}

namespace zm {

class ConfigSettings;
class DeviceChooser;

class CConfigurationDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CConfigurationDlg(CommandLayer &layer, QWidget *parent = nullptr);
    ~CConfigurationDlg() override;

private:
    // The five hexadecimal edits into the settings (as typed, a field of 4 digits each), and
    // back from the settings.
    void takeValues();
    void showValues();
    void showPageSize();
    void mcuChosen();
    void highSpeedChosen();
    void spiChosen();
    void spiClockChosen();
    void setSerialNumber();
    void setMcuBaud();
    void setHighSpeedBaud();
    void setSpiBaud();

    std::unique_ptr<Ui::CConfigurationDlg> ui;
    ConfigSettings &m_settings;
    DeviceChooser *m_chooser = nullptr;
};

} // namespace zm
