#include "features/other_ctrl_dlg.h"

#include "ui/one_command.h"
#include "ui_other_ctrl_dlg.h"

namespace zm {

COtherCtrlDlg::COtherCtrlDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::COtherCtrlDlg>())
{
    ui->setupUi(this);
    auto run = [this](auto op) { runCommand(this, this->session(), QString(), op, {.disableWindow = false}); };
    connect(ui->openDacButton, &QPushButton::clicked, this, [run] { run([](Commands &c) { return c.dacControl(true); }); });
    connect(ui->closeDacButton, &QPushButton::clicked, this,
            [run] { run([](Commands &c) { return c.dacControl(false); }); });
    connect(ui->execFormulaButton, &QPushButton::clicked, this,
            [run] { run([](Commands &c) { return c.execCommFormula(); }); });
    setCloseButton(ui->cancelButton);
}

COtherCtrlDlg::~COtherCtrlDlg() = default;

} // namespace zm
