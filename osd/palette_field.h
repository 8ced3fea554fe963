#pragma once
// A palette colour as the OSD windows edit it: four hexadecimal digits in an edit and a swatch
// button beside it painted in the colour the chip shows for them. A character that is not a hex
// digit turns the text into "0000"; the swatch opens a colour chooser whose pick becomes the
// nearest palette entry.
//
//     auto *field = new PaletteField(ui->palette1, ui->swatch1, &m_chooseColor);
//     field->setValue(0x0210);                      // "0210", swatch repainted
//     connect(field, &PaletteField::changed, ...);  // typed or picked

#include <QColor>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

namespace zm {

class EditFilter;

// How a window asks for a colour: the current one in, the chosen one out, nothing when
// cancelled. Tests put their own in place of the colour dialog.
using ColorChooser = std::function<std::optional<QColor>(const QColor &initial)>;

// The platform colour dialog.
ColorChooser colorDialogChooser(QWidget *parent);

class PaletteField : public QObject
{
    Q_OBJECT

public:
    // `chooser` belongs to the window and outlives the field.
    PaletteField(QLineEdit *edit, QPushButton *swatch, const ColorChooser *chooser);

    uint16_t value() const;
    void setValue(uint16_t entry);
    // The colour the swatch is painted in.
    QColor color() const { return m_color; }

signals:
    void changed(uint16_t entry);

private:
    void paint(const QColor &color);
    void choose();

    QLineEdit *m_edit;
    QPushButton *m_swatch;
    const ColorChooser *m_chooser;
    EditFilter *m_filter;
    QColor m_color;
};

// The screen colour of a palette entry.
QColor paletteColor(uint16_t entry);

} // namespace zm
