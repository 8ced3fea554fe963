#pragma once
// The "Flash Operation" window: the size of the chip's SPI flash, and the erase of one sector or
// of the whole flash.

#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CFlashOperationDlg;
}

namespace zm {

class EditFilter;

class CFlashOperationDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CFlashOperationDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CFlashOperationDlg() override;

private:
    void getFlashSize();
    void eraseSector();
    void chipErase();

    std::unique_ptr<Ui::CFlashOperationDlg> ui;
    EditFilter *m_sector = nullptr;
};

} // namespace zm
