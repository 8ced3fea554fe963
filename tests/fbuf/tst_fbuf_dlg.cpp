// The Fbuf window against the simulated chip: the register workers, the transfers started from
// it, the preview, and the window's refusals.

#include "tests/common/window_test.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tools/fbuf_dlg.h"
#include "tools/fbuf_settings.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>

using namespace zm;

class TestFbufDlg : public test::WindowTest
{
    Q_OBJECT

    CFbufDlg *m_fbuf = nullptr;
    QTemporaryDir m_dir;
    QString m_chosen;

    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    QCheckBox *check(const char *name) { return child<QCheckBox>(name); }
    // Writes the file that the next file chooser answers.
    void chooseFile(const char *name, const QByteArray &bytes)
    {
        m_chosen = m_dir.filePath(QString::fromLatin1(name));
        QVERIFY(test::writeFile(m_chosen, bytes));
    }
    static QByteArray jpeg(int w, int h)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "JPG");
        return bytes;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        auto dlg = std::make_unique<CFbufDlg>(*m_session);
        dlg->setFileChooser([this](bool, const QString &, const QString &) { return m_chosen; });
        m_fbuf = showWindow(std::move(dlg));
    }
    void cleanup() { closeWindow(); }

    // Get shows the chip's registers (and the TCR's ratio); the encryption Set writes only what
    // changes and keeps the other bits; a failure shows its prefix and the result text. The
    // capture buttons send their codes.
    void registersAndCapture()
    {
        combo("tcrCombo")->setCurrentIndex(0x40);
        press("tcrSetButton");
        QCOMPARE(int(m_chip->reg(kTcrRegister)), 0x40);
        // Bit 7 already set: only the key is written.
        m_chip->setReg(kFbufCryptRegister, 0x85);
        check("cryptEnableCheck")->setChecked(true);
        combo("cryptKeyCombo")->setCurrentIndex(0x2A);
        m_chip->clearFrames();
        press("cryptSetButton");
        QCOMPARE(m_chip->frames(), test::hexFrames("5600300401011318 560031050101131D2A"));
        check("cryptEnableCheck")->setChecked(false);
        press("cryptSetButton");
        QCOMPARE(int(m_chip->reg(kFbufCryptRegister)), 0x05);
        m_chip->setReg(kFbufCryptRegister, 0x80);
        m_chip->setReg(kFbufKeyRegister, 0x7E);
        m_chip->setReg(kTcrRegister, 0x05);
        press("cryptGetButton");
        press("tcrGetButton");
        QVERIFY(check("cryptEnableCheck")->isChecked());
        QCOMPARE(combo("cryptKeyCombo")->currentIndex(), 0x7E);
        QCOMPARE(text("ratioEdit"), QString("1.00"));
        QVERIFY(m_messages->texts().isEmpty());

        m_chip->addFault("status=5,cmd=0x30,times=1");
        press("cryptGetButton");
        m_chip->addFault("status=3,cmd=0x31,times=1");
        press("tcrSetButton");
        QCOMPARE(m_messages->headlines(), (QStringList{"Read chip register failed!:Cmd recept, but execute failed",
                                                   "Write chip register failed!:Invalid data format"}));
        QVERIFY(m_dlg->isEnabled());

        m_chip->clearFrames();
        for (const char *b : {"stopCurrentButton", "stopNextButton", "stepButton", "resumeButton"})
            press(b);
        QCOMPARE(m_chip->frames(), test::hexFrames("5600360100 5600360101 5600360102 5600360103"));
    }

    // "Read File" shows the file's length and its picture, at most 640 wide or 480 high, with
    // its size; a file that is no picture after a picture shows why nothing is drawn. The
    // drawn picture can be scrolled to its last pixel.
    void preview_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("drawn");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QString>("lengthText");
        const auto row = [](const char *name, int w, int h, QSize drawn) {
            const QByteArray bytes = jpeg(w, h);
            QTest::newRow(name) << bytes << drawn << QStringLiteral("(%1*%2)").arg(w).arg(h)
                                << fbufLengthText(uint32_t(bytes.size()));
        };
        row("1280x960", 1280, 960, QSize(640, 480));
        row("320x240", 320, 240, QSize(320, 240));
        row("1000x333", 1000, 333, QSize(640, 213));
        QTest::newRow("not a picture") << QByteArray(3072, '\x55') << QSize(0, 0) << "(not a picture)"
                                       << "0x00000C00 (3.00K)";
    }
    void preview()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, drawn);
        QFETCH(QString, sizeText);
        QFETCH(QString, lengthText);
        chooseFile("first.jpg", jpeg(16, 16));
        click("readFileButton");
        chooseFile("in.jpg", bytes);
        click("readFileButton");
        QCOMPARE(m_fbuf->previewDrawSize().expandedTo(QSize(0, 0)), drawn);
        QCOMPARE(text("sizeEdit"), sizeText);
        QCOMPARE(text("imageLenEdit"), lengthText);
        auto *scroll = child<QScrollArea>("pictureScroll");
        QCOMPARE(scroll->widget()->size(), drawn);
        const QSize view = scroll->viewport()->size();
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), qMax(0, drawn.width() - view.width()));
        QCOMPARE(scroll->verticalScrollBar()->maximum(), qMax(0, drawn.height() - view.height()));
        if (drawn.width() > view.width())
            QTRY_VERIFY(scroll->horizontalScrollBar()->isVisible());
        check("showImageCheck")->setChecked(false);
        QVERIFY(m_fbuf->preview().isNull());
        QVERIFY(m_messages->texts().isEmpty());
    }

    void filesMustBeChosenFirst()
    {
        click("readButton");
        click("writeButton");
        m_chosen = m_dir.filePath("does/not/exist.jpg");
        click("readFileButton");
        QCOMPARE(m_messages->headlines(), (QStringList{"Please select the image file to write first!",
                                                   "Please open image file first!", "Open file failed!"}));
        QVERIFY(m_chip->frames().isEmpty());
    }

    // A picture read from the frame buffer into a file and shown, then written back; the
    // window with its picture fits the screen.
    void readsShowsAndWritesBack()
    {
        const QByteArray picture = jpeg(800, 600);
        m_chip->setFrameBuffer(0, picture);
        m_chosen = m_dir.filePath("out.jpg");
        click("selFileButton");
        QCOMPARE(m_fbuf->readTarget(), m_chosen);
        press("readButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Fbuf read finished!"});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Information);
        QCOMPARE(test::readFile(m_chosen), picture);
        QCOMPARE(m_fbuf->previewDrawSize(), QSize(640, 480)); // the picture read is shown
        QVERIFY(m_dlg->isEnabled());
        m_dlg->resize(m_dlg->sizeHint());
        checkFit("fbuf");

        // Capture still runs: refused before a byte goes, naming the button that stops it.
        m_chip->setFrameBuffer(0, QByteArray(10, '\0'));
        click("readFileButton");
        m_messages->clear();
        press("writeButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Set fbuf size failed!:Frame buffer not stop, can't set length"});
        QVERIFY(m_messages->texts().at(0).contains("\"Stop CFbuf\""));
        QCOMPARE(m_chip->frames().last().at(2), char(0x35));

        press("stopCurrentButton");
        press("writeButton");
        QCOMPARE(m_messages->texts().last(), QString("Fbuf write finished!"));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
        QCOMPARE(m_chip->frameBuffer(0), picture);
    }

    // The picture arrived whole but the chip's closing answer failed: the picture is kept and
    // shown, and the failure is told after the finish, as a warning.
    void failedClosingAnswerWarnsAfterTheFinish()
    {
        const QByteArray picture = jpeg(64, 48);
        m_chip->setFrameBuffer(0, picture);
        QVERIFY(m_chip->addFault("status=5,cmd=0x32,closing,times=1"));
        m_chosen = m_dir.filePath("kept.jpg");
        click("selFileButton");
        press("readButton");
        QCOMPARE(m_messages->headlines(), (QStringList{"Fbuf read finished!",
                                                       "Read revert CMD failed!:Cmd recept, but execute failed"}));
        QCOMPARE(m_messages->at(1).icon, QMessageBox::Warning);
        QCOMPARE(test::readFile(m_chosen), picture);
        QCOMPARE(m_fbuf->previewDrawSize(), QSize(64, 48));
        QVERIFY(m_dlg->isEnabled());
    }

    // "Delay Time:" takes 0..65535 only, sent as typed; an empty field is refused at the press.
    void delayTimeIsSixteenBits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("65536") << "65536" << "6553";
        QTest::newRow("65535") << "65535" << "65535";
        QTest::newRow("letters") << "12a" << "12";
    }
    void delayTimeIsSixteenBits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        type("delayEdit", typed);
        QCOMPARE(text("delayEdit"), kept);
        m_chip->setFrameBuffer(0, QByteArray(100, '\x11'));
        m_chosen = m_dir.filePath("d.jpg");
        click("selFileButton");
        press("readButton");
        const QByteArray read = m_chip->frames().last();
        QCOMPARE(int(read[2]), 0x32);
        QCOMPARE(getBe16(reinterpret_cast<const uint8_t *>(read.constData()) + 14), uint16_t(kept.toUInt()));

        edit("delayEdit")->clear();
        const qsizetype before = m_chip->frames().size();
        m_messages->clear();
        click("readButton");
        QCOMPARE(m_messages->headlines(), QStringList{"\"Delay Time:\" takes a number from 0 to 65535."});
        QCOMPARE(m_chip->frames().size(), before);
    }

    // A file longer than a read can bring back is written only when the user says so.
    void longFileAsksFirst()
    {
        chooseFile("long.jpg", QByteArray(700000, '\x20'));
        click("readFileButton");
        m_messages->setAnswer(QMessageBox::No);
        press("writeButton");
        QCOMPARE(m_messages->count(), 1);
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Question);
        QVERIFY(m_messages->at(0).text.contains("614400"));
        QVERIFY(m_chip->frames().isEmpty());
        QVERIFY(m_dlg->isEnabled());
    }

    // The port goes away under the open window: its command buttons wait for it (the file
    // choosers do not), a command started anyway says the port is not open, and all comes back
    // when the port is open again.
    void portLostDisablesTheCommands()
    {
        QVERIFY(m_chip->addFault("hangup,cmd=0x36,times=1"));
        press("stopCurrentButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isOpen(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!child<QPushButton>("readButton")->isEnabled(), 5000);
        for (const char *b : {"stopNextButton", "getLenButton", "writeButton", "cryptSetButton", "tcrGetButton"})
            QVERIFY2(!child<QPushButton>(b)->isEnabled(), b);
        QVERIFY(child<QPushButton>("selFileButton")->isEnabled());
        QVERIFY(child<QPushButton>("readFileButton")->isEnabled());
        QVERIFY(m_messages->texts().isEmpty()); // the console tells the loss, once
        emit child<QPushButton>("tcrGetButton")->clicked();
        QCOMPARE(m_messages->headlines(), QStringList{"Comm port not be opened!"});

        QVERIFY(m_session->open(m_chip->reopen(), "38400,n,8,1"));
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("readButton")->isEnabled(), 5000);
        press("tcrGetButton");
        QCOMPARE(m_messages->count(), 1);
    }
};

QTEST_MAIN(TestFbufDlg)
#include "tst_fbuf_dlg.moc"
