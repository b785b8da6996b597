#include "TestSupport.h"
#include "app/SingleInstance.h"
#include "core/AppIdentity.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestSingleInstance final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstCopyHoldsTheLockUntilItEnds()
    {
        QTemporaryDir dir;
        const QString lockDir = dir.filePath(QStringLiteral("cache/") + AppIdentity::applicationId());
        {
            SingleInstance first;
            QCOMPARE(first.acquire(false, lockDir), SingleInstance::Outcome::Acquired);
            QVERIFY(first.lockDescriptor() >= 0);

            // flock belongs to the open file, so a second open in this process is a second copy.
            SingleInstance second;
            QCOMPARE(second.acquire(false, lockDir), SingleInstance::Outcome::HeldElsewhere);
            QCOMPARE(second.lockDescriptor(), -1);

            const QString lockFile = lockDir + QStringLiteral("/instance.lock");
            QCOMPARE(TestSupport::permissions(lockFile), 0600);
            ::close(first.lockDescriptor()); // what process exit does
        }
        SingleInstance later;
        QCOMPARE(later.acquire(false, lockDir), SingleInstance::Outcome::Acquired);
    }

    void demoCopiesTakeNoLock()
    {
        QTemporaryDir dir;
        SingleInstance normal;
        QCOMPARE(normal.acquire(false, dir.path()), SingleInstance::Outcome::Acquired);
        SingleInstance demo;
        QCOMPARE(demo.acquire(true, dir.path()), SingleInstance::Outcome::NotNeeded);
        QCOMPARE(demo.lockDescriptor(), -1);
    }

    void unusableLockFolderFallsBack()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: neither mkpath nor open can succeed.
        const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
        QVERIFY(TestSupport::writeFile(blocker, {}));
        SingleInstance instance;
        QCOMPARE(instance.acquire(false, blocker + QStringLiteral("/inner")),
                 SingleInstance::Outcome::Unavailable);
        QCOMPARE(instance.lockDescriptor(), -1);
    }

    void nonFileLockEntryIsReplacedNotFollowed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a missing file") << "link";
        QTest::newRow("link to /dev/null") << "/dev/null";
        QTest::newRow("named pipe") << "pipe";
    }

    void nonFileLockEntryIsReplacedNotFollowed()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QByteArray lockFile = QFile::encodeName(dir.filePath(QStringLiteral("instance.lock")));
        const QString target = dir.filePath(QStringLiteral("elsewhere"));
        if (kind == "pipe")
            QCOMPARE(::mkfifo(lockFile.constData(), 0600), 0);
        else
            QCOMPARE(::symlink(QFile::encodeName(kind == "link" ? target : kind).constData(), lockFile.constData()), 0);
        SingleInstance instance;
        QCOMPARE(instance.acquire(false, dir.path()), SingleInstance::Outcome::Acquired);
        struct stat st {};
        QCOMPARE(::lstat(lockFile.constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QCOMPARE(int(st.st_mode & 0777), 0600);
        QVERIFY(!QFileInfo::exists(target));
        SingleInstance second;
        QCOMPARE(second.acquire(false, dir.path()), SingleInstance::Outcome::HeldElsewhere);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
