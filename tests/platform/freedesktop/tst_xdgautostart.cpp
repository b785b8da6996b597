#include "platform/freedesktop/XdgAutostart.h"
#include "core/AppIdentity.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QString makeExecutable(const QString &path)
{
    if (!TestSupport::writeFile(path, "#!/bin/sh\n")
        || !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {};
    return path;
}

} // namespace

class TestXdgAutostart final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_path;

    QString folder() const { return m_dir->filePath(QStringLiteral("config/autostart")); }

private slots:
    void initTestCase() { m_path = qgetenv("PATH"); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toLocal8Bit());
    }
    void cleanup() { qputenv("PATH", m_path); }

    void theUsersAutostartFolderByDefault()
    {
        QCOMPARE(XdgAutostart().filePath(),
                 m_dir->filePath(QStringLiteral("config/autostart/") + AppIdentity::desktopEntry()));
    }

    void enablingWritesAValidEntryAndDisablingRemovesIt()
    {
        XdgAutostart autostart(folder(), QStringLiteral("/opt/My $Tools/brimfold"));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.setEnabled(true));
        QVERIFY(autostart.isEnabled());
        const QList<QByteArray> lines = TestSupport::readFile(autostart.filePath()).split('\n');
        QCOMPARE(lines.first(), "[Desktop Entry]");
        const QByteArray icon = "Icon=" + AppIdentity::applicationId().toUtf8();
        for (const char *line : {"Type=Application", "Name=Brimfold", "Exec=\"/opt/My \\\\$Tools/brimfold\"",
                                 icon.constData(), "X-GNOME-Autostart-enabled=true"})
            QVERIFY2(lines.contains(line), line);
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validator.isEmpty(), "desktop-file-validate is missing");
        QProcess process;
        process.start(validator, {autostart.filePath()});
        QVERIFY(process.waitForFinished());
        QVERIFY2(process.exitCode() == 0, process.readAllStandardOutput().constData());
        // Enabling again is no error and leaves it enabled.
        QVERIFY(autostart.setEnabled(true));
        QVERIFY(autostart.isEnabled());

        QVERIFY(autostart.setEnabled(false));
        QVERIFY(!QFileInfo::exists(autostart.filePath()));
        QVERIFY(!autostart.isEnabled());
        // Nothing to remove is no failure either.
        QVERIFY(autostart.setEnabled(false));
    }

    void hiddenEntriesAreDisabled_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nType=Application\nExec=brimfold\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\nExec=brimfold\n") << false;
        QTest::newRow("hidden, spaced") << QByteArray("[Desktop Entry]\nHidden = true\n") << false;
        QTest::newRow("not hidden") << QByteArray("[Desktop Entry]\nHidden=false\n") << true;
        QTest::newRow("hidden in another group")
            << QByteArray("[Desktop Entry]\nExec=brimfold\n[Desktop Action x]\nHidden=true\n") << true;
        QTest::newRow("commented out") << QByteArray("[Desktop Entry]\n# Hidden=true\n") << true;
    }

    void hiddenEntriesAreDisabled()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, enabled);
        XdgAutostart autostart(folder());
        QVERIFY(TestSupport::writeFile(autostart.filePath(), text));
        QCOMPARE(autostart.isEnabled(), enabled);
        // Enabling replaces whatever was there with an entry that starts the program.
        QVERIFY(autostart.setEnabled(true));
        QVERIFY(autostart.isEnabled());
    }

    void failuresAreReported()
    {
        // A folder below a regular file can never be made, not even by root.
        const QString blocker = m_dir->filePath(QStringLiteral("file"));
        QVERIFY(TestSupport::writeFile(blocker, "x"));
        XdgAutostart autostart(blocker + QStringLiteral("/autostart"));
        QVERIFY(!autostart.setEnabled(true));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.setEnabled(false));

        // A folder where the entry should be cannot be removed as a file.
        XdgAutostart blocked(folder());
        QVERIFY(QDir().mkpath(blocked.filePath() + QStringLiteral("/inside")));
        QVERIFY(!blocked.isEnabled());
        QVERIFY(!blocked.setEnabled(true));
        QVERIFY(!blocked.setEnabled(false));
    }

    void enablingReplacesALinkNotWhatItPointsTo()
    {
        // A user's own hidden entry kept elsewhere and linked in.
        const QString elsewhere = m_dir->filePath(QStringLiteral("dotfiles/brimfold.desktop"));
        const QByteArray text = "[Desktop Entry]\nHidden=true\nExec=brimfold\n";
        QVERIFY(QDir().mkpath(folder()) && TestSupport::writeFile(elsewhere, text));
        QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0640), 0);
        XdgAutostart autostart(folder(), QStringLiteral("/opt/Brimfold/brimfold"));
        QVERIFY(QFile::link(elsewhere, autostart.filePath()));
        QVERIFY(!autostart.isEnabled()); // read through the link, as the session does

        QVERIFY(autostart.setEnabled(true));
        QVERIFY(autostart.isEnabled());
        QVERIFY(!QFileInfo(autostart.filePath()).isSymLink());
        QCOMPARE(TestSupport::readFile(elsewhere), text);
        QCOMPARE(TestSupport::permissions(elsewhere), 0640);
    }

    void fullDiskKeepsTheEntryAsItWas()
    {
        XdgAutostart autostart(folder(), QStringLiteral("/opt/Brimfold/brimfold"));
        const QByteArray hidden = "[Desktop Entry]\nHidden=true\n";
        QVERIFY(TestSupport::writeFile(autostart.filePath(), hidden));
        const std::optional<bool> enabled = TestSupport::inChildProcess(
            [&] { return !TestSupport::limitFileSize(hidden.size()) || autostart.setEnabled(true); });
        QCOMPARE(enabled, std::optional(false));
        QCOMPARE(TestSupport::readFile(autostart.filePath()), hidden);
        QVERIFY(!autostart.isEnabled());
    }

    void execNamesTheProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << "/usr/local/bin/brimfold" << "/usr/local/bin/brimfold";
        QTest::newRow("space") << "/home/a b/brimfold" << "\"/home/a b/brimfold\"";
        // Inside quotes ", `, $ and \ are escaped, and the value's own escaping doubles the
        // backslashes again; % is doubled so it is no field code.
        QTest::newRow("specials") << "/x/$y\"z`\\w%/brimfold"
                                  << "\"/x/\\\\$y\\\\\"z\\\\`\\\\\\\\w%%/brimfold\"";
        QTest::newRow("percent only") << "/x/100%/brimfold" << "/x/100%%/brimfold";
    }

    void execNamesTheProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        qputenv("PATH", m_dir->filePath(QStringLiteral("empty")).toLocal8Bit());
        QCOMPARE(XdgAutostart::execValue(program), exec);
    }

    void execIsTheBareNameWhenPathFindsThisProgram()
    {
        const QString bin = m_dir->filePath(QStringLiteral("bin"));
        const QString installed = makeExecutable(bin + QStringLiteral("/brimfold"));
        const QString other = makeExecutable(m_dir->filePath(QStringLiteral("build/brimfold")));
        QVERIFY(!installed.isEmpty() && !other.isEmpty());
        qputenv("PATH", bin.toLocal8Bit());
        QCOMPARE(XdgAutostart::execValue(installed), QStringLiteral("brimfold"));
        // Another copy on PATH would start the wrong program.
        QCOMPARE(XdgAutostart::execValue(other), other);
    }
};

QTEST_GUILESS_MAIN(TestXdgAutostart)
#include "tst_xdgautostart.moc"
