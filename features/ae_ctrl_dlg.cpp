#include "features/ae_ctrl_dlg.h"

#include "features/feature_records.h"
#include "features/mode_group.h"
#include "ui_ae_ctrl_dlg.h"

namespace zm {

CAeCtrlDlg::CAeCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CAeCtrlDlg>())
{
    ui->setupUi(this);
    new ModeGroup(this, ModeFeature::AeFlicker, records.aeFlicker, {ui->flickerGpioRadio, ui->flickerUartRadio},
                  {ui->flickerModeRadio0, ui->flickerModeRadio1}, ui->flickerSetButton, ui->flickerGetButton);
    new ModeGroup(this, ModeFeature::AeIndoor, records.aeIndoor, {ui->indoorGpioRadio, ui->indoorUartRadio},
                  {ui->indoorModeRadio0, ui->indoorModeRadio1}, ui->indoorSetButton, ui->indoorGetButton);
    new ModeGroup(this, ModeFeature::AeBlc, records.aeBlc, {ui->blcGpioRadio, ui->blcUartRadio},
                  {ui->blcModeRadio0, ui->blcModeRadio1}, ui->blcSetButton, ui->blcGetButton);
    setCloseButton(ui->cancelButton);
}

CAeCtrlDlg::~CAeCtrlDlg() = default;

} // namespace zm
