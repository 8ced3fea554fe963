#pragma once
// The "RTC Time Control" window: sets the chip's clock from the date and time pickers (which
// follow the PC's clock each second while "Use Current Time" is checked) and reads it back.

#include "ui/tool_dialog.h"

#include <QTimer>

#include <memory>

namespace Ui {
class CRtcTimeDlg;
}

namespace zm {

class CRtcTimeDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CRtcTimeDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CRtcTimeDlg() override;

private:
    void useCurrentTime(bool on);
    void showCurrentTime();
    void setTime();
    void getTime();

    std::unique_ptr<Ui::CRtcTimeDlg> ui;
    QTimer m_clock;
};

} // namespace zm
