#include "FakeFolderEvents.h"
#include "library/FolderMonitor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

using SourceLog = FakeFolderEvents::Log;

constexpr FolderMonitor::Timing shortTiming{std::chrono::milliseconds(20), std::chrono::milliseconds(80)};

} // namespace

class TestFolderMonitor final : public QObject
{
    Q_OBJECT
private:
    std::shared_ptr<SourceLog> m_log;
    std::unique_ptr<FolderMonitor> m_monitor;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    int m_changes = 0;
    int m_invalidations = 0;

    void deliver(qsizetype watch, const QStringList &paths, const QList<quint32> &flags) { m_log->handlers.at(watch)(paths, flags); }
    // A fresh monitor over the fake source, its signals counted unless a test listens itself.
    void makeMonitor(FolderMonitor::Timing timing, bool count = true)
    {
        m_monitor = std::make_unique<FolderMonitor>(std::make_unique<FakeFolderEvents>(m_log), timing);
        if (count) {
            connect(m_monitor.get(), &FolderMonitor::changed, this, [this] { ++m_changes; });
            connect(m_monitor.get(), &FolderMonitor::invalidated, this, [this] { ++m_invalidations; });
        }
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // A composed "é" in the folder's name, so decomposed event paths can be checked.
        m_folder = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/Capture\u00e9");
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/sub")));
        m_log = std::make_shared<SourceLog>();
        makeMonitor(shortTiming);
        m_changes = m_invalidations = 0;
        QVERIFY(!m_monitor->start(m_folder));
    }
    void relevance_data()
    {
        QTest::addColumn<QStringList>("paths"); // relative to the folder; "!" marks an absolute path
        QTest::addColumn<QList<quint32>>("flags");
        QTest::addColumn<bool>("schedules");
        using F = FolderEventSource;
        QTest::newRow("entry in folder") << QStringList{"/a.png"} << QList<quint32>{0} << true;
        QTest::newRow("folder itself") << QStringList{""} << QList<quint32>{0} << true;
        QTest::newRow("trailing slash, dot-dot") << QStringList{"/sub/../a.png/"} << QList<quint32>{0} << true;
        QTest::newRow("decomposed name") << QStringList{"!decomposed"} << QList<quint32>{0} << true;
        QTest::newRow("inside subfolder") << QStringList{"/sub/a.png"} << QList<quint32>{0} << false;
        QTest::newRow("sibling with same prefix") << QStringList{"-2/a.png"} << QList<quint32>{0} << false;
        QTest::newRow("dropped, unrelated path") << QStringList{"!/elsewhere/x"} << QList<quint32>{F::EventsLost} << true;
        QTest::newRow("dropped, deeper path") << QStringList{"/sub/deep"} << QList<quint32>{F::EventsLost} << true;
        QTest::newRow("relevant after irrelevant")
            << QStringList{"/sub/a", "/a.png"} << QList<quint32>{0, 0} << true;
    }
    void relevance()
    {
        QFETCH(QStringList, paths);
        QFETCH(QList<quint32>, flags);
        QFETCH(bool, schedules);
        for (QString &path : paths) {
            if (path == QLatin1String("!decomposed"))
                path = (m_folder + QStringLiteral("/a.png")).normalized(QString::NormalizationForm_D);
            else
                path = path.startsWith(QLatin1Char('!')) ? path.mid(1) : m_folder + path;
        }
        deliver(0, paths, flags);
        // The first event of a quiet period is told at once, without waiting for a timer.
        QCOMPARE(m_changes, schedules ? 1 : 0);
        QVERIFY(!m_monitor->hasPendingNotification());
        QCOMPARE(m_monitor->hasSettlingNotification(), schedules);
        if (schedules)
            QTRY_COMPARE(m_changes, 2);
        QVERIFY(!m_monitor->hasPendingNotification() && !m_monitor->hasSettlingNotification());
    }

    void laterEventsOfTheQuickPeriodGiveOneMore()
    {
        makeMonitor(shortTiming, false);
        QList<bool> settlingAtChange;
        connect(m_monitor.get(), &FolderMonitor::changed, this,
                [&] { settlingAtChange.append(m_monitor->hasSettlingNotification()); });
        QVERIFY(!m_monitor->start(m_folder));
        const QStringList entry{m_folder + QStringLiteral("/a.png")};
        deliver(1, entry, {0});
        QCOMPARE(settlingAtChange.size(), 1);
        // A file written in steps: its later events wait for the end of the quick period.
        deliver(1, entry, {0});
        deliver(1, entry, {0});
        QCOMPARE(settlingAtChange.size(), 1);
        QVERIFY(m_monitor->hasPendingNotification());
        QTRY_COMPARE(settlingAtChange.size(), 3);
        QCOMPARE(settlingAtChange, (QList<bool>{true, true, false})); // at once, quick, settled
        QVERIFY(!m_monitor->hasPendingNotification() && !m_monitor->hasSettlingNotification());
    }

    // Whether the watch is lost or its owner stops it, nothing the old watch scheduled still comes.
    void invalidationStopsOnce_data()
    {
        QTest::addColumn<quint32>("flag"); // 0: stopped by its owner
        QTest::newRow("root changed") << quint32(FolderEventSource::RootChanged);
        QTest::newRow("unmounted") << quint32(FolderEventSource::Unmount);
        QTest::newRow("stopped") << quint32(0);
    }
    void invalidationStopsOnce()
    {
        QFETCH(quint32, flag);
        const QString entry = m_folder + QStringLiteral("/a.png");
        const QString other = m_folder + QStringLiteral("/sub");
        makeMonitor(shortTiming, false);
        int changes = 0;
        connect(m_monitor.get(), &FolderMonitor::changed, this, [&] { ++changes; });
        connect(m_monitor.get(), &FolderMonitor::invalidated, this, [&] {
            ++m_invalidations;
            QVERIFY(!m_monitor->isWatching());
            QVERIFY(!m_monitor->hasPendingNotification() && !m_monitor->hasSettlingNotification());
            // The owner may watch again from inside.
            QVERIFY(!m_monitor->start(other));
        });
        QVERIFY(!m_monitor->start(m_folder));
        deliver(1, {entry}, {0});
        if (flag) {
            deliver(1, {entry, m_folder}, {0, flag});
        } else {
            m_monitor->stop();
            QVERIFY(!m_monitor->hasPendingNotification() && !m_monitor->hasSettlingNotification());
            QVERIFY(!m_monitor->start(other));
        }
        QCOMPARE(m_invalidations, flag ? 1 : 0);
        QCOMPARE(m_monitor->folderPath(), other);

        // Anything the lost watch scheduled would fire before the new watch's settled change.
        deliver(2, {other + QStringLiteral("/b.png")}, {0});
        // The new watch's event is told at once and once settled; nothing else is left
        // scheduled that could still come.
        QTRY_VERIFY(!m_monitor->hasPendingNotification() && !m_monitor->hasSettlingNotification());
        QCoreApplication::processEvents();
        QCOMPARE(changes, 3);
    }

    void failedStartLeavesMonitorStopped_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<FolderMonitor::StartError>("error");
        using K = FolderMonitor::StartError::Kind;
        QTest::newRow("regular file") << "/file.png" << false << FolderMonitor::StartError{K::ReadUnknown, 0};
        QTest::newRow("missing") << "/missing" << false << FolderMonitor::StartError{K::Posix, ENOENT};
        QTest::newRow("source refuses") << "/sub" << true << FolderMonitor::StartError{K::ReadUnknown, 0};
        if (::geteuid() != 0)
            QTest::newRow("unreadable") << "/locked" << false << FolderMonitor::StartError{K::Posix, EACCES};
    }
    void failedStartLeavesMonitorStopped()
    {
        QFETCH(QString, path);
        QFETCH(bool, refuse);
        QFETCH(FolderMonitor::StartError, error);
        QFile file(m_folder + QStringLiteral("/file.png"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString locked = m_folder + QStringLiteral("/locked");
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(QFile::setPermissions(locked, {}));
        m_log->refuse = refuse;
        const auto result = m_monitor->start(m_folder + path);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(result, std::optional(error));
        QVERIFY(!m_monitor->isWatching());
        if (!refuse) // a folder that could not be reached never becomes the watched one
            QCOMPARE(m_monitor->folderPath(), m_folder);
        deliver(0, {m_folder + QStringLiteral("/a.png")}, {0});
        QVERIFY(!m_monitor->hasPendingNotification());
    }
};

QTEST_GUILESS_MAIN(TestFolderMonitor)
#include "tst_foldermonitor.moc"
