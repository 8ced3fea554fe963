#include "ui/hex_edit_filter.h"

#include "ui/hex_field.h"

#include <QLineEdit>

namespace zm {

HexEditFilter::HexEditFilter(QLineEdit *edit, Rule rule)
    : QObject(edit)
    , m_edit(edit)
    , m_rule(std::move(rule))
    , m_text(edit->text())
    , m_cursor(edit->cursorPosition())
{
    connect(edit, &QLineEdit::textChanged, this, &HexEditFilter::changed);
    connect(edit, &QLineEdit::cursorPositionChanged, this, [this](int, int now) {
        if (!m_inside)
            m_cursor = now;
    });
}

HexEditFilter::Rule HexEditFilter::hexRule(std::function<int()> maxLength)
{
    return [maxLength = std::move(maxLength)](const QString &before, const QString &after) {
        bool ok = after.size() <= maxLength();
        for (QChar c : after)
            ok = ok && (isHexDigitChar(c) || c == QChar(' '));
        return ok ? after : before;
    };
}

void HexEditFilter::setText(const QString &text)
{
    m_text = text;
    m_inside = true;
    m_edit->setText(text);
    m_inside = false;
    m_cursor = m_edit->cursorPosition();
}

void HexEditFilter::changed(const QString &now)
{
    if (m_inside)
        return;
    const QString keep = m_rule(m_text, now);
    if (keep == now) {
        m_text = now;
        m_cursor = m_edit->cursorPosition();
        return;
    }
    // Put the kept text back where the caret was before the change.
    const int cursor = keep == m_text ? m_cursor : int(keep.size());
    m_text = keep;
    m_inside = true;
    m_edit->setText(keep);
    m_edit->setCursorPosition(qMin(cursor, int(keep.size())));
    m_inside = false;
    m_cursor = m_edit->cursorPosition();
    emit rejected(now);
}

} // namespace zm
