// The feature core without a chip: the pan and zoom steps, the drawing geometry, the picture
// control encodings, the gamma table text and curve, and the clock text.

#include "features/gamma.h"
#include "features/image_property.h"
#include "features/rtc_text.h"
#include "features/zoom.h"

#include <QTest>

using namespace zm;

Q_DECLARE_METATYPE(zm::ZoomRect)
Q_DECLARE_METATYPE(zm::Pan)

namespace {

ZoomRect rect(int w, int h, int x, int y)
{
    return ZoomRect{uint16_t(w), uint16_t(h), uint16_t(x), uint16_t(y)};
}

QString shown(const ZoomRect &z)
{
    return QStringLiteral("%1x%2 at %3,%4").arg(z.width).arg(z.height).arg(z.hStart).arg(z.vStart);
}

} // namespace

class TestFeaturesCore : public QObject
{
    Q_OBJECT

private slots:
    // Steps 32/24 for zoom and move.
    void panAndZoom_data()
    {
        QTest::addColumn<ZoomRect>("start");
        QTest::addColumn<int>("sourceWidth");
        QTest::addColumn<int>("sourceHeight");
        QTest::addColumn<Pan>("how");
        QTest::addColumn<ZoomRect>("after");
        const int sw = 640, sh = 480;
        QTest::newRow("zoom in at zh+16 and zv+8 stops at 16x8") << rect(48, 32, 5, 5) << sw << sh << Pan::ZoomIn << rect(16, 8, 5, 5);
        QTest::newRow("zoom out from H 456 gives the full height") << rect(640, 456, 0, 24) << sw << sh << Pan::ZoomOut << rect(640, 480, 0, 0);
        QTest::newRow("zoom out pulls X back inside") << rect(600, 240, 100, 0) << sw << sh << Pan::ZoomOut << rect(632, 264, 8, 0);
        // The vertical limit is SH - zv, not SH.
        QTest::newRow("zoom out keeps the bottom above SH - zv") << rect(320, 400, 0, 50) << sw << sh << Pan::ZoomOut << rect(352, 424, 0, 32);
        QTest::newRow("right past its limit clamps") << rect(600, 240, 20, 0) << sw << sh << Pan::Right << rect(600, 240, 40, 0);
        QTest::newRow("center rounds down") << rect(601, 401, 0, 0) << sw << sh << Pan::Center << rect(601, 401, 19, 39);
        // A typed rectangle larger than the source: the limits are 0, never a wrapped 65535.
        QTest::newRow("right, wider than the source") << rect(700, 240, 0, 0) << sw << sh << Pan::Right << rect(700, 240, 0, 0);
        QTest::newRow("center, larger than the source") << rect(700, 500, 9, 9) << sw << sh << Pan::Center << rect(700, 500, 0, 0);
        QTest::newRow("zoom out, source lower than a step") << rect(16, 8, 0, 4) << 64 << 16 << Pan::ZoomOut << rect(48, 16, 0, 0);
        QTest::newRow("zoom in near 65535") << rect(65535, 65535, 0, 0) << 65535 << 65535 << Pan::ZoomIn << rect(65503, 65511, 0, 0);
    }
    void panAndZoom()
    {
        QFETCH(ZoomRect, start);
        QFETCH(int, sourceWidth);
        QFETCH(int, sourceHeight);
        QFETCH(Pan, how);
        QFETCH(ZoomRect, after);
        QCOMPARE(shown(pan(start, uint16_t(sourceWidth), uint16_t(sourceHeight), how, ZoomSteps{})), shown(after));
    }


    // The drawing's frame keeps the source's aspect, centred; the rectangle is to the same scale.
    void zoomDrawing_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<ZoomRect>("zoom");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<bool>("fits");
        QTest::newRow("half scale") << QSizeF(320, 240) << rect(320, 240, 160, 120) << QRectF(0, 0, 320, 240)
                                    << QRectF(80, 60, 160, 120) << true;
        QTest::newRow("wide area: centred") << QSizeF(400, 240) << rect(640, 480, 0, 0) << QRectF(40, 0, 320, 240)
                                            << QRectF(40, 0, 320, 240) << true;
        QTest::newRow("tall area: centred") << QSizeF(320, 440) << rect(16, 8, 624, 472) << QRectF(0, 100, 320, 240)
                                            << QRectF(312, 336, 8, 4) << true;
        QTest::newRow("past the right edge") << QSizeF(320, 240) << rect(640, 480, 1, 0) << QRectF(0, 0, 320, 240)
                                             << QRectF(0.5, 0, 320, 240) << false;
    }
    void zoomDrawing()
    {
        QFETCH(QSizeF, area);
        QFETCH(ZoomRect, zoom);
        QFETCH(QRectF, frame);
        QFETCH(QRectF, rect);
        QFETCH(bool, fits);
        const ZoomPicture p = zoomPicture(area, 640, 480, zoom);
        QCOMPARE(p.frame, frame);
        QCOMPARE(p.zoom, rect);
        QCOMPARE(p.fits, fits);
        QVERIFY(zoomPicture(area, 0, 480, zoom).frame.isEmpty());
    }

    // Slider values to register bytes and back, and the texts beside the sliders; hue bytes the
    // chip may hold that the slider cannot make (magnitudes above 30, a negative zero).
    void pictureEncodings()
    {
        using namespace picture;
        QCOMPARE(int(hueByte(-5)), 0x85);
        QCOMPARE(hueValue(0x85), -5);
        QCOMPARE(hueLabel(-5), QString("(0x85),  -5"));
        QCOMPARE(int(brightnessByte(-128)), 0x80);
        QCOMPARE(brightnessValue(0x80), -128);
        QCOMPARE(brightnessLabel(-128), QString("(0x80), -128"));
        QCOMPARE(contrastLabel(0x80), QString("(0x80), 1.0000000"));
        QCOMPARE(saturationLabel(0x40), QString("(0x40), 1.500000"));
        QCOMPARE(offContrastLabel(0x80), QString("(0x80), 128"));
        QCOMPARE(hueValue(0x9F), -31);
        QCOMPARE(hueValue(0x80), 0);
        QCOMPARE(hueValue(0x7E), 30); // bits 5 and 6 carry nothing
        QCOMPARE(int(hueByte(-40)), 0x9F);
    }

    // The enable boxes own bits 1-4 of the Control register: the chip's other bits are kept,
    // stray bits of the boxes ignored.
    void enableBits()
    {
        QCOMPARE(int(picture::withEnables(0xE1, 0)), 0xE1);
        QCOMPARE(int(picture::withEnables(0x00, 0xFF)), 0x1E);
    }

    // gamma-set's file: what is taken and what is refused, with the token named.
    void gammaText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // empty: accepted
        QString ok;
        for (int i = 0; i < 32; ++i)
            ok += (i % 3 == 0 ? QString::number(i * 7) : QStringLiteral("0x%1").arg(i * 7, 0, 16))
                + (i % 2 ? ", " : "\n\t ");
        QTest::newRow("decimal and hex, commas and line ends") << ok << "";
        QTest::newRow("a word") << "1 2 junk" << "\"junk\" is not a number from 0 to 255";
        QTest::newRow("256") << "256" << "\"256\" is not a number from 0 to 255";
        QTest::newRow("a sign") << "+5" << "\"+5\" is not a number from 0 to 255";
        QTest::newRow("a token of a megabyte is quoted cut short")
            << QString(1 << 20, 'x') << "\"" + QString(40, 'x') + "...\" is not a number from 0 to 255";
        QTest::newRow("31 numbers") << QString("1 ").repeated(31) << "31 numbers where X1..X15 and Y0..Y16 take 32";
        QTest::newRow("33 numbers") << QString("1 ").repeated(32) + "77" << "more than 32 numbers (\"77\" is the 33rd)";
    }
    void gammaText()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString said;
        const auto table = parseGammaText(text, &said);
        QCOMPARE(said, error);
        QCOMPARE(table.has_value(), error.isEmpty());
        if (table)
            for (int i = 0; i < 32; ++i)
                QCOMPARE(int((*table)[size_t(i)]), i * 7);
    }

    // Y0 at input 0, Yn at Xn, Y16 at full scale; the plot has output upwards.
    void gammaCurve()
    {
        const QList<QPointF> curve = zm::gammaCurve(kDefaultGamma);
        QCOMPARE(curve.size(), 17);
        QCOMPARE(curve[1], QPointF(8, 16));
        QCOMPARE(curve.last(), QPointF(256, 255));
        const QRectF plot(10, 20, 256, 255);
        QCOMPARE(gammaPlotPoint(QPointF(0, 0), plot), QPointF(10, 275));
        QCOMPARE(gammaPlotPoint(QPointF(256, 255), plot), QPointF(266, 20));
    }

    // The clock's one text form, and dates and hours that do not exist refused.
    void clockText()
    {
        QCOMPARE(rtcText(parseRtcText("2024-02-29 23:59:58").value()), QString("2024-02-29 23:59:58"));
        for (const char *bad : {"2024-02-30 10:00:00", "2024-01-01 24:00:00", "2024-02-01T01:02:03"})
            QVERIFY2(!parseRtcText(bad), bad);
    }
};

QTEST_APPLESS_MAIN(TestFeaturesCore)
#include "tst_features_core.moc"
