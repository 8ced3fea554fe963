#include "osd/palette_field.h"

#include "protocol/hex_text.h"
#include "osd/osd_blocks.h"
#include "osd/osd_palette.h"
#include "ui/edit_filter.h"

#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>

namespace zm {

ColorChooser colorDialogChooser(QWidget *parent)
{
    return [parent](const QColor &initial) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };
}

QColor paletteColor(uint16_t entry)
{
    const osd::Rgb c = osd::paletteToRgb(entry);
    return QColor(c.r, c.g, c.b);
}

PaletteField::PaletteField(QLineEdit *edit, QPushButton *swatch, const ColorChooser *chooser)
    : QObject(edit)
    , m_edit(edit)
    , m_swatch(swatch)
    , m_chooser(chooser)
{
    m_edit->setMaxLength(4);
    m_filter = new EditFilter(edit, [](const QString &before, const QString &after) {
        return osd::hexOrZeros(before, after, 4);
    });
    // Typed text and the "0000" a bad character leaves both repaint the swatch.
    connect(m_edit, &QLineEdit::textChanged, this, [this] {
        paint(paletteColor(value()));
        emit changed(value());
    });
    connect(m_swatch, &QPushButton::clicked, this, &PaletteField::choose);
    m_swatch->setAutoDefault(false);
    m_swatch->setFixedSize(28, 22);
    m_swatch->setToolTip(QStringLiteral("Choose a colour"));
    paint(paletteColor(value()));
}

uint16_t PaletteField::value() const
{
    return uint16_t(hexFieldNumber(m_filter->text()));
}

void PaletteField::setValue(uint16_t entry)
{
    m_filter->setText(formatHex(entry, 4));
}

void PaletteField::paint(const QColor &color)
{
    m_color = color;
    m_swatch->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #606060; }")
                                .arg(color.name()));
}

void PaletteField::choose()
{
    if (!m_chooser || !*m_chooser)
        return;
    const std::optional<QColor> picked = (*m_chooser)(m_color);
    if (!picked)
        return;
    setValue(osd::rgbToPalette({picked->red(), picked->green(), picked->blue()}));
    // The swatch takes the colour that was picked; the entry keeps only what its bits hold.
    paint(*picked);
}

} // namespace zm
