#pragma once
// Base of the window tests: the chip, link session and message recorder of ChipTest, the window under
// test shown offscreen, and short ways to reach its controls and to wait for its workers.

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace zm::test {

// Frames written as hex and parted by blanks: "5600360100 5600360101".
inline QList<QByteArray> hexFrames(const char *frames)
{
    QList<QByteArray> list;
    for (const QByteArray &f : QByteArray(frames).split(' '))
        list << QByteArray::fromHex(f);
    return list;
}

class WindowTest : public ChipTest
{
protected:
    // Shows the window and waits for its opening commands.
    template <typename Dlg>
    Dlg *showWindow(std::unique_ptr<Dlg> dlg)
    {
        Dlg *shown = dlg.get();
        m_dlg = std::move(dlg);
        m_dlg->show();
        if (!QTest::qWaitForWindowExposed(shown) || !WorkerRunner::waitForAll(20000))
            qFatal("%s did not open", shown->metaObject()->className());
        return shown;
    }
    // For cleanup(): the window goes before the chip, once its workers have ended.
    void closeWindow()
    {
        settle();
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    template <typename T = QWidget>
    T *child(const QString &name) const
    {
        T *w = m_dlg->findChild<T *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    QLineEdit *edit(const QString &name) const { return child<QLineEdit>(name); }
    QString text(const QString &name) const { return edit(name)->text(); }
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // Clicks and waits for the worker the click started.
    void press(const QString &button)
    {
        click(button);
        settle();
    }
    void type(const QString &name, const QString &typed)
    {
        edit(name)->clear();
        QTest::keyClicks(edit(name), typed);
    }
    void settle() { QVERIFY(WorkerRunner::waitForAll(20000)); }

    // The window fits a 1366x768 screen and shows every text whole; with ZM_SCREENSHOTS set,
    // it is saved as <name>.png to be looked at.
    void checkFit(const QString &name)
    {
        const QStringList problems = windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        saveScreenshot(m_dlg.get(), name);
    }

    std::unique_ptr<QWidget> m_dlg;
};

} // namespace zm::test
