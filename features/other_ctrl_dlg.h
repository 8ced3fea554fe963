#pragma once
// The "Other Control" window: open and close the DAC, run the chip's comm formula. Its commands
// leave the window enabled.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class COtherCtrlDlg;
}

namespace zm {

class COtherCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit COtherCtrlDlg(LinkSession &session, QWidget *parent = nullptr);
    ~COtherCtrlDlg() override;

private:
    std::unique_ptr<Ui::COtherCtrlDlg> ui;
};

} // namespace zm
