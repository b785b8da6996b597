// The real program answering desktop searches on the test's session bus: the shell's search
// provider and KDE's runner through gdbus, the gallery opened on a result, the command line
// with and without a running copy, and the bus starting the program for a search.
#include "DesktopTools.h"
#include "core/AppIdentity.h"
#include "TestSupport.h"

#include "library/ScreenshotScanner.h"
#include "platform/portal/ReopenChannel.h"
#include "platform/image/SystemImageServices.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using namespace desktop;

namespace {

const QString kId = AppIdentity::applicationId();
const QString kProvider = AppIdentity::objectPath() + QStringLiteral("/SearchProvider");
const QString kRunner = AppIdentity::objectPath() + QStringLiteral("/KRunner");

QStringList visibleGalleries() { return visibleWindows(QStringLiteral("Brimfold")); }

// gdbus call on the session bus (or the bus at `address`); its printed answer, empty on failure.
QString call(const QString &path, const QString &method, const QStringList &arguments,
             const QString &address = {})
{
    QStringList all{QStringLiteral("call")};
    if (address.isEmpty())
        all << QStringLiteral("--session");
    else
        all << QStringLiteral("--address") << address;
    all << QStringLiteral("--dest") << kId << QStringLiteral("--object-path") << path
        << QStringLiteral("--timeout") << QStringLiteral("20") << QStringLiteral("--method") << method
        << arguments;
    return run(QStringLiteral("gdbus"), all);
}

struct CommandResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

CommandResult brimfold(const QStringList &arguments, bool withDisplay = false)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay)
        environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BRIMFOLD_EXECUTABLE), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

class TestDesktopSearch final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_folder;
    QString m_cacheDirectory;
    QString m_identifier;
    // By number: Screenshot 1 (oldest) to 4 (newest).
    QHash<int, QString> m_paths;
    QHash<int, QString> m_texts;
    QHash<int, QString> m_cacheFiles;
    QProcess m_program;

    QString path(int n) const { return m_paths.value(n); }
    // A path as GVariant text, for gdbus arguments.
    QString quoted(int n) const { return QLatin1Char('\'') + path(n) + QLatin1Char('\''); }

    void startProgram()
    {
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
        m_program.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        QVERIFY(m_program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(ReopenChannel::serviceName()), 15000);
    }

    void stopProgram()
    {
        if (m_program.state() == QProcess::NotRunning)
            return;
        m_program.terminate();
        QVERIFY(m_program.waitForFinished(10000));
        QCOMPARE(m_program.exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus");
        for (const char *tool : {"xdotool", "xclip", "gdbus", "dbus-daemon"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("needs %1").arg(QString::fromLatin1(tool))));
        }
        // Text as an earlier run left it in the cache, so no recognition runs here.
        const SystemImageServices images;
        TesseractRecognizer recognizer(QString(), images);
        const auto capabilities = recognizer.capabilities();
        if (!std::holds_alternative<TextRecognitionCapabilities>(capabilities))
            QSKIP("needs Tesseract language data to name the cache files");
        m_identifier = std::get<TextRecognitionCapabilities>(capabilities).identifier;

        m_folder = m_home.filePath(QStringLiteral("Shots"));
        m_texts = {{1, QStringLiteral("pelican harbour at dawn")}, {2, QStringLiteral("quarterly report draft")},
                   {3, QStringLiteral("terminal build output")}, {4, QStringLiteral("report final numbers")}};
        const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
        for (int n = 1; n <= 4; ++n) {
            m_paths[n] = QDir(m_folder).filePath(QStringLiteral("Screenshot %1.png").arg(n));
            QVERIFY(TestSupport::writeImage(path(n), TestSupport::drawTextImage({640, 240}, {m_texts[n]}, 28), "png"));
            QVERIFY(TestSupport::setModificationTime(path(n), start.addSecs(60 * n)));
        }
        m_cacheDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QLatin1Char('/') + kId + QStringLiteral("/ScreenshotText-v1");
        for (const Screenshot &item : ScreenshotScanner::scan(m_folder, false, 500, {}, {}, images).screenshots) {
            const int n = m_paths.key(item.id());
            m_cacheFiles[n] = QDir(m_cacheDirectory).filePath(ScreenshotTextWorker::cacheFileName(m_identifier, item.cacheKey()));
            QVERIFY(TestSupport::writeFile(m_cacheFiles[n], QJsonDocument(ScreenshotText(m_texts[n]).toJson()).toJson()));
        }
        QCOMPARE(m_cacheFiles.size(), 4);

        QVERIFY(!writeConnectedSettings(m_folder).isEmpty());
    }

    void cleanupTestCase() { stopProgram(); }

    // No copy runs and there is no display: the folder and the cache are read directly.
    void commandLineReadsTheFolder()
    {
        CommandResult result = brimfold({QStringLiteral("--search"), QStringLiteral("REPORT")});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, path(4) + QStringLiteral("\treport final numbers\n") + path(2)
                                 + QStringLiteral("\tquarterly report draft\n"));

        result = brimfold({QStringLiteral("--search"), QStringLiteral("harbour"), QStringLiteral("--json")});
        QCOMPARE(result.exitCode, 0);
        const QJsonArray hits = QJsonDocument::fromJson(result.out.toUtf8()).array();
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.at(0)[QStringLiteral("path")].toString(), path(1));
        QCOMPARE(hits.at(0)[QStringLiteral("name")].toString(), QStringLiteral("Screenshot 1"));
        QCOMPARE(hits.at(0)[QStringLiteral("snippet")].toString(), m_texts[1]);

        result = brimfold({QStringLiteral("--search"), QStringLiteral("zebra")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QString());

        result = brimfold({QStringLiteral("--search")});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QStringLiteral("brimfold: --search needs words to look for\n"));
    }

    void shellSearchProvider()
    {
        startProgram();
        // Asked at once: the answer waits for the first scan rather than coming back empty.
        QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetInitialResultSet"),
                      {QStringLiteral("['report']")}),
                 QStringLiteral("(['%1', '%2'],)").arg(path(4), path(2)));
        QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetInitialResultSet"),
                      {QStringLiteral("['Report', 'DRAFT']")}),
                 QStringLiteral("(['%1'],)").arg(path(2)));
        QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetInitialResultSet"),
                      {QStringLiteral("['zebra']")}),
                 QStringLiteral("(@as [],)"));
        QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetSubsearchResultSet"),
                      {QStringLiteral("['%1', '%2']").arg(path(4), path(2)), QStringLiteral("['report', 'final']")}),
                 QStringLiteral("(['%1'],)").arg(path(4)));

        const QString metas = call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetResultMetas"),
                                   {QStringLiteral("['%1']").arg(path(4))});
        QVERIFY2(metas.contains(QStringLiteral("'id': <'%1'>").arg(path(4))), qPrintable(metas));
        QVERIFY2(metas.contains(QStringLiteral("'name': <'Screenshot 4'>")), qPrintable(metas));
        // The time, then the line that matched the last search.
        QVERIFY2(metas.contains(QStringLiteral(" · report final numbers'>")), qPrintable(metas));
        // A 96-pixel RGBA thumbnail of the 640 × 240 picture.
        QVERIFY2(metas.contains(QStringLiteral("'icon-data': <(96, 36, 384, true, 8, 4, ")), qPrintable(metas));
    }

    void kdeRunner()
    {
        QCOMPARE(call(kRunner, QStringLiteral("org.kde.krunner1.Actions"), {}),
                 QStringLiteral("([('copy', 'Copy', 'edit-copy'), ('copy-text', 'Copy text', 'edit-select-text')],)"));
        const QString matches = call(kRunner, QStringLiteral("org.kde.krunner1.Match"), {QStringLiteral("'report'")});
        const qsizetype newer = matches.indexOf(QStringLiteral("('%1', 'Screenshot 4', 'image-x-generic', 30, ").arg(path(4)));
        const qsizetype older = matches.indexOf(QStringLiteral("('%1', 'Screenshot 2', 'image-x-generic', 30, ").arg(path(2)));
        QVERIFY2(newer > 0 && older > newer, qPrintable(matches));
        QVERIFY2(!matches.contains(path(3)), qPrintable(matches));
        QVERIFY2(matches.contains(QStringLiteral("'subtext': <'")), qPrintable(matches));

        // The actions copy without opening anything: the image's very bytes, then its text.
        call(kRunner, QStringLiteral("org.kde.krunner1.Run"), {quoted(2), QStringLiteral("'copy'")});
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(2)), 10000);
        call(kRunner, QStringLiteral("org.kde.krunner1.Run"), {quoted(1), QStringLiteral("'copy-text'")});
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(clipboard("UTF8_STRING")), m_texts[1], 10000);
        QVERIFY(visibleGalleries().isEmpty());

        // KRunner ends each session with Teardown; the next session searches as before.
        QCOMPARE(call(kRunner, QStringLiteral("org.kde.krunner1.Teardown"), {}), QStringLiteral("()"));
        QVERIFY(call(kRunner, QStringLiteral("org.kde.krunner1.Match"), {QStringLiteral("'harbour'")})
                    .startsWith(QStringLiteral("([('%1', ").arg(path(1))));
    }

    // The running copy answers the command line: text it holds in memory counts even when its
    // cache file is gone, which reading the folder directly would miss.
    void commandLineAsksTheRunningCopy()
    {
        const QByteArray cached = TestSupport::readFile(m_cacheFiles[1]);
        QVERIFY(QFile::remove(m_cacheFiles[1]));
        const auto restore = qScopeGuard([&] { TestSupport::writeFile(m_cacheFiles[1], cached); });

        CommandResult result = brimfold({QStringLiteral("--search"), QStringLiteral("pelican")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, path(1) + QStringLiteral("\tpelican harbour at dawn\n"));
        result = brimfold({QStringLiteral("--search"), QStringLiteral("pelican"), QStringLiteral("--json")});
        QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).array().size(), 1);
        QVERIFY(visibleGalleries().isEmpty());
    }

    void activationOpensTheGallery()
    {
        OtherWindow other;
        other.activate();
        // A result opens the gallery on the query with that screenshot selected.
        call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.ActivateResult"),
             {quoted(2), QStringLiteral("['report']"), QStringLiteral("0")});
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries().size(), 1, 10000);
        const quint64 gallery = visibleGalleries().first().toULongLong();
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), gallery, 10000);
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(2)), 10000);
        // The one before it among the results is Screenshot 4: 3 does not match "report".
        key("Left");
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(4)), 10000);
        key("ctrl+f");
        key("ctrl+a");
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(clipboard("UTF8_STRING")), QStringLiteral("report"), 10000);

        key("Escape");
        key("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(visibleGalleries().isEmpty(), 10000);

        // "Search in the program" opens the gallery on the query, first result selected; so does
        // a runner match without an action.
        call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.LaunchSearch"),
             {QStringLiteral("['harbour']"), QStringLiteral("0")});
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries().size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), visibleGalleries().first().toULongLong(), 10000);
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(1)), 10000);

        call(kRunner, QStringLiteral("org.kde.krunner1.Match"), {QStringLiteral("'terminal'")});
        call(kRunner, QStringLiteral("org.kde.krunner1.Run"), {quoted(3), QStringLiteral("''")});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), visibleGalleries().value(0).toULongLong(), 10000);
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(3)), 10000);
        stopProgram();
    }

    // With no copy running, a search on the bus starts one through its service file, and the
    // answer waits for its first scan.
    void busStartsTheProgram()
    {
        QTemporaryDir bus;
        const QString services = bus.filePath(QStringLiteral("services"));
        QVERIFY(TestSupport::writeFile(QDir(services).filePath(kId + QStringLiteral(".service")),
                                       QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n")
                                           .arg(kId, QStringLiteral(BRIMFOLD_EXECUTABLE)).toUtf8()));
        const QString address = QStringLiteral("unix:path=") + bus.filePath(QStringLiteral("socket"));
        const QString config = bus.filePath(QStringLiteral("session.conf"));
        QVERIFY(TestSupport::writeFile(config, QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>%1</listen><servicedir>%2</servicedir>\n"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
            "</busconfig>\n").arg(address, services).toUtf8()));

        QProcess daemon;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // What the started program takes for its session bus.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        daemon.setProcessEnvironment(environment);
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork")});
        QVERIFY(daemon.waitForStarted());
        const auto stopDaemon = qScopeGuard([&] { daemon.terminate(); daemon.waitForFinished(); });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(bus.filePath(QStringLiteral("socket"))), 10000);

        // The shell's first search after a login, as it goes: the first letter starts the program,
        // the next letter cancels that call before its answer comes, so the shell keeps no
        // previous results and narrows an empty list letter by letter.
        QDBusConnection shell = QDBusConnection::connectToBus(address, QStringLiteral("shell"));
        const auto closeShell = qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("shell")); });
        QVERIFY(shell.isConnected());
        shell.asyncCall(QDBusMessage::createMethodCall(kId, kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2"),
                                                       QStringLiteral("GetInitialResultSet"))
                        << QStringList{QStringLiteral("r")});
        QTRY_VERIFY_WITH_TIMEOUT(shell.interface()->isServiceRegistered(kId), 15000);
        const QString reports = QStringLiteral("(['%1', '%2'],)").arg(path(4), path(2));
        // "re" is in every name ("Screenshot").
        const QList<std::pair<QString, QString>> typed{
            {QStringLiteral("re"), QStringLiteral("(['%1', '%2', '%3', '%4'],)").arg(path(4), path(3), path(2), path(1))},
            {QStringLiteral("rep"), reports},
            {QStringLiteral("repo"), reports}};
        for (const auto &[letters, expected] : typed)
            QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetSubsearchResultSet"),
                          {QStringLiteral("@as []"), QStringLiteral("['%1']").arg(letters)}, address),
                     expected);
        // Previous results are a hint, never a limit: a subsearch is the full search.
        QCOMPARE(call(kProvider, QStringLiteral("org.gnome.Shell.SearchProvider2.GetSubsearchResultSet"),
                      {QStringLiteral("['%1']").arg(path(2)), QStringLiteral("['terminal']")}, address),
                 QStringLiteral("(['%1'],)").arg(path(3)));

        // The copy the bus started is ours to end.
        const QString pid = run(QStringLiteral("gdbus"), {
            QStringLiteral("call"), QStringLiteral("--address"), address, QStringLiteral("--dest"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("--object-path"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("--method"), QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"), QLatin1Char('\'') + kId + QLatin1Char('\'')});
        const qint64 started = pid.section(u' ', 1).section(u',', 0, 0).toLongLong();
        QVERIFY2(started > 0, qPrintable(pid));
        QVERIFY(::kill(pid_t(started), SIGTERM) == 0);
        // Gone, or a zombie its parent (the bus daemon, ended next) has not collected yet.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(started));
                return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
            }(),
            10000);
    }
};

QTEST_MAIN(TestDesktopSearch)
#include "tst_x11_desktopsearch.moc"
