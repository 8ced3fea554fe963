#pragma once
// Does a window fit a 1366x768 screen, does every label, button, check box and radio button in
// it show its whole text, and do buttons side by side keep apart? For the window tests: show the window offscreen first.
//
//     dlg.show();
//     QVERIFY(QTest::qWaitForWindowExposed(&dlg));
//     const QStringList problems = zm::test::windowFitProblems(&dlg);
//     QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

#include <QAbstractButton>
#include <QDir>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>

namespace zm::test {

// A window manager's title bar and borders, which the offscreen platform does not draw.
inline constexpr int kFrameHeight = 40;
inline constexpr int kFrameWidth = 10;

inline QStringList windowFitProblems(QWidget *window, QSize screen = QSize(1366, 768))
{
    QStringList problems;
    if (window->layout())
        window->layout()->activate();
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    for (const auto &[size, what] : {std::pair{least, "needs at least"}, std::pair{window->size(), "opens at"}}) {
        if (size.width() + kFrameWidth > screen.width() || size.height() + kFrameHeight > screen.height())
            problems << QStringLiteral("%1 %2 %3x%4, more than a %5x%6 screen holds with a title bar")
                            .arg(window->windowTitle(), QLatin1String(what)).arg(size.width()).arg(size.height())
                            .arg(screen.width()).arg(screen.height());
    }
    auto cut = [&](QWidget *w, const QString &text) {
        if (!w->isVisibleTo(window) || text.isEmpty())
            return;
        if (w->sizeHint().width() > w->width() || w->sizeHint().height() > w->height() + 2)
            problems << QStringLiteral("%1 \"%2\" shows %3x%4 of the %5x%6 it needs")
                            .arg(QString::fromLatin1(w->metaObject()->className()), text)
                            .arg(w->width()).arg(w->height()).arg(w->sizeHint().width()).arg(w->sizeHint().height());
    };
    for (QLabel *l : window->findChildren<QLabel *>()) {
        // A wrapped label is as wide as it is given; a picture is not text.
        if (!l->wordWrap() && l->pixmap().isNull())
            cut(l, l->text());
    }
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (qobject_cast<QPushButton *>(b) || qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b))
            cut(b, b->text());
    }
    // Buttons side by side keep a gap: two that touch read as one.
    QList<QPushButton *> buttons;
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->isVisibleTo(window) && !b->text().isEmpty())
            buttons << b;
    for (QPushButton *a : buttons)
        for (QPushButton *b : buttons) {
            const QRect ra(a->mapTo(window, QPoint()), a->size()), rb(b->mapTo(window, QPoint()), b->size());
            const int gap = rb.left() - ra.right() - 1;
            if (a != b && qAbs(ra.top() - rb.top()) < 3 && gap >= 0 && gap < 3)
                problems << QStringLiteral("\"%1\" and \"%2\" touch").arg(a->text(), b->text());
        }
    return problems;
}

// With ZM_SCREENSHOTS=<folder> set, saves the window as <folder>/<name>.png, to be looked at.
inline void saveScreenshot(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("ZM_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace zm::test
