// Feeds 16 MiB of idle bytes, 4 KiB at a time, through the console's data show (offscreen), in
// hex form and in character form, and compares the cost of the first 64 KiB with the cost of the
// last 64 KiB. Each batch is handed to the console's data show as the console hands it the bytes
// it takes from the link, and is followed by event processing and a real paint of the box.
// Baseline, measured in the same run: a QPlainTextEdit that gets the hex form as one growing line.

#include "app/comm_tool_dlg.h"
#include "app/data_show_view.h"
#include "link/link_session.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr qint64 kBatch = 4 * 1024;
constexpr qint64 kWindow = 64 * 1024;
constexpr qint64 kTotal = 16 * 1024 * 1024;
constexpr qint64 kBaselineTotal = 256 * 1024;

// Bytes of every value, zero and line feeds included, in no simple pattern.
QByteArray batch(quint32 &seed)
{
    QByteArray out(kBatch, Qt::Uninitialized);
    for (char &c : out) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = char(seed >> 24);
    }
    return out;
}

// Heap in use: unlike the resident size, it does not hide what reuses memory freed earlier.
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

struct Figures {
    double firstMs = 0;
    double lastMs = 0;
    double memoryPerByte = 0;
    double ownPerByte = 0;
    quint64 paints = 0;
    double ratio() const { return firstMs > 0 ? lastMs / firstMs : 0; }
};

Figures run(zm::CCommToolDlg &console, bool hex)
{
    zm::DataShowView *view = console.dataShow();
    console.findChild<QCheckBox *>("hexShowCheck")->setChecked(hex);
    quint32 seed = 0x2545F491u;
    auto feed = [&](qint64 bytes) {
        QElapsedTimer t;
        t.start();
        for (qint64 done = 0; done < bytes; done += kBatch) {
            view->appendBytes(batch(seed));
            QApplication::processEvents();
            view->repaint();
        }
        return t.nsecsElapsed() / 1e6;
    };

    // Warm the glyph caches, then start from an empty show.
    feed(kWindow);
    view->clear();
    QApplication::processEvents();

    Figures f;
    const qint64 before = heapInUse();
    const quint64 paintsBefore = view->paintCount();
    f.firstMs = feed(kWindow);
    feed(kTotal - 2 * kWindow);
    f.lastMs = feed(kWindow);
    f.paints = view->paintCount() - paintsBefore;
    f.memoryPerByte = double(heapInUse() - before) / double(kTotal);
    f.ownPerByte = double(view->data().memoryUsed()) / double(kTotal);
    if (view->data().size() != kTotal)
        std::printf("error: the show holds %lld bytes\n", static_cast<long long>(view->data().size()));
    view->clear();
    QApplication::processEvents();
    return f;
}

void baseline()
{
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.resize(420, 200);
    edit.show();
    quint32 seed = 0x2545F491u;
    auto feed = [&](qint64 bytes) {
        QElapsedTimer t;
        t.start();
        for (qint64 done = 0; done < bytes; done += kBatch) {
            QString text;
            for (char c : batch(seed))
                text += QStringLiteral("%1 ").arg(uint8_t(c), 2, 16, QChar('0')).toUpper();
            QTextCursor cursor(edit.document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(text);
            edit.moveCursor(QTextCursor::End);
            QApplication::processEvents();
            edit.viewport()->repaint();
        }
        return t.nsecsElapsed() / 1e6;
    };
    const double first = feed(kWindow);
    feed(kBaselineTotal - 2 * kWindow);
    const double last = feed(kWindow);
    std::printf("baseline, one growing hex line in a QPlainTextEdit: first 64 KiB %.1f ms, "
                "last 64 KiB after %lld KiB %.1f ms, ratio %.2f\n",
                first, static_cast<long long>(kBaselineTotal / 1024), last, last / first);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const bool skipBaseline = app.arguments().contains("--no-baseline");

    zm::LinkSession session;
    zm::CCommToolDlg console(session);
    console.resize(800, 600);
    console.show();
    QApplication::processEvents();

    if (!skipBaseline)
        baseline();

    Figures worse;
    bool worseHex = true;
    for (bool hex : {true, false}) {
        const Figures f = run(console, hex);
        std::printf("%s form: first 64 KiB %.1f ms, last 64 KiB after 16 MiB %.1f ms, ratio %.2f, "
                    "memory per received byte %.3f (heap growth; the show's own count %.3f), %llu paints\n",
                    hex ? "hex" : "character", f.firstMs, f.lastMs, f.ratio(), f.memoryPerByte, f.ownPerByte,
                    static_cast<unsigned long long>(f.paints));
        std::fflush(stdout);
        if (f.ratio() >= worse.ratio()) {
            worse = f;
            worseHex = hex;
        }
    }
    std::printf("data show: first 64 KiB %.1f ms, last 64 KiB after 16 MiB %.1f ms, ratio %.2f, "
                "memory per received byte %.3f (%s form)\n",
                worse.firstMs, worse.lastMs, worse.ratio(), worse.memoryPerByte, worseHex ? "hex" : "character");
    return 0;
}
