#include "features/color_ctrl_dlg.h"

#include "features/feature_records.h"
#include "features/mode_group.h"
#include "ui_color_ctrl_dlg.h"

namespace zm {

CColorCtrlDlg::CColorCtrlDlg(LinkSession &session, FeatureRecords &records, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CColorCtrlDlg>())
{
    ui->setupUi(this);
    new ModeGroup(this, ModeFeature::Color, records.color, {ui->colorGpioRadio, ui->colorUartRadio},
                  {ui->colorModeRadio0, ui->colorModeRadio1, ui->colorModeRadio2}, ui->colorSetButton,
                  ui->colorGetButton);
    setCloseButton(ui->cancelButton);
}

CColorCtrlDlg::~CColorCtrlDlg() = default;

} // namespace zm
