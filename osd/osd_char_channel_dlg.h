#pragma once
// The "Osd Char Channel Config" window: the four character lines' registers (place, spacing,
// size, number, colours, display and flicker), and the text of each line written into the
// chip's character memory. Beside each line a preview shows its text in the line's colour on
// the background colour, as the camera will overlay it.

#include "osd/osd_blocks.h"
#include "osd/palette_field.h"
#include "ui/tool_dialog.h"

#include <QImage>

#include <array>
#include <memory>

class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class COsdCharChannelDlg;
}

namespace zm {

class EditFilter;

class COsdCharChannelDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit COsdCharChannelDlg(LinkSession &session, QWidget *parent = nullptr);
    ~COsdCharChannelDlg() override;

    void setColorChooser(ColorChooser chooser) { m_chooseColor = std::move(chooser); }
    PaletteField *colorField(int line) const { return m_colors.at(line - 1); }
    // What the preview of line 1..4 shows.
    QImage preview(int line) const;

private:
    struct LineControls {
        QComboBox *posX, *posY, *horStep, *charSize, *charNumber;
        QCheckBox *display, *flicker;
        QLineEdit *text;
        QLabel *length, *preview;
        QPushButton *addChar, *clearLine;
    };

    osd::CharChannel composed() const;
    void showBlock(const osd::CharChannel &block);
    void onGet();
    void onSet();
    void addChar(int line);
    void clearLine(int line);
    void textChanged(int line);
    void drawPreview(int line);

    std::unique_ptr<Ui::COsdCharChannelDlg> ui;
    std::array<LineControls, osd::CharChannel::kLines> m_lines{};
    std::array<PaletteField *, osd::CharChannel::kLines> m_colors{};
    std::array<EditFilter *, osd::CharChannel::kLines> m_texts{};
    PaletteField *m_foil = nullptr;
    osd::CharChannel m_read = osd::CharChannel::opening();
    std::array<QImage, osd::CharChannel::kLines> m_previews;
    ColorChooser m_chooseColor;
};

} // namespace zm
