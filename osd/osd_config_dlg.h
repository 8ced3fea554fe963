#pragma once
// The "OSD Config" window: the OSD control registers shared by every overlay (channels on,
// input mode, flicker, location, logo format, the 15-colour palette), and the launcher of the
// character, logo, mosaic and bitmap windows.

#include "osd/osd_blocks.h"
#include "osd/palette_field.h"
#include "ui/tool_dialog.h"

#include <array>
#include <memory>

namespace Ui {
class COsdConfigDlg;
}

namespace zm {

class COsdConfigDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit COsdConfigDlg(LinkSession &session, QWidget *parent = nullptr);
    ~COsdConfigDlg() override;

    // The swatches' colour chooser, handed on to the character window; tests replace it.
    void setColorChooser(ColorChooser chooser) { m_chooseColor = std::move(chooser); }

private:
    osd::OsdControl composed() const;
    void showBlock(const osd::OsdControl &control);
    void onGet();
    void onSet();
    template <typename Dialog>
    void openDetail();

    std::unique_ptr<Ui::COsdConfigDlg> ui;
    std::array<PaletteField *, osd::OsdControl::kPaletteSize> m_palette{};
    osd::OsdControl m_read;
    ColorChooser m_chooseColor;
};

} // namespace zm
