#include "platform/freedesktop/InotifyEventSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

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
    QStringList m_paths;                          // of all batches, in order
    QList<std::pair<QString, quint32>> m_flagged; // paths that came with a flag

    FolderEventSource::BatchHandler recorder()
    {
        return [this](const QStringList &paths, const QList<quint32> &flags) {
            QCOMPARE(paths.size(), flags.size());
            m_paths += paths;
            for (qsizetype i = 0; i < flags.size(); ++i)
                if (flags[i] != 0)
                    m_flagged.append({paths[i], flags[i]});
        };
    }
    QString in(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/outer/inner/watched");
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/sub")));
        QVERIFY(touch(in(QStringLiteral("old.png"))) && touch(in(QStringLiteral("sub/old.png"))));
        m_paths.clear();
        m_flagged.clear();
    }
    void cleanup() { m_dir.reset(); }

    void entryChangesArriveWithTheirPaths_data()
    {
        using Change = std::function<bool(const QString &)>;
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("expected"); // names in the folder; "" is the folder itself
        QTest::newRow("create") << Change([](const QString &f) { return touch(f + "/new.png"); }) << QStringList{"new.png"};
        QTest::newRow("delete") << Change([](const QString &f) { return QFile::remove(f + "/old.png"); })
                                << QStringList{"old.png"};
        QTest::newRow("rename") << Change([](const QString &f) { return QFile::rename(f + "/old.png", f + "/b.png"); })
                                << QStringList{"old.png", "b.png"};
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
        QTRY_VERIFY(m_paths.contains(in(QStringLiteral("marker"))));
        QStringList want;
        for (const QString &name : expected)
            want.append(name.isEmpty() ? m_folder : in(name));
        m_paths.removeAll(in(QStringLiteral("marker")));
        m_paths.removeDuplicates();
        QCOMPARE(m_paths, want); // nothing from before the start, nothing from the subfolder
        QVERIFY(m_flagged.isEmpty());
    }

    void losingThePathReportsRootChanged_data()
    {
        QTest::addColumn<QString>("from"); // relative to the temporary directory
        QTest::addColumn<QString>("to");   // empty: delete
        QTest::newRow("folder renamed") << "outer/inner/watched" << "outer/inner/renamed";
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
        QVERIFY(to.isEmpty() ? QDir(fromPath).removeRecursively() : QDir().rename(fromPath, m_dir->filePath(to)));
        QTRY_VERIFY(m_flagged.contains(std::pair(m_folder, quint32(FolderEventSource::RootChanged))));
    }

    void startRejectsNonFoldersAndStopEndsDelivery()
    {
        InotifyEventSource source;
        QVERIFY(!source.start(in(QStringLiteral("old.png")), recorder()) && !source.start(in("missing"), recorder()));
        QVERIFY(source.start(m_folder, recorder()));
        QVERIFY(touch(in(QStringLiteral("a.png"))));
        source.stop(); // before the event loop saw the change
        // Restarting reports only what happens afterwards.
        QVERIFY(source.start(m_folder, recorder()));
        QVERIFY(touch(in(QStringLiteral("b.png"))));
        QTRY_COMPARE(m_paths, QStringList{in(QStringLiteral("b.png"))});
    }
};

QTEST_GUILESS_MAIN(TestInotifyEventSource)
#include "tst_inotifyeventsource.moc"
