#pragma once
// Base of the control-info and memory window tests: the simulated chip fixture, one window shown
// offscreen, and the small moves a test makes on it.

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace zm::test {

template <typename Dialog>
class DialogTest : public ChipTest
{
protected:
    // For init(): QVERIFY2(openWindow(), qPrintable(m_error)).
    bool openWindow(bool portOpen = true)
    {
        if (!startChip(portOpen))
            return false;
        // A real chip takes seconds for a chip erase; the tests that care set their own time.
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(0, 0); });
        m_dlg = std::make_unique<Dialog>(*m_layer);
        m_dlg->show();
        if (!QTest::qWaitForWindowExposed(m_dlg.get())) {
            m_error = QStringLiteral("the window was not shown");
            return false;
        }
        return true;
    }
    // For cleanup().
    bool closeWindow()
    {
        const bool settled = WorkerRunner::waitForAll(20000);
        m_dlg.reset();
        return stopChip() && settled;
    }

    template <typename T>
    T *child(const char *name) const
    {
        T *w = m_dlg->template findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(name); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // Clicks and waits for the worker the click started.
    bool press(const char *button)
    {
        click(button);
        return WorkerRunner::waitForAll(30000);
    }
    QStringList frames() const
    {
        QStringList out;
        for (const QByteArray &f : m_chip->frames())
            out << QString::fromLatin1(f.toHex().toUpper());
        return out;
    }
    // Fits 1366x768 with every text whole; saved as a picture when ZM_SCREENSHOTS is set.
    QStringList fitProblems(const QString &screenshot)
    {
        saveScreenshot(m_dlg.get(), screenshot);
        return windowFitProblems(m_dlg.get());
    }

    std::unique_ptr<Dialog> m_dlg;
};

} // namespace zm::test
