#pragma once
// The "Image Property Page" window: brightness, contrast, off contrast, hue and saturation tuned
// live with sliders (a slider writes its register when it is let go, or at once when moved by
// the keyboard or a click beside the handle), the enable bits of the Control register, a dump of
// the six registers, and the picture-control record of the control info, which the chip loads at
// its next start: shown, saved from the registers, and its enable bits saved from the boxes.

#include "features/image_property.h"
#include "ui/tool_dialog.h"

#include <QList>

#include <functional>
#include <optional>
#include <memory>

class QLabel;
class QSlider;

namespace Ui {
class CImagePropertyDlg;
}

namespace zm {

class CImagePropertyDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CImagePropertyDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CImagePropertyDlg() override;

private:
    struct Slider {
        QSlider *slider;
        QLabel *label;
        uint16_t address;
        std::function<uint8_t(int)> byte;
        std::function<QString(int)> text;
        std::function<int(uint8_t)> value;
    };

    void sliderMoved(const Slider &s);
    void writeSlider(const Slider &s);
    // Moves a slider without writing its register.
    void showValue(const Slider &s, uint8_t byte);
    void showControls(const picture::PictureControls &c);
    void showEnables(uint8_t control);
    // The register box after a write of `n` of the five picture registers from `first` (0 for
    // brightness); nothing while the box holds no read yet.
    void showWritten(int first, const uint8_t *bytes, int n);
    uint8_t checkedEnables() const;
    void reload(bool sliders);
    void setDefault();
    void getFunction();
    void setFunction();
    void readE2prom();
    void saveControlsToE2prom();
    void saveEnablesToE2prom();

    std::unique_ptr<Ui::CImagePropertyDlg> ui;
    QList<Slider> m_sliders; // brightness, contrast, off contrast, hue, saturation
    bool m_showing = false;
    std::optional<picture::PictureControls> m_registers; // what the register box shows
};

} // namespace zm
