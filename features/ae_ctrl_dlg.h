#pragma once
// The "AE Ctrl" window: three exposure groups, each with its own control source, Set and Get.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CAeCtrlDlg;
}

namespace zm {

struct FeatureRecords;

class CAeCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    CAeCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CAeCtrlDlg() override;

private:
    std::unique_ptr<Ui::CAeCtrlDlg> ui;
};

} // namespace zm
