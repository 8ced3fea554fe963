// The console's feature buttons open their windows over the simulated chip, and each window
// comes back closed with the console usable.

#include "app/comm_tool_dlg.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/common/chip_test.h"

using namespace zm;

class TestConsoleButtons : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init() { QVERIFY2(startChip(false), qPrintable(m_error)); }
    void cleanup() { QVERIFY(stopChip()); }

    void opensItsWindow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("4") << "Color Ctrl" << "Color Control";
        QTest::newRow("5") << "Mirror Ctrl" << "Mirror Control";
        QTest::newRow("6") << "Power Ctrl" << "Power Save Control";
        QTest::newRow("7") << "Timer Ctrl" << "RTC Time Control";
        QTest::newRow("8") << "AE Ctrl" << "AE Ctrl";
        QTest::newRow("11") << "Image Property" << "Image Property Page";
        QTest::newRow("12") << "Gamma" << "Gamma  [X1-X15]=[0x1940-0x194E], [Y0-Y16]=[0x194F-0x195F]";
        QTest::newRow("14") << "Other Ctrl" << "Other Control";
        QTest::newRow("18") << "Zoom Ctrl" << "Zoom";
    }
    void opensItsWindow()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        CCommToolDlg console(*m_layer);
        console.selectPort(m_chip->slavePath());
        QTest::mouseClick(console.findChild<QPushButton *>("openButton"), Qt::LeftButton);
        QVERIFY(m_layer->isOpen());
        console.show();
        QVERIFY(QTest::qWaitForWindowExposed(&console));

        // The window runs modally inside the click; it is closed from here once it has done
        // what it does on opening.
        QString seen;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == &console || m_layer->isBusy())
                return;
            seen = modal->windowTitle();
            QMetaObject::invokeMethod(modal, "reject");
        });
        closer.start();
        QTest::mouseClick(console.commandButton(button), Qt::LeftButton);
        closer.stop();
        QCOMPARE(seen, title);
        QVERIFY(m_messages->texts().isEmpty());
        QVERIFY(WorkerRunner::waitForAll(20000));
    }
};

QTEST_MAIN(TestConsoleButtons)
#include "tst_console_buttons.moc"
