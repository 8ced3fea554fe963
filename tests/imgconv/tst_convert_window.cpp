// The converter's window, driven offscreen.

#include "imgconv/convert_window.h"
#include "pictures.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestConvertWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(zm::test::picture(120, 80).save(m_dir->filePath("in.bmp"), "bmp"));
    }

    void opensAndShowsPicture()
    {
        zm::ConvertWindow window;
        window.show();
        QCOMPARE(window.windowTitle(), QString("Image Convert"));
        auto *save = window.findChild<QPushButton *>("saveButton");
        QVERIFY(!save->isEnabled()); // nothing to save yet

        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        QVERIFY(save->isEnabled());
        QCOMPARE(window.findChild<QLabel *>("sizeLabel")->text(), QString("120 x 80 pixels"));
        QCOMPARE(window.findChild<QLabel *>("fileLabel")->text(), QString("in.bmp"));
        const QPixmap preview = window.findChild<QLabel *>("previewLabel")->pixmap();
        QCOMPARE(preview.size(), QSize(120, 80)); // fits, so shown at its own size
        QVERIFY(window.statusText().startsWith("Opened "));
    }

    void failedOpenKeepsPicture()
    {
        zm::ConvertWindow window;
        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        QVERIFY(!window.openFile(m_dir->filePath("missing.bmp")));
        QVERIFY2(window.statusText().contains("does not exist"), qPrintable(window.statusText()));
        QCOMPARE(window.findChild<QLabel *>("sizeLabel")->text(), QString("120 x 80 pixels"));
        QVERIFY(window.saveJpeg(m_dir->filePath("out.jpg")));
        QCOMPARE(QImage(m_dir->filePath("out.jpg")).size(), QSize(120, 80));
    }

    void sliderAndSpinBoxAgree()
    {
        zm::ConvertWindow window;
        auto *slider = window.findChild<QSlider *>("qualitySlider");
        auto *spin = window.findChild<QSpinBox *>("qualitySpin");
        QCOMPARE(window.quality(), 90);
        QCOMPARE(slider->value(), 90);
        spin->setValue(30);
        QCOMPARE(slider->value(), 30);
        slider->setValue(70);
        QCOMPARE(window.quality(), 70);
        QCOMPARE(spin->maximum(), 100);
        QCOMPARE(slider->minimum(), 0);
    }

    void savesAtChosenQuality()
    {
        zm::ConvertWindow window;
        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        window.setQuality(10);
        QVERIFY(window.saveJpeg(m_dir->filePath("low.jpg")));
        QVERIFY(window.statusText().contains("quality 10"));
        window.setQuality(95);
        const QString high = m_dir->filePath("high.jpg");
        QVERIFY(window.saveJpeg(high));
        QVERIFY2(window.statusText().startsWith("Saved " + QDir::toNativeSeparators(high)),
                 qPrintable(window.statusText()));

        const QImage result(high);
        QCOMPARE(result.size(), QSize(120, 80));
        QVERIFY(zm::test::meanDifference(result, QImage(m_dir->filePath("in.bmp"))) < 10.0);
        QVERIFY(QFileInfo(m_dir->filePath("low.jpg")).size() < QFileInfo(high).size());
    }

    void saveFailureIsShown()
    {
        zm::ConvertWindow window;
        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        const QString out = m_dir->filePath("missing/out.jpg");
        QVERIFY(!window.saveJpeg(out));
        QVERIFY2(window.statusText().startsWith("Cannot write " + QDir::toNativeSeparators(out)),
                 qPrintable(window.statusText()));
        QVERIFY(!QFile::exists(out));
    }

    // Through the button: the dialog proposes the picture's name, a name typed without
    // a suffix gets ".jpg".
    void saveButtonProposesNameAndAddsSuffix()
    {
        zm::ConvertWindow window;
        window.show();
        QVERIFY(window.openFile(m_dir->filePath("in.bmp")));
        QString proposed;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            proposed = dialog->selectedFiles().value(0);
            dialog->selectFile(m_dir->filePath("photo"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(window.findChild<QPushButton *>("saveButton"), Qt::LeftButton);
        QCOMPARE(proposed, m_dir->filePath("in.jpg"));
        QCOMPARE(QImage(m_dir->filePath("photo.jpg")).size(), QSize(120, 80));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestConvertWindow)
#include "tst_convert_window.moc"
