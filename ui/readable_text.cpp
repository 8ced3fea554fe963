#include "ui/readable_text.h"

#include <QPalette>
#include <QWidget>

namespace zm {

void keepReadableWhenDisabled(QWidget *widget)
{
    QPalette p = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::Base, QPalette::Window})
        p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
    widget->setPalette(p);
}

} // namespace zm
