#pragma once
// The "Mosaic Config" window: the mosaic area and the size of its sub-blocks. Each field shows
// the register it is written to, so a Set followed by a Get shows what was set.

#include "osd/osd_blocks.h"
#include "ui/tool_dialog.h"

#include <QLineEdit>

#include <array>
#include <memory>

namespace Ui {
class CMosaicDlg;
}

namespace zm {

class CMosaicDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CMosaicDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CMosaicDlg() override;

private:
    std::unique_ptr<Ui::CMosaicDlg> ui;
    std::array<QLineEdit *, 6> m_fields{};
};

} // namespace zm
