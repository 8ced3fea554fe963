#include "ui/edit_filter.h"

#include "protocol/hex_text.h"

#include <QLineEdit>

namespace zm {

EditFilter::EditFilter(QLineEdit *edit, Rule rule)
    : QObject(edit)
    , m_edit(edit)
    , m_rule(std::move(rule))
    , m_text(edit->text())
    , m_cursor(edit->cursorPosition())
{
    connect(edit, &QLineEdit::textChanged, this, &EditFilter::changed);
    connect(edit, &QLineEdit::cursorPositionChanged, this, [this](int, int now) {
        if (!m_inside)
            m_cursor = now;
    });
}

EditFilter::Rule EditFilter::hexRule(std::function<int()> maxLength)
{
    return [maxLength = std::move(maxLength)](const QString &before, const QString &after) {
        bool ok = after.size() <= maxLength();
        for (QChar c : after)
            ok = ok && (isHexDigit(c) || c == QChar(' '));
        return ok ? after : before;
    };
}

EditFilter::Rule EditFilter::decimalRule(qint64 maximum)
{
    return [maximum](const QString &before, const QString &after) {
        if (after.isEmpty())
            return after;
        if (after.size() > 18)
            return before;
        for (QChar c : after)
            if (c < QChar('0') || c > QChar('9'))
                return before;
        return after.toLongLong() <= maximum ? after : before;
    };
}

EditFilter::Rule EditFilter::charSetRule(std::function<bool(QChar)> allowed, int maxLength)
{
    return [allowed = std::move(allowed), maxLength](const QString &before, const QString &after) {
        if (after.size() > maxLength)
            return before;
        for (QChar c : after)
            if (!allowed(c))
                return before;
        return after;
    };
}

std::optional<qint64> EditFilter::decimalValue(const QString &text, qint64 minimum, qint64 maximum)
{
    bool ok = false;
    const QString t = text.trimmed();
    for (QChar c : t)
        if (c < QChar('0') || c > QChar('9'))
            return std::nullopt;
    const qint64 v = t.toLongLong(&ok);
    if (!ok || v < minimum || v > maximum)
        return std::nullopt;
    return v;
}

void EditFilter::setText(const QString &text)
{
    m_text = text;
    m_inside = true;
    m_edit->setText(text);
    m_inside = false;
    m_cursor = m_edit->cursorPosition();
}

void EditFilter::changed(const QString &now)
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
