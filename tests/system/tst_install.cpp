// The programs as installed: `cmake --install` into a fresh prefix, then what a user meets there:
// the programs on the PATH, the desktop entry and its icons, the manual pages (rendered the way
// man renders them, and checked against what --help says) and the completion of zmctl in bash.

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const QString &dir = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

const QStringList kPrograms{"zmcomm", "zmctl", "zmsim", "zmimgconv"};
const QStringList kIconSizes{"16", "22", "24", "32", "48", "64", "128", "256"};

// Every option a help text names: "--port", "-o", "--help-all".
QStringList optionsIn(const QString &help)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[A-Za-z][A-Za-z0-9-]*)"));
    QStringList found;
    for (auto it = option.globalMatch(help); it.hasNext();) {
        const QString o = it.next().captured(1);
        if (!found.contains(o))
            found << o;
    }
    return found;
}

// The commands of zmctl --help: the first word of each line of its "Commands:" list.
QStringList commandsIn(const QString &help)
{
    static const QRegularExpression command(QStringLiteral("^  ([a-z][a-z0-9-]*)"));
    QStringList found;
    bool inList = false;
    for (const QString &line : help.split('\n')) {
        if (line == QLatin1String("Commands:")) {
            inList = true;
            continue;
        }
        if (inList && line.isEmpty())
            break;
        if (const auto m = command.match(line); inList && m.hasMatch())
            found << m.captured(1);
    }
    return found;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QTemporaryDir m_work;

    QString installed(const QString &relative) const { return QDir(m_prefix.path()).filePath(relative); }

    QProcessEnvironment installedEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", installed("bin") + ':' + env.value("PATH"));
        env.insert("LC_ALL", "C.UTF-8");
        return env;
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("man").isEmpty() || QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
            QSKIP("man or desktop-file-validate is missing; scripts/setup installs them");
        QVERIFY(m_prefix.isValid() && m_work.isValid());
        const Run r = run(QStringLiteral(CMAKE_COMMAND), {"--install", QStringLiteral(ZM_BUILD_DIR), "--prefix", m_prefix.path()});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    }

    // Exactly the product: the four programs, the menu entry, its icons, the manual pages and the
    // completion; nothing of the build (tests, benchmarks, libraries) comes along.
    void installsTheProduct()
    {
        QStringList expected;
        for (const QString &p : kPrograms)
            expected << "bin/" + p << "share/man/man1/" + p + ".1.gz";
        for (const QString &s : kIconSizes)
            expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/zmcomm.png").arg(s);
        expected << "share/applications/zmcomm.desktop" << "share/bash-completion/completions/zmctl";
        QStringList files;
        for (QDirIterator it(m_prefix.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(m_prefix.path()).relativeFilePath(it.next());
        files.sort();
        expected.sort();
        QCOMPARE(files, expected);
    }

    // The menu entry is one desktops accept, and what it starts and shows was installed with it.
    void desktopEntry()
    {
        const QString entry = installed("share/applications/zmcomm.desktop");
        const Run r = run("desktop-file-validate", {entry});
        QVERIFY2(r.code == 0 && (r.out + r.err).trimmed().isEmpty(), qPrintable(r.out + r.err));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(file.readAll());
        const auto value = [&](const char *key) {
            return QRegularExpression(QStringLiteral("^%1=(\\S+)").arg(key), QRegularExpression::MultilineOption)
                .match(text)
                .captured(1);
        };
        QVERIFY(QFileInfo(installed("bin/" + value("Exec"))).isExecutable());
        for (const QString &s : kIconSizes) {
            const QImage image(installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(s, value("Icon"))));
            QCOMPARE(image.size(), QSize(s.toInt(), s.toInt()));
        }
    }

    // Each page renders without a warning from the formatter, and names every command and every
    // option its program's --help prints: a command added to a program and forgotten in its
    // manual fails here.
    void manualPages_data()
    {
        QTest::addColumn<QString>("program");
        for (const QString &p : kPrograms)
            QTest::newRow(qPrintable(p)) << p;
    }
    void manualPages()
    {
        QFETCH(QString, program);
        const QString page = installed("share/man/man1/" + program + ".1.gz");
        QVERIFY(QFileInfo::exists(page));

        QProcessEnvironment env = installedEnvironment();
        env.insert("MANWIDTH", "80");
        env.insert("MANROFFSEQ", "");
        const Run checked = run("man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page}, env);
        QVERIFY2(checked.code == 0 && checked.err.isEmpty(), qPrintable(checked.err));

        const Run help = run(installed("bin/" + program), {"--help"}, installedEnvironment());
        QVERIFY2(help.code == 0 && help.out.contains(program), qPrintable(help.err));
        // What man shows, as plain text: no hyphenation, no justification, lines wide enough
        // that an option is never broken.
        env.insert("MANWIDTH", "250");
        env.insert("MAN_KEEP_FORMATTING", "");
        const Run shown = run("man", {"--nh", "--nj", "-E", "UTF-8", "-l", page}, env);
        QVERIFY2(shown.code == 0 && shown.err.isEmpty(), qPrintable(shown.err));
        QString text = shown.out;
        text.replace(QChar(0x2212), '-').replace(QChar(0x2010), '-'); // minus and hyphen as typed
        QStringList missing;
        const QStringList options = optionsIn(help.out);
        QVERIFY(options.contains("--help"));
        for (const QString &o : options)
            if (!text.contains(QRegularExpression("(?<![\\w-])" + QRegularExpression::escape(o) + "(?![\\w-])")))
                missing << o;
        const QStringList commands = commandsIn(help.out);
        if (program == "zmctl")
            QVERIFY(commands.size() > 30 && commands.contains("ports"));
        // A command is a heading of its own: the first word of an indented line.
        for (const QString &c : commands)
            if (!text.contains(QRegularExpression("\\n {3,}" + QRegularExpression::escape(c) + "(\\s|$)")))
                missing << c;
        QVERIFY2(missing.isEmpty(), qPrintable(program + "(1) does not name " + missing.join(", ")));
        QVERIFY(text.contains("EXIT STATUS") && text.contains("EXAMPLES"));
    }

    // zmctl completes in bash from its own table: commands, memory names, options (of the
    // command being typed, and the program's), choices, files and ports.
    void completion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("notOffered");
        QTest::newRow("commands") << "zmctl re" << QStringList{"read", "reset"} << QStringList{"version", "--port"};
        QTest::newRow("after a valued option") << "zmctl --serial 3 wr" << QStringList{"write"} << QStringList{"3"};
        QTest::newRow("memory names") << "zmctl read "
                                      << QStringList{"chip", "sensor", "ccir656", "i2c-eeprom", "spi-eeprom", "spi-flash"}
                                      << QStringList{"read"};
        QTest::newRow("command's and program's options") << "zmctl load chip 0 f.bin --"
                                                         << QStringList{"--page-size", "--no-verify", "--port", "--log"}
                                                         << QStringList{"--width", "--next"};
        QTest::newRow("choices") << "zmctl fbuf-ctl st" << QStringList{"stop-current", "stop-next", "step"}
                                 << QStringList{"resume"};
        QTest::newRow("files") << "zmctl fbuf-read " << QStringList{"f.bin", "sub"} << QStringList{"chip"};
        QTest::newRow("COM ports") << "zmctl --port CO" << QStringList{"COM1", "COM20"} << QStringList{"f.bin"};
        QTest::newRow("nothing after a whole command") << "zmctl version " << QStringList{} << QStringList{"f.bin", "chip"};
        // Every choice the help lists, from the table itself.
        QTest::newRow("the modes of the feature named")
            << "zmctl feature-set color --mode " << QStringList{"auto", "manual-color", "manual-bw"} << QStringList{"50hz"};
        QTest::newRow("sources") << "zmctl feature-set mirror --source " << QStringList{"gpio", "uart"} << QStringList{};
        QTest::newRow("feature names") << "zmctl feature-get " << QStringList{"color", "ae-flicker", "power"}
                                       << QStringList{"f.bin"};
        QTest::newRow("down-size") << "zmctl downsize-set 1/2 " << QStringList{"1", "1/2", "1/4"} << QStringList{"f.bin"};
        QTest::newRow("the rates of the port named") << "zmctl set-baud huart --rate "
                                                     << QStringList{"460800", "921600"} << QStringList{"9600"};
        QTest::newRow("clock") << "zmctl set-baud mcu --clock " << QStringList{"27M", "36M"} << QStringList{};
        QTest::newRow("transfer device") << "zmctl fbuf-read f.bin --device " << QStringList{"mcu-uart", "huart", "spi"}
                                         << QStringList{"f.bin"};
        QTest::newRow("memory that holds the control info")
            << "zmctl upload f.bin --device=" << QStringList{"i2c-eeprom", "spi-eeprom", "spi-flash"} << QStringList{"chip"};
        QTest::newRow("alarm type") << "zmctl motion-set --alarm-type " << QStringList{"certain-time", "always"}
                                    << QStringList{};
        QTest::newRow("line rates") << "zmctl --baud " << QStringList{"9600", "921600"} << QStringList{};
        QTest::newRow("help of a command") << "zmctl help osd-t" << QStringList{"osd-text"} << QStringList{"--port"};
        QTest::newRow("gamma table or a file") << "zmctl gamma-set " << QStringList{"default", "f.bin"} << QStringList{};
    }
    void completion()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        QDir work(m_work.path());
        QFile file(work.filePath("f.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(work.mkpath("sub"));
        const QString script = QStringLiteral(
            "source \"$1\"\n"
            "COMP_LINE=$2; COMP_POINT=${#COMP_LINE}\n"
            "read -ra COMP_WORDS <<<\"$COMP_LINE\"; COMP_CWORD=${#COMP_WORDS[@]}\n"
            "_zmctl zmctl\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
        const Run r = run("bash", {"-c", script, "bash", installed("share/bash-completion/completions/zmctl"), typed},
                          installedEnvironment(), m_work.path());
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err));
        const QStringList words = r.out.split('\n', Qt::SkipEmptyParts);
        if (offered.isEmpty())
            QVERIFY2(words.isEmpty(), qPrintable(words.join(' ')));
        for (const QString &w : offered)
            QVERIFY2(words.contains(w), qPrintable(words.join(' ')));
        for (const QString &w : notOffered)
            QVERIFY2(!words.contains(w), qPrintable(words.join(' ')));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
