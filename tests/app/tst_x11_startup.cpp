// Starts the real program on the test display: one copy per user, the second launch hands over
// to the first, and demo copies run beside it with settings of their own.
#include "DesktopTools.h"
#include "platform/portal/ReopenChannel.h"
#include "settings/ReleaseInfo.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace desktop;

namespace {

int visibleBrimfoldWindows(qint64 pid = 0) { return int(visibleWindows(QStringLiteral("Brimfold"), pid).size()); }

bool activeWindowIsBrimfold(qint64 pid)
{
    return xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowpid")}).toLongLong() == pid;
}

} // namespace

class TestStartup final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs xdotool");
    }

    void secondLaunchShowsTheFirstCopy()
    {
        QTemporaryDir folder;
        // A connected folder: the first copy starts without opening its window.
        const QString normalSettings = writeConnectedSettings(folder.path());
        QVERIFY(!normalSettings.isEmpty());

        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        first.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        QVERIFY(first.waitForStarted());
        auto *bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(ReopenChannel::serviceName()), 15000);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(visibleBrimfoldWindows(), 0);

        QProcess second;
        second.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(visibleBrimfoldWindows(), 1, 15000);
        QCOMPARE(first.state(), QProcess::Running);
        // Settled: the gallery has the keyboard, so it cannot take it back from the demo's below.
        QTRY_VERIFY_WITH_TIMEOUT(activeWindowIsBrimfold(first.processId()), 15000);

        // A demo copy runs beside the normal one, with its own settings.
        const QByteArray normalBefore = TestSupport::readFile(normalSettings);
        QTemporaryDir demoFolder;
        QProcess demo;
        demo.setProcessChannelMode(QProcess::ForwardedChannels);
        demo.start(QStringLiteral(BRIMFOLD_EXECUTABLE), {"--demo", "--demo-folder", demoFolder.path()});
        QVERIFY(demo.waitForStarted());
        // It shows its own gallery. (Which of the two galleries stays shown is up to the window
        // manager's focus: each hides when the other takes the keyboard, as for any window.)
        bool demoGalleryShown = false;
        QTRY_VERIFY_WITH_TIMEOUT(demoGalleryShown = demoGalleryShown || visibleBrimfoldWindows(demo.processId()) == 1,
                                 15000);
        QCOMPARE(demo.state(), QProcess::Running);
        QCOMPARE(first.state(), QProcess::Running);

        const QJsonObject demoSettings =
            QJsonDocument::fromJson(TestSupport::readFile(settingsFile(AppIdentity::demoId()))).object();
        QCOMPARE(demoSettings.value(QStringLiteral("folderPath")).toString(), demoFolder.path());
        QCOMPARE(demoSettings.value(QStringLiteral("includeAllImages")).toBool(), true);
        QCOMPARE(demoSettings.value(QStringLiteral("hasConnectedFolder")).toBool(), true);
        QCOMPARE(TestSupport::readFile(normalSettings), normalBefore);

        // SIGTERM, as a logout sends it, ends each copy cleanly.
        for (QProcess *process : {&demo, &first}) {
            process->terminate();
            QVERIFY(process->waitForFinished(10000));
            QCOMPARE(process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(process->exitCode(), 0);
        }
        // An ordinary start, hand-over and exit say nothing of ours on standard error (the journal).
        for (QProcess *process : {&first, &second}) {
            const QString err = QString::fromLocal8Bit(process->readAllStandardError());
            QVERIFY2(!QRegularExpression(QStringLiteral("(^|\\n)brimfold\\.")).match(err).hasMatch(), qPrintable(err));
        }
    }

    // A second launch while the first copy is still starting is not lost: the gallery shows.
    void secondLaunchDuringStartUp()
    {
        QTemporaryDir folder;
        QVERIFY(!writeConnectedSettings(folder.path()).isEmpty());

        // Which of the two takes the lock is a race; the other must hand over and end.
        QProcess a, b;
        for (QProcess *process : {&a, &b}) {
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->start(QStringLiteral(BRIMFOLD_EXECUTABLE), {});
        }
        QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning, 15000);
        QProcess &ended = a.state() == QProcess::NotRunning ? a : b;
        QProcess &running = &ended == &a ? b : a;
        QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ended.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(visibleBrimfoldWindows(), 1, 15000);
        QCOMPARE(running.state(), QProcess::Running);
        running.terminate();
        QVERIFY(running.waitForFinished(10000));
    }

    // Asking for help or the version needs no display; starting without one says why it stops.
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: brimfold" << "";
        QTest::newRow("short help") << QStringList{"-h"} << 0 << "Usage: brimfold" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Brimfold " + ReleaseInfo::displayVersion() + "\n" << "";
        QTest::newRow("no display") << QStringList{} << 2 << ""
                                    << "brimfold: needs a graphical session, but no display could be opened.\n";
    }

    void answersWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(BRIMFOLD_EXECUTABLE), arguments);
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()), err);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_x11_startup.moc"
