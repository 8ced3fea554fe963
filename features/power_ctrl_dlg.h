#pragma once
// The "Power Save Control" window: the power-save mode with its control source, and the
// property group (mode after entry, relation with motion, power-save time in 10 ms units). Both
// groups share one remembered record.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CPowerCtrlDlg;
}

namespace zm {

class EditFilter;
struct PowerSaveRecord;
struct FeatureRecords;

class CPowerCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    CPowerCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CPowerCtrlDlg() override;

private:
    void showProperty();
    void setProperty();
    void getProperty();

    std::unique_ptr<Ui::CPowerCtrlDlg> ui;
    PowerSaveRecord &m_record;
    EditFilter *m_time = nullptr;
};

} // namespace zm
