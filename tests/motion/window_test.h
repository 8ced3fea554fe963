#pragma once
// What the motion window tests share: a window of type Dlg on the simulated chip, and short ways
// to reach its controls and to wait for its workers.

#include "tests/common/chip_test.h"

#include <QPushButton>
#include <QTest>

#include <memory>

namespace zm::test {

template <typename Dlg>
class WindowTest : public ChipTest
{
protected:
    void showWindow(std::unique_ptr<Dlg> dlg)
    {
        m_dlg = std::move(dlg);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    // For cleanup().
    void closeWindow()
    {
        settle();
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    template <typename T>
    T *child(const QString &name)
    {
        T *w = m_dlg->template findChild<T *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    void settle() { QVERIFY(WorkerRunner::waitForAll(20000)); }

    std::unique_ptr<Dlg> m_dlg;
};

} // namespace zm::test
