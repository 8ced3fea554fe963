#pragma once
// What the feature window tests share: the window under test over the simulated chip, its
// children by name, clicks that wait for the worker they start, the frames the chip received as
// hex, and the look of the window (fit check and screenshot).

#include "ui/tool_dialog.h"

#include <QAbstractButton>
#include <QTest>

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"
#include "tests/features/chip_frames.h"

namespace zm::test {

class FeatureWindowTest : public ChipTest
{
protected:
    // Shows the window (which then does what it does on opening) and waits for its workers.
    void show(std::unique_ptr<ToolDialog> dlg)
    {
        m_dlg = std::move(dlg);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        settle();
    }
    template <typename T>
    T *child(const QString &name)
    {
        T *w = m_dlg->findChild<T *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    void settle() { QVERIFY(WorkerRunner::waitForAll(20000)); }
    // A mouse click on the button, and the worker it started run to its end.
    void click(const QString &button)
    {
        QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton);
        settle();
    }
    QStringList frames() const { return hexFrames(*m_chip); }
    // Fits 1366x768 with every text whole; saved as <name>.png with ZM_SCREENSHOTS set.
    void checkLook(const QString &name)
    {
        saveScreenshot(m_dlg.get(), name);
        const QStringList problems = windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }
    // For cleanup().
    void closeWindow()
    {
        settle();
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    std::unique_ptr<ToolDialog> m_dlg;
};

} // namespace zm::test
