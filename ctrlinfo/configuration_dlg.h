#pragma once
// The "Configuration" window: through which chip UART the PC is attached, the chip's serial
// number, the bit rates of its MCU UART, high-speed UART and SPI port, and which memory holds the
// control info with its model, size and page size. Its choices are the program-wide
// ConfigSettings: they stay when the window closes and the next opening shows them.
//
// A new rate of the chip's UART the PC is attached to ("Comm Device:") cuts the console off
// until its own "BautRate:" follows: the window says so after the command, and offers to switch
// the console when it is given a way to.

#include "ui/tool_dialog.h"

#include <functional>
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
    // Switches the console's line to `baud` (the port reopened at once); false when it cannot.
    using RateSwitcher = std::function<bool(int baud)>;

    explicit CConfigurationDlg(LinkSession &session, QWidget *parent = nullptr, RateSwitcher switchRate = {});
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
    // After a new rate of UART `uart` (1 MCU UART, 2 HUART) took: the console must follow.
    void rateSet(int uart, int baud);
    void switchConsole();

    std::unique_ptr<Ui::CConfigurationDlg> ui;
    ConfigSettings &m_settings;
    DeviceChooser *m_chooser = nullptr;
    RateSwitcher m_switchRate;
    int m_followBaud = 0;
};

} // namespace zm
