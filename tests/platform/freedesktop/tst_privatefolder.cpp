#include "TestSupport.h"
#include "platform/freedesktop/PrivateFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestPrivateFolder final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newLevelsAreOwnerOnlyWhateverTheUmask_data()
    {
        QTest::addColumn<unsigned>("mask");
        QTest::newRow("usual") << 022u;
        // Takes the owner's write and search bits: each level must be fixed before the next.
        QTest::newRow("owner bits masked") << 0377u;
    }
    void newLevelsAreOwnerOnlyWhateverTheUmask()
    {
        QFETCH(unsigned, mask);
        QTemporaryDir root;
        QCOMPARE(::chmod(QFile::encodeName(root.path()).constData(), 0750), 0);
        const QString deepest = root.filePath(QStringLiteral("a/b/c"));
        const mode_t previous = ::umask(mask);
        const bool made = PrivateFolder::make(deepest);
        ::umask(previous);
        QVERIFY(made);
        for (const QString &level : {QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/c")})
            QCOMPARE(TestSupport::permissions(root.filePath(level)), 0700);
        QCOMPARE(TestSupport::permissions(root.path()), 0750); // an existing level keeps its mode
    }

    void fileInTheWayFails()
    {
        QTemporaryDir root;
        QVERIFY(TestSupport::writeFile(root.filePath(QStringLiteral("taken")), {}));
        QVERIFY(!PrivateFolder::make(root.filePath(QStringLiteral("taken"))));
        QVERIFY(!PrivateFolder::make(root.filePath(QStringLiteral("taken/below"))));
        QVERIFY(PrivateFolder::make(root.path()));
    }
};

QTEST_GUILESS_MAIN(TestPrivateFolder)
#include "tst_privatefolder.moc"
