#pragma once
// A typing filter on a QLineEdit that undoes a change it does not accept: on every change of the
// text, the rule is asked which text to keep, given the text before the change and after it.
// Changes the window makes itself go through setText(), which the rule does not judge.
//
//     // address: hex digits and blanks, at most 4 (or 8) characters
//     m_address = new zm::EditFilter(ui->address, zm::EditFilter::hexRule([this] { return maxDigits(); }));
//     m_address->setText("00");
//     // a delay of 0..65535
//     new zm::EditFilter(ui->delay, zm::EditFilter::decimalRule(65535));
//     // any rule: return `after` to accept, `before` to undo, or a replacement
//     new zm::EditFilter(edit, [](const QString &before, const QString &after) { ... });

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace zm {

class EditFilter : public QObject
{
    Q_OBJECT

public:
    using Rule = std::function<QString(const QString &before, const QString &after)>;

    // The filter belongs to the edit and starts from the edit's current text.
    EditFilter(QLineEdit *edit, Rule rule);

    // Stock rules: each undoes a change that breaks it.
    // Hex digits and blanks only, at most `maxLength()` characters.
    static Rule hexRule(std::function<int()> maxLength);
    // Decimal digits only, a value of at most `maximum`; the empty text is let through while
    // the user retypes the field (read it with decimalValue()).
    static Rule decimalRule(qint64 maximum);
    // Characters that `allowed` accepts, at most `maxLength` of them.
    static Rule charSetRule(std::function<bool(QChar)> allowed, int maxLength);

    // The field's number when it holds one from `minimum` to `maximum`.
    static std::optional<qint64> decimalValue(const QString &text, qint64 minimum, qint64 maximum);

    // The text the window holds: what the last accepted change or setText() left.
    QString text() const { return m_text; }
    void setText(const QString &text);

    QLineEdit *edit() const { return m_edit; }

signals:
    // A change was undone (or replaced).
    void rejected(const QString &attempted);

private:
    void changed(const QString &now);

    QLineEdit *m_edit;
    Rule m_rule;
    QString m_text;
    int m_cursor = 0;
    bool m_inside = false;
};

} // namespace zm
