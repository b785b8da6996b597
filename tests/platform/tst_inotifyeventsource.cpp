#include "platform/InotifyEventSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

struct Batch {
    QStringList paths;
    QList<quint32> flags;
};

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write("x") == 1;
}

} // namespace

class TestInotifyEventSource final : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder; // <tmp>/outer/inner/watched
    QList<Batch> m_batches;

    FolderEventSource::BatchHandler recorder()
    {
        return [this](const QStringList &paths, const QList<quint32> &flags) {
            QCOMPARE(paths.size(), flags.size());
            m_batches.append({paths, flags});
        };
    }
    QStringList allPaths() const
    {
        QStringList paths;
        for (const Batch &batch : m_batches)
            paths += batch.paths;
        return paths;
    }
    bool sawFlag(quint32 flag) const
    {
        for (const Batch &batch : m_batches)
            for (qsizetype i = 0; i < batch.flags.size(); ++i)
                if (batch.flags[i] == flag && batch.paths[i] == m_folder)
                    return true;
        return false;
    }
    QString in(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/outer/inner/watched");
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/sub")));
        QVERIFY(touch(in(QStringLiteral("old.png"))));
        QVERIFY(touch(in(QStringLiteral("sub/old.png"))));
        m_batches.clear();
    }
    void cleanup() { m_dir.reset(); }

    void entryChangesArriveWithTheirPaths_data()
    {
        QTest::addColumn<std::function<bool(const QString &)>>("change");
        QTest::addColumn<QStringList>("expected"); // names in the folder; "" is the folder itself
        using Change = std::function<bool(const QString &)>;
        QTest::newRow("create") << Change([](const QString &f) { return touch(f + "/new.png"); })
                                << QStringList{"new.png"};
        QTest::newRow("modify") << Change([](const QString &f) { return touch(f + "/old.png"); })
                                << QStringList{"old.png"};
        QTest::newRow("delete") << Change([](const QString &f) { return QFile::remove(f + "/old.png"); })
                                << QStringList{"old.png"};
        QTest::newRow("rename") << Change([](const QString &f) { return QFile::rename(f + "/old.png", f + "/b.png"); })
                                << QStringList{"old.png", "b.png"};
        QTest::newRow("move out") << Change([](const QString &f) { return QFile::rename(f + "/old.png", f + "/../o.png"); })
                                  << QStringList{"old.png"};
        QTest::newRow("permissions") << Change([](const QString &f) {
            return QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }) << QStringList{""};
    }
    void entryChangesArriveWithTheirPaths()
    {
        QFETCH(std::function<bool(const QString &)>, change);
        QFETCH(QStringList, expected);
        InotifyEventSource source;
        QVERIFY(source.start(m_folder, recorder()));
        // Inside a subfolder: the folder's own level is all that is watched.
        QVERIFY(touch(in(QStringLiteral("sub/deep.png"))));
        QVERIFY(change(m_folder));
        QVERIFY(touch(in(QStringLiteral("marker"))));
        QTRY_VERIFY(allPaths().contains(in(QStringLiteral("marker"))));

        QStringList seen = allPaths();
        seen.removeAll(in(QStringLiteral("marker")));
        seen.removeDuplicates();
        QStringList want;
        for (const QString &name : expected)
            want.append(name.isEmpty() ? m_folder : in(name));
        QCOMPARE(seen, want); // nothing from before the start, nothing from the subfolder
        for (const Batch &batch : std::as_const(m_batches))
            QCOMPARE(batch.flags, QList<quint32>(batch.flags.size(), 0));
    }

    void firstEventAtOnceThenBurstGathered()
    {
        {
            // With a latency far beyond the wait, only immediate delivery can pass.
            InotifyEventSource slow(std::chrono::seconds(60));
            QVERIFY(slow.start(m_folder, recorder()));
            QVERIFY(touch(in(QStringLiteral("1.png"))));
            QTRY_COMPARE(m_batches.size(), 1);
            QCOMPARE(m_batches[0].paths, QStringList{in(QStringLiteral("1.png"))});
            QVERIFY(touch(in(QStringLiteral("2.png"))));
            // A second watcher sees the change; the first holds it back for its latency.
            InotifyEventSource quick;
            int quickBatches = 0;
            QVERIFY(quick.start(m_folder, [&](const QStringList &, const QList<quint32> &) { ++quickBatches; }));
            QVERIFY(touch(in(QStringLiteral("3.png"))));
            QTRY_COMPARE(quickBatches, 1);
            QCOMPARE(m_batches.size(), 1);
        }
        m_batches.clear();
        InotifyEventSource source(std::chrono::milliseconds(1000));
        QVERIFY(source.start(m_folder, recorder()));
        QVERIFY(touch(in(QStringLiteral("1.png"))));
        QTRY_COMPARE(m_batches.size(), 1);
        for (const char *name : {"2.png", "3.png", "4.png"})
            QVERIFY(touch(in(QLatin1String(name))));
        QTRY_COMPARE(m_batches.size(), 2);
        QCOMPARE(m_batches[1].paths,
                 (QStringList{in(QStringLiteral("2.png")), in(QStringLiteral("3.png")), in(QStringLiteral("4.png"))}));
    }

    void losingThePathReportsRootChanged_data()
    {
        QTest::addColumn<QString>("from"); // relative to the temporary directory
        QTest::addColumn<QString>("to");   // empty: delete
        QTest::newRow("folder renamed") << "outer/inner/watched" << "outer/inner/renamed";
        QTest::newRow("folder moved") << "outer/inner/watched" << "outer/watched";
        QTest::newRow("folder deleted") << "outer/inner/watched" << "";
        QTest::newRow("parent moved") << "outer/inner" << "inner";
        QTest::newRow("grandparent renamed") << "outer" << "other";
    }
    void losingThePathReportsRootChanged()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        InotifyEventSource source;
        QVERIFY(source.start(m_folder, recorder()));
        const QString fromPath = m_dir->filePath(from);
        if (to.isEmpty())
            QVERIFY(QDir(fromPath).removeRecursively());
        else
            QVERIFY(QDir().rename(fromPath, m_dir->filePath(to)));
        QTRY_VERIFY(sawFlag(FolderEventSource::RootChanged));
    }

    void startRejectsNonFoldersAndStopEndsDelivery()
    {
        InotifyEventSource source;
        QVERIFY(!source.start(in(QStringLiteral("old.png")), recorder()));
        QVERIFY(!source.start(in(QStringLiteral("missing")), recorder()));
        QVERIFY(source.start(m_folder, recorder()));
        QVERIFY(touch(in(QStringLiteral("a.png"))));
        source.stop(); // before the event loop saw the change
        // Restarting reports only what happens afterwards.
        QVERIFY(source.start(m_folder, recorder()));
        QVERIFY(touch(in(QStringLiteral("b.png"))));
        QTRY_VERIFY(!m_batches.isEmpty());
        QCOMPARE(allPaths(), QStringList{in(QStringLiteral("b.png"))});
    }
};

QTEST_GUILESS_MAIN(TestInotifyEventSource)
#include "tst_inotifyeventsource.moc"
