#pragma once
// The "Mirror Control" window: mirror mode and its control source.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CMirrorCtrlDlg;
}

namespace zm {

struct FeatureRecords;

class CMirrorCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    CMirrorCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CMirrorCtrlDlg() override;

private:
    std::unique_ptr<Ui::CMirrorCtrlDlg> ui;
};

} // namespace zm
