#pragma once
// The "Logo" window: the logo overlay's place, size, alpha and flicker, and where the chip finds
// its logo in the control-info data.

#include "osd/osd_blocks.h"
#include "ui/tool_dialog.h"

#include <QLineEdit>

#include <array>
#include <memory>

namespace Ui {
class CLogoDlg;
}

namespace zm {

class CLogoDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CLogoDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CLogoDlg() override;

private:
    std::unique_ptr<Ui::CLogoDlg> ui;
    std::array<QLineEdit *, 6> m_fields{};
};

} // namespace zm
