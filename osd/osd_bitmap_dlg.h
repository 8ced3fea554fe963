#pragma once
// The "OSD Bitmap" window: the bitmap overlay's format, colours, place and threshold, and
// starting or stopping a bitmap that the chip reads from its SPI EEPROM or flash.

#include "osd/osd_blocks.h"
#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class COsdBitmapDlg;
}

namespace zm {

class COsdBitmapDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit COsdBitmapDlg(LinkSession &session, QWidget *parent = nullptr);
    ~COsdBitmapDlg() override;

private:
    osd::BitmapBlock composed() const;
    void showBlock(const osd::BitmapBlock &block);
    void onStart();
    void onStop();

    std::unique_ptr<Ui::COsdBitmapDlg> ui;
    osd::BitmapBlock m_read;
};

} // namespace zm
