// The layers of the code, held against every #include of the tree. Dependencies point down only:
//
//   programs   app/  cli/  sim/  imgconv/
//   windows    one per area folder (zm<area>), with ui/ beside them
//   cores      zm<area>_core: ctrlinfo below tools, features and settings; settings above all
//   link       link/: the session, the transport, the commands, the file helper
//   protocol   protocol/: frames, codes, decoding; pure
//
// A file belongs to its folder's unit; in an area folder, the files its CMakeLists lists under
// zm<area>_core are the core, the rest its windows. Outside link/ nothing includes the transport
// or the receive router: the session is the only way to the line.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QStringList kAreas = {"tools", "ctrlinfo", "motion", "osd", "features", "settings"};
const QStringList kPlain = {"protocol", "link", "ui", "app", "cli", "sim", "imgconv"};
// Headers of the link that only the link itself may see.
const QStringList kLinkInside = {"link/serial_link.h", "link/receive_router.h"};

QString core(const QString &area) { return area + "_core"; }
QString windows(const QString &area) { return area + "_windows"; }

QSet<QString> allCores()
{
    QSet<QString> s;
    for (const QString &a : kAreas)
        s << core(a);
    return s;
}

// What each unit may include, besides itself.
QSet<QString> allowed(const QString &unit)
{
    const QSet<QString> base = {"protocol", "link"};
    if (unit == "protocol")
        return {};
    if (unit == "link")
        return {"protocol"};
    if (unit == "ui")
        return base;
    if (unit.endsWith("_core")) {
        QSet<QString> s = base;
        if (unit == "tools_core" || unit == "features_core")
            s << "ctrlinfo_core";
        if (unit == "settings_core")
            s += allCores();
        return s;
    }
    if (unit.endsWith("_windows")) {
        const QString area = unit.section('_', 0, 0);
        QSet<QString> s = base + allCores();
        s << "ui";
        // The configuration's device chooser is shared by the windows that pick a memory.
        if (area != "ctrlinfo")
            s << windows("ctrlinfo");
        return s;
    }
    // zmctl and the simulated chip have no windows; the converter has only its own.
    if (unit == "cli" || unit == "sim" || unit == "imgconv")
        return base + allCores();
    if (unit == "app") {
        QSet<QString> s = base + allCores();
        s << "ui";
        for (const QString &a : kAreas)
            s << windows(a);
        return s;
    }
    return {};
}

class Tree
{
public:
    explicit Tree(const QString &root)
        : m_root(root)
    {
        // Core files, from each area's CMakeLists.
        static const QRegularExpression coreLibrary(QStringLiteral("add_library\\(zm(\\w+)_core\\s+STATIC([^)]*)\\)"));
        for (const QString &area : kAreas) {
            QFile cmake(QDir(root).filePath(area + "/CMakeLists.txt"));
            if (!cmake.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(cmake.readAll());
            for (auto it = coreLibrary.globalMatch(text); it.hasNext();) {
                const auto m = it.next();
                for (const QString &file : m.captured(2).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
                    m_core.insert(area + '/' + file);
            }
        }
    }

    // The unit a path such as "tools/fbuf_dlg.h" belongs to; empty outside the layers.
    QString unitOf(const QString &path) const
    {
        const QString folder = path.section('/', 0, 0);
        if (kPlain.contains(folder))
            return folder;
        if (kAreas.contains(folder))
            return m_core.contains(path) ? core(folder) : windows(folder);
        return {};
    }

    QStringList sources() const
    {
        QStringList files;
        for (const QString &folder : kPlain + kAreas) {
            QDirIterator it(QDir(m_root).filePath(folder), {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << QDir(m_root).relativeFilePath(it.next());
        }
        files.sort();
        return files;
    }

    QStringList includes(const QString &file) const
    {
        static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""),
                                                QRegularExpression::MultilineOption);
        QFile f(QDir(m_root).filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList found;
        for (auto it = include.globalMatch(QString::fromUtf8(f.readAll())); it.hasNext();)
            found << it.next().captured(1);
        return found;
    }

private:
    QString m_root;
    QSet<QString> m_core;
};

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    // The rules themselves: a few includes that must be refused, so that a tree that passes
    // does so because it keeps the order, not because nothing is looked at.
    void theRulesRefuseWhatGoesUp_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("ok");
        QTest::newRow("link to a core") << "link" << "tools_core" << false;
        QTest::newRow("protocol to link") << "protocol" << "link" << false;
        QTest::newRow("core to ui") << "motion_core" << "ui" << false;
        QTest::newRow("core to another core") << "motion_core" << "osd_core" << false;
        QTest::newRow("ctrlinfo core to tools core") << "ctrlinfo_core" << "tools_core" << false;
        QTest::newRow("tools core to ctrlinfo core") << "tools_core" << "ctrlinfo_core" << true;
        QTest::newRow("settings core to any core") << "settings_core" << "osd_core" << true;
        QTest::newRow("cli to a window") << "cli" << "tools_windows" << false;
        QTest::newRow("cli to ui") << "cli" << "ui" << false;
        QTest::newRow("window to its core") << "osd_windows" << "osd_core" << true;
        QTest::newRow("sim to ui") << "sim" << "ui" << false;
        QTest::newRow("imgconv to the console") << "imgconv" << "app" << false;
    }
    void theRulesRefuseWhatGoesUp()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, ok);
        QCOMPARE(from == to || allowed(from).contains(to), ok);
    }

    void everyIncludeKeepsTheOrder()
    {
        const Tree tree(QStringLiteral(ZM_SOURCE_DIR));
        const QStringList sources = tree.sources();
        QVERIFY(sources.size() > 100);
        QStringList broken;
        for (const QString &file : sources) {
            const QString unit = tree.unitOf(file);
            for (const QString &included : tree.includes(file)) {
                const QString target = tree.unitOf(included);
                if (target.isEmpty() || target == unit)
                    continue;
                if (!allowed(unit).contains(target))
                    broken << QStringLiteral("%1 (%2) includes %3 (%4)").arg(file, unit, included, target);
                else if (kLinkInside.contains(included))
                    broken << QStringLiteral("%1 includes %2, which only the link may see").arg(file, included);
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable("\n" + broken.join('\n')));
    }
};

QTEST_MAIN(TestLayers)
#include "tst_layers.moc"
