#include "features/mirror_ctrl_dlg.h"

#include "features/feature_records.h"
#include "features/mode_group.h"
#include "ui_mirror_ctrl_dlg.h"

namespace zm {

CMirrorCtrlDlg::CMirrorCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CMirrorCtrlDlg>())
{
    ui->setupUi(this);
    new ModeGroup(this, ModeFeature::Mirror, records.mirror, {ui->mirrorGpioRadio, ui->mirrorUartRadio},
                  {ui->mirrorModeRadio0, ui->mirrorModeRadio1}, ui->mirrorSetButton, ui->mirrorGetButton);
    setCloseButton(ui->cancelButton);
}

CMirrorCtrlDlg::~CMirrorCtrlDlg() = default;

} // namespace zm
