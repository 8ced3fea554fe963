#pragma once
// The "Color Control" window: colour mode and its control source.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CColorCtrlDlg;
}

namespace zm {

struct FeatureRecords;

class CColorCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    CColorCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CColorCtrlDlg() override;

private:
    std::unique_ptr<Ui::CColorCtrlDlg> ui;
};

} // namespace zm
