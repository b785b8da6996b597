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

// gdbus call of a method of the shell's search provider or of KDE's runner, on the session bus
// (or the bus at `address`); its printed answer, empty on failure.
QString call(const QString &path, const char *method, const QStringList &arguments = {}, const QString &address = {})
{
    const QString interface = path == kProvider ? "org.gnome.Shell.SearchProvider2." : "org.kde.krunner1.";
    const QStringList bus = address.isEmpty() ? QStringList{"--session"} : QStringList{"--address", address};
    return run("gdbus", QStringList{"call"} + bus
                            + QStringList{"--dest", kId, "--object-path", path, "--timeout", "20", "--method",
                                          interface + QLatin1String(method)}
                            + arguments);
}

struct CommandResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program run without a display.
CommandResult brimfold(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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
    // By number: Screenshot 1 (oldest) to 4 (newest).
    QHash<int, QString> m_paths;
    QHash<int, QString> m_texts;
    QHash<int, QString> m_cacheFiles;
    QProcess m_program;

    QString path(int n) const { return m_paths.value(n); }
    // A path as GVariant text, for gdbus arguments.
    QString quoted(int n) const { return QLatin1Char('\'') + path(n) + QLatin1Char('\''); }
    // The provider's answer naming those screenshots, in that order.
    QString results(const QList<int> &numbers) const
    {
        QStringList paths;
        for (const int n : numbers)
            paths << quoted(n);
        return numbers.isEmpty() ? QStringLiteral("(@as [],)") : QStringLiteral("([%1],)").arg(paths.join(", "));
    }
    // Ctrl+C in the gallery, and what another program then pastes is that screenshot's bytes.
    bool copies(int n) const
    {
        key("ctrl+c");
        return QTest::qWaitFor([&] { return clipboard("image/png") == TestSupport::readFile(path(n)); }, 10000);
    }

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
        const QString identifier = std::get<TextRecognitionCapabilities>(capabilities).identifier;

        const QString folder = m_home.filePath(QStringLiteral("Shots"));
        m_texts = {{1, QStringLiteral("pelican harbour at dawn")}, {2, QStringLiteral("quarterly report draft")},
                   {3, QStringLiteral("terminal build output")}, {4, QStringLiteral("report final numbers")}};
        const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
        for (int n = 1; n <= 4; ++n) {
            m_paths[n] = QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(n));
            QVERIFY(TestSupport::writeImage(path(n), TestSupport::drawTextImage({640, 240}, {m_texts[n]}, 28), "png"));
            QVERIFY(TestSupport::setModificationTime(path(n), start.addSecs(60 * n)));
        }
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QLatin1Char('/') + kId + QStringLiteral("/ScreenshotText-v1");
        for (const Screenshot &item : ScreenshotScanner::scan(folder, false, 500, {}, {}, images).screenshots) {
            const int n = m_paths.key(item.id());
            m_cacheFiles[n] = QDir(cache).filePath(ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey()));
            QVERIFY(TestSupport::writeFile(m_cacheFiles[n], QJsonDocument(ScreenshotText(m_texts[n]).toJson()).toJson()));
        }
        QCOMPARE(m_cacheFiles.size(), 4);

        QVERIFY(!writeConnectedSettings(folder).isEmpty());
    }

    void cleanupTestCase() { stopProgram(); }

    // No copy runs and there is no display: the folder and the cache are read directly.
    void commandLineReadsTheFolder()
    {
        const struct { QStringList arguments; int exitCode; QString out, err; } runs[] = {
            {{"--search", "REPORT"}, 0, path(4) + "\treport final numbers\n" + path(2) + "\tquarterly report draft\n", {}},
            {{"--search", "zebra"}, 1, {}, {}},
            {{"--search"}, 2, {}, "brimfold: --search needs words to look for\n"},
        };
        for (const auto &expected : runs) {
            const CommandResult result = brimfold(expected.arguments);
            QCOMPARE(result.exitCode, expected.exitCode);
            QCOMPARE(result.out, expected.out);
            QCOMPARE(result.err, expected.err);
        }
        const CommandResult result = brimfold({"--search", "harbour", "--json"});
        QCOMPARE(result.exitCode, 0);
        const QJsonArray hits = QJsonDocument::fromJson(result.out.toUtf8()).array();
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.at(0)[QStringLiteral("path")].toString(), path(1));
        QCOMPARE(hits.at(0)[QStringLiteral("snippet")].toString(), m_texts[1]);
    }

    void shellSearchProvider()
    {
        startProgram();
        // Asked at once: the answer waits for the first scan rather than coming back empty.
        QCOMPARE(call(kProvider, "GetInitialResultSet", {"['report']"}), results({4, 2}));
        QCOMPARE(call(kProvider, "GetInitialResultSet", {"['Report', 'DRAFT']"}), results({2}));
        QCOMPARE(call(kProvider, "GetInitialResultSet", {"['zebra']"}), results({}));
        const QString reports = QStringLiteral("[%1, %2]").arg(quoted(4), quoted(2));
        QCOMPARE(call(kProvider, "GetSubsearchResultSet", {reports, "['report', 'final']"}), results({4}));

        const QString metas = call(kProvider, "GetResultMetas", {QStringLiteral("[%1]").arg(quoted(4))});
        QVERIFY2(metas.contains(QStringLiteral("'id': <%1>").arg(quoted(4))), qPrintable(metas));
        QVERIFY2(metas.contains(QStringLiteral("'name': <'Screenshot 4'>")), qPrintable(metas));
        // The time, then the line that matched the last search.
        QVERIFY2(metas.contains(QStringLiteral(" · report final numbers'>")), qPrintable(metas));
        // A 96-pixel RGBA thumbnail of the 640 × 240 picture.
        QVERIFY2(metas.contains(QStringLiteral("'icon-data': <(96, 36, 384, true, 8, 4, ")), qPrintable(metas));
    }

    void kdeRunner()
    {
        QCOMPARE(call(kRunner, "Actions"),
                 QStringLiteral("([('copy', 'Copy', 'edit-copy'), ('copy-text', 'Copy text', 'edit-select-text')],)"));
        const QString matches = call(kRunner, "Match", {"'report'"});
        const qsizetype newer = matches.indexOf(QStringLiteral("(%1, 'Screenshot 4', 'image-x-generic', 30, ").arg(quoted(4)));
        const qsizetype older = matches.indexOf(QStringLiteral("(%1, 'Screenshot 2', 'image-x-generic', 30, ").arg(quoted(2)));
        QVERIFY2(newer > 0 && older > newer, qPrintable(matches));
        QVERIFY2(!matches.contains(path(3)), qPrintable(matches));
        QVERIFY2(matches.contains(QStringLiteral("'subtext': <'")), qPrintable(matches));

        // The actions copy without opening anything: the image's very bytes, then its text.
        call(kRunner, "Run", {quoted(2), "'copy'"});
        QTRY_COMPARE_WITH_TIMEOUT(clipboard("image/png"), TestSupport::readFile(path(2)), 10000);
        call(kRunner, "Run", {quoted(1), "'copy-text'"});
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(clipboard("UTF8_STRING")), m_texts[1], 10000);
        QVERIFY(visibleGalleries().isEmpty());

        // KRunner ends each session with Teardown; the next session searches as before.
        QCOMPARE(call(kRunner, "Teardown"), QStringLiteral("()"));
        QVERIFY(call(kRunner, "Match", {"'harbour'"}).startsWith(QStringLiteral("([(%1, ").arg(quoted(1))));
    }

    // The running copy answers the command line: text it holds in memory counts even when its
    // cache file is gone, which reading the folder directly would miss.
    void commandLineAsksTheRunningCopy()
    {
        const QByteArray cached = TestSupport::readFile(m_cacheFiles[1]);
        QVERIFY(QFile::remove(m_cacheFiles[1]));
        const auto restore = qScopeGuard([&] { TestSupport::writeFile(m_cacheFiles[1], cached); });

        CommandResult result = brimfold({"--search", "pelican"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, path(1) + QStringLiteral("\tpelican harbour at dawn\n"));
        result = brimfold({"--search", "pelican", "--json"});
        QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).array().size(), 1);
        QVERIFY(visibleGalleries().isEmpty());
    }

    void activationOpensTheGallery()
    {
        OtherWindow other;
        other.activate();
        // A result opens the gallery on the query with that screenshot selected.
        call(kProvider, "ActivateResult", {quoted(2), "['report']", "0"});
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries().size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), visibleGalleries().first().toULongLong(), 10000);
        QVERIFY(copies(2));
        // The one before it among the results is Screenshot 4: 3 does not match "report".
        key("Left");
        QVERIFY(copies(4));
        key("ctrl+f");
        key("ctrl+a");
        key("ctrl+c");
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(clipboard("UTF8_STRING")), QStringLiteral("report"), 10000);

        key("Escape");
        key("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(visibleGalleries().isEmpty(), 10000);

        // "Search in the program" opens the gallery on the query, first result selected; so does
        // a runner match without an action.
        call(kProvider, "LaunchSearch", {"['harbour']", "0"});
        QTRY_COMPARE_WITH_TIMEOUT(visibleGalleries().size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), visibleGalleries().first().toULongLong(), 10000);
        QVERIFY(copies(1));

        call(kRunner, "Match", {"'terminal'"});
        call(kRunner, "Run", {quoted(3), "''"});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), visibleGalleries().value(0).toULongLong(), 10000);
        QVERIFY(copies(3));
        stopProgram();
    }

    // With no copy running, a search on the bus starts one through its service file, and the
    // answer waits for its first scan.
    void busStartsTheProgram()
    {
        QTemporaryDir bus;
        const QString services = bus.filePath(QStringLiteral("services"));
        QVERIFY(TestSupport::writeFile(QDir(services).filePath(kId + ".service"),
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
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        QVERIFY(daemon.waitForStarted());
        const auto stopDaemon = qScopeGuard([&] { daemon.terminate(); daemon.waitForFinished(); });
        // It prints its address once it takes connections; its socket file comes before that.
        QTRY_VERIFY_WITH_TIMEOUT(daemon.canReadLine(), 10000);

        // The shell's first search after a login, as it goes: the first letter starts the program,
        // the next letter cancels that call before its answer comes, so the shell keeps no
        // previous results and narrows an empty list letter by letter.
        QDBusConnection shell = QDBusConnection::connectToBus(address, QStringLiteral("shell"));
        const auto closeShell = qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("shell")); });
        QVERIFY(shell.isConnected());
        shell.asyncCall(QDBusMessage::createMethodCall(kId, kProvider, "org.gnome.Shell.SearchProvider2", "GetInitialResultSet")
                        << QStringList{"r"});
        QTRY_VERIFY_WITH_TIMEOUT(shell.interface()->isServiceRegistered(kId), 15000);
        // "re" is in every name ("Screenshot").
        const QList<std::pair<const char *, QList<int>>> typed{{"re", {4, 3, 2, 1}}, {"rep", {4, 2}}, {"repo", {4, 2}}};
        for (const auto &[letters, expected] : typed)
            QCOMPARE(call(kProvider, "GetSubsearchResultSet", {"@as []", QStringLiteral("['%1']").arg(QLatin1String(letters))},
                          address),
                     results(expected));
        // Previous results are a hint, never a limit: a subsearch is the full search.
        QCOMPARE(call(kProvider, "GetSubsearchResultSet", {QStringLiteral("[%1]").arg(quoted(2)), "['terminal']"}, address),
                 results({3}));

        // The copy the bus started is ours to end.
        const uint started = shell.interface()->servicePid(kId).value();
        QVERIFY(started > 0);
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
