#include "platform/FolderBookmark.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFolderBookmark final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(path(QStringLiteral("Screenshots"))));
        QVERIFY(QDir().mkpath(path(QStringLiteral("Écrans ٱلعربية"))));
        QVERIFY(QFile::link(path(QStringLiteral("Screenshots")), path(QStringLiteral("link"))));
        QFile file(path(QStringLiteral("file.png")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void createAndResolve_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected"); // the canonical folder; empty: no bookmark
        const QString shots = QDir(m_dir.path()).canonicalPath() + QStringLiteral("/Screenshots");
        QTest::newRow("folder") << path(QStringLiteral("Screenshots")) << shots;
        QTest::newRow("trailing slash") << path(QStringLiteral("Screenshots/")) << shots;
        QTest::newRow("through a link") << path(QStringLiteral("link")) << shots;
        QTest::newRow("non-ASCII")
            << path(QStringLiteral("Écrans ٱلعربية"))
            << QDir(m_dir.path()).canonicalPath() + QStringLiteral("/Écrans ٱلعربية");
        QTest::newRow("file") << path(QStringLiteral("file.png")) << QString();
        QTest::newRow("missing") << path(QStringLiteral("missing")) << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void createAndResolve()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        const std::optional<QByteArray> bookmark = FolderBookmark::create(folder);
        if (expected.isEmpty()) {
            QVERIFY(!bookmark);
            return;
        }
        QVERIFY(bookmark);
        QCOMPARE(*bookmark, expected.toUtf8());
        QCOMPARE(FolderBookmark::resolve(*bookmark), std::optional<QString>(expected));
    }

    void resolveRefusesBadData_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray shots = path(QStringLiteral("Screenshots")).toUtf8();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("relative") << QByteArray("Screenshots");
        QTest::newRow("missing folder") << path(QStringLiteral("gone")).toUtf8();
        QTest::newRow("file") << path(QStringLiteral("file.png")).toUtf8();
        QTest::newRow("not UTF-8") << shots + "\xff";
        QTest::newRow("cut UTF-8 sequence") << shots + "/\xc3";
        QTest::newRow("embedded NUL") << shots + QByteArray("\0/x", 3);
    }

    void resolveRefusesBadData()
    {
        QFETCH(QByteArray, data);
        QCOMPARE(FolderBookmark::resolve(data), std::nullopt);
    }

    void folderRemovedAfterwards()
    {
        QVERIFY(QDir().mkpath(path(QStringLiteral("Temporary"))));
        const std::optional<QByteArray> bookmark = FolderBookmark::create(path(QStringLiteral("Temporary")));
        QVERIFY(bookmark);
        QVERIFY(FolderBookmark::resolve(*bookmark));
        QVERIFY(QDir().rmdir(path(QStringLiteral("Temporary"))));
        QCOMPARE(FolderBookmark::resolve(*bookmark), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestFolderBookmark)
#include "tst_folderbookmark.moc"
