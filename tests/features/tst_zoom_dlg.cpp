// The Zoom window against the simulated chip: the record it opens with, the frames of its pan
// and zoom buttons, the down-size group, typed values, and the drawing that follows them.

#include "features/feature_records.h"
#include "features/zoom_dlg.h"
#include "features/zoom_view.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/features/feature_window_test.h"

using namespace zm;

class TestZoomDlg : public test::FeatureWindowTest
{
    Q_OBJECT

    FeatureRecords m_records;

    void open() { show(std::make_unique<CZoomDlg>(*m_layer, m_records)); }
    CZoomDlg *dlg() { return static_cast<CZoomDlg *>(m_dlg.get()); }
    void type(const char *edit, const QString &text)
    {
        child<QLineEdit>(edit)->clear();
        QTest::keyClicks(child<QLineEdit>(edit), text);
    }
    QStringList sizes()
    {
        QStringList s;
        for (const char *e : {"srcWidthEdit", "srcHeightEdit", "zoomWidthEdit", "zoomHeightEdit", "hStartEdit", "vStartEdit"})
            s << child<QLineEdit>(e)->text();
        return s;
    }
    static QString setZoomFrame(int w, int h, int x, int y)
    {
        return QString::asprintf("56005208%04X%04X%04X%04X", w, h, x, y);
    }

private slots:
    void init()
    {
        m_records = FeatureRecords{};
        QVERIFY2(startChip(), qPrintable(m_error));
    }
    void cleanup() { closeWindow(); }

    // The edits and lists come from the record, the step lists from their start values, and
    // nothing is sent.
    void opensFromTheRecord()
    {
        m_records.zoom = ZoomRecord{2, 1, 800, 600, ZoomRect{400, 300, 10, 20}};
        open();
        checkLook("features_zoom");
        QCOMPARE(sizes(), QStringList({"800", "600", "400", "300", "10", "20"}));
        QCOMPARE(child<QComboBox>("horCombo")->currentText(), QString("1/4"));
        QCOMPARE(child<QComboBox>("verCombo")->currentText(), QString("1/2"));
        QStringList steps;
        for (const char *c : {"horZoomCombo", "verZoomCombo", "horMoveCombo", "verMoveCombo"})
            steps << child<QComboBox>(c)->currentText();
        QCOMPARE(steps, QStringList({"032", "024", "032", "024"}));
        QTest::qWait(50);
        QVERIFY(m_chip->frames().isEmpty());
    }

    // Each press works the rectangle out from the window's values and sends it at once; the
    // record and the drawing follow.
    void panAndZoomButtons_data()
    {
        QTest::addColumn<ZoomRect>("start");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("zoom in from the start") << ZoomRect{640, 480, 0, 0} << QStringList{"zoomInButton"}
                                                << QStringList{"56005208026001C800000000"};
        QTest::newRow("zoom out twice from H 432") << ZoomRect{640, 432, 0, 24} << QStringList{"zoomOutButton", "zoomOutButton"}
                                                   << QStringList{setZoomFrame(640, 456, 0, 0), setZoomFrame(640, 480, 0, 0)};
        QTest::newRow("dwon at its limit stays") << ZoomRect{640, 432, 0, 24} << QStringList{"downButton"}
                                                 << QStringList{setZoomFrame(640, 432, 0, 24)};
        QTest::newRow("right onto its limit") << ZoomRect{600, 480, 8, 0} << QStringList{"rightButton"}
                                              << QStringList{setZoomFrame(600, 480, 40, 0)};
        QTest::newRow("center, up, left") << ZoomRect{320, 240, 0, 0} << QStringList{"centerButton", "upButton", "leftButton"}
                                          << QStringList{setZoomFrame(320, 240, 160, 120), setZoomFrame(320, 240, 160, 96),
                                                         setZoomFrame(320, 240, 128, 96)};
    }
    void panAndZoomButtons()
    {
        QFETCH(ZoomRect, start);
        QFETCH(QStringList, presses);
        QFETCH(QStringList, sent);
        m_records.zoom.zoom = start;
        open();
        for (const QString &p : presses)
            click(p);
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(frames(), sent);
        const QByteArray last = QByteArray::fromHex(sent.last().toLatin1());
        const ZoomRect now{getBe16(reinterpret_cast<const uint8_t *>(last.constData()) + 4),
                           getBe16(reinterpret_cast<const uint8_t *>(last.constData()) + 6),
                           getBe16(reinterpret_cast<const uint8_t *>(last.constData()) + 8),
                           getBe16(reinterpret_cast<const uint8_t *>(last.constData()) + 10)};
        QCOMPARE(sizes().mid(2), QStringList({QString::number(now.width), QString::number(now.height),
                                              QString::number(now.hStart), QString::number(now.vStart)}));
        QCOMPARE(m_records.zoom.zoom.width, now.width);
        QCOMPARE(m_records.zoom.zoom.vStart, now.vStart);
        QCOMPARE(m_chip->features().zoomHeight, now.height);
        auto *view = child<ZoomView>("zoomView");
        const ZoomPicture drawn = view->picture();
        QCOMPARE(drawn.zoom.width() / drawn.frame.width(), now.width / 640.0);
        QCOMPARE((drawn.zoom.top() - drawn.frame.top()) / drawn.frame.height(), now.vStart / 480.0);
    }

    // The step lists change the steps: Ver Pixel per Zoom 008 makes Zoom In take 8 lines.
    void stepListsTakeEffect()
    {
        open();
        child<QComboBox>("verZoomCombo")->setCurrentIndex(0);
        child<QComboBox>("horZoomCombo")->setCurrentIndex(44);
        QCOMPARE(dlg()->steps().zoomV, 8);
        click("zoomInButton");
        QCOMPARE(frames(), QStringList{setZoomFrame(16, 472, 0, 0)});
    }

    // Typed values: a sixth digit or a value over 65535 is undone with a message, an empty
    // field stops the button with a message naming it; the drawing follows what is typed and
    // marks a rectangle that leaves the source, which the chip then refuses.
    void typedValues()
    {
        open();
        type("zoomWidthEdit", "70000");
        QCOMPARE(child<QLineEdit>("zoomWidthEdit")->text(), QString("7000"));
        QCOMPARE(m_messages->texts(), QStringList{"ZoomWidth must be a number from 0 to 65535."});
        QVERIFY(!child<ZoomView>("zoomView")->picture().fits);
        m_messages->clear();
        click("setZoomButton");
        QCOMPARE(m_messages->texts(), QStringList{"Invalid data format"});
        QCOMPARE(m_records.zoom.zoom.width, uint16_t(7000));

        m_messages->clear();
        m_chip->clearFrames();
        child<QLineEdit>("vStartEdit")->clear();
        click("zoomInButton");
        QCOMPARE(m_messages->texts(), QStringList{"vStartPos must be a number from 0 to 65535."});
        QVERIFY(m_chip->frames().isEmpty());
    }

    // Get Zoom Config brings the chip's six values; a failed one keeps the window and record.
    void getZoomConfig()
    {
        m_chip->withModel([](sim::ChipModel &m) {
            auto &f = m.features();
            f.sourceWidth = 1280;
            f.sourceHeight = 720;
            f.zoomWidth = 640;
            f.zoomHeight = 360;
            f.hStart = 320;
            f.vStart = 180;
        });
        open();
        QVERIFY(m_chip->addFault("noanswer,cmd=0x53,times=1"));
        m_layer->setCommandTimeout(300);
        click("getZoomButton");
        QCOMPARE(m_messages->texts(), QStringList{"Cmd time out"});
        QCOMPARE(sizes(), QStringList({"640", "480", "640", "480", "0", "0"}));
        click("getZoomButton");
        QCOMPARE(sizes(), QStringList({"1280", "720", "640", "360", "320", "180"}));
        QCOMPARE(m_records.zoom.sourceWidth, uint16_t(1280));
        QCOMPARE(m_records.zoom.zoom.vStart, uint16_t(180));
        const ZoomPicture drawn = child<ZoomView>("zoomView")->picture();
        QCOMPARE(drawn.zoom.center(), drawn.frame.center());
    }

    // The down-size byte: vertical index times 16 plus horizontal; a get selects both lists,
    // an index the lists do not have leaves its list empty and stops Set.
    void downSize()
    {
        open();
        child<QComboBox>("horCombo")->setCurrentIndex(2);
        child<QComboBox>("verCombo")->setCurrentIndex(1);
        click("setDownSizeButton");
        QCOMPARE(frames(), QStringList{"5600540112"});
        QCOMPARE(m_chip->features().downSize, uint8_t(0x12));
        m_chip->withModel([](sim::ChipModel &m) { m.features().downSize = 0x01; });
        click("getDownSizeButton");
        QCOMPARE(child<QComboBox>("horCombo")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>("verCombo")->currentIndex(), 0);
        QCOMPARE(m_records.zoom.hDownSize, 1);

        m_chip->withModel([](sim::ChipModel &m) { m.features().downSize = 0x30; });
        click("getDownSizeButton");
        QCOMPARE(child<QComboBox>("verCombo")->currentIndex(), -1);
        m_chip->clearFrames();
        click("setDownSizeButton");
        QCOMPARE(m_messages->texts(), QStringList{"Select one of 1, 1/2, 1/4 first."});
        QVERIFY(m_chip->frames().isEmpty());
    }
};

QTEST_MAIN(TestZoomDlg)
#include "tst_zoom_dlg.moc"
