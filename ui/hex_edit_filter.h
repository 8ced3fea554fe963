#pragma once
// A typing filter on a QLineEdit that undoes a change it does not accept: on every change of the
// text, the rule is asked which text to keep, given the text before the change and after it.
// Changes the window makes itself go through setText(), which the rule does not judge.
//
//     // address: hex digits and blanks, at most 4 (or 8) characters
//     m_address = new zm::HexEditFilter(ui->address, zm::HexEditFilter::hexRule([this] { return maxDigits(); }));
//     m_address->setText("00");
//     // any rule: return `after` to accept, `before` to undo, or a replacement
//     new zm::HexEditFilter(edit, [](const QString &before, const QString &after) { ... });

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace zm {

class HexEditFilter : public QObject
{
    Q_OBJECT

public:
    using Rule = std::function<QString(const QString &before, const QString &after)>;

    // The filter belongs to the edit and starts from the edit's current text.
    HexEditFilter(QLineEdit *edit, Rule rule);

    // Hex digits and blanks only, at most `maxLength()` characters; otherwise the change is undone.
    static Rule hexRule(std::function<int()> maxLength);

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
