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
        QVERIFY(QDir().mkpath(path(QStringLiteral("Screenshots"))) && QDir().mkpath(path(QStringLiteral("Écrans ٱلعربية"))));
        QVERIFY(QFile::link(path(QStringLiteral("Screenshots")), path(QStringLiteral("link"))));
        QVERIFY(QFile(path(QStringLiteral("file.png"))).open(QIODevice::WriteOnly));
    }

    void createAndResolve_data()
    {
        QTest::addColumn<QByteArray>("input"); // a path to make a bookmark of, or bookmark data to resolve
        QTest::addColumn<QString>("expected"); // the canonical folder; empty: refused either way
        const QString root = QDir(m_dir.path()).canonicalPath();
        const QByteArray shots = path(QStringLiteral("Screenshots")).toUtf8();
        QTest::newRow("folder") << shots << root + QStringLiteral("/Screenshots");
        QTest::newRow("trailing slash") << shots + '/' << root + QStringLiteral("/Screenshots");
        QTest::newRow("through a link") << path(QStringLiteral("link")).toUtf8() << root + QStringLiteral("/Screenshots");
        QTest::newRow("non-ASCII") << path(QStringLiteral("Écrans ٱلعربية")).toUtf8() << root + QStringLiteral("/Écrans ٱلعربية");
        QTest::newRow("file") << path(QStringLiteral("file.png")).toUtf8() << QString();
        QTest::newRow("missing") << path(QStringLiteral("missing")).toUtf8() << QString();
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("relative") << QByteArray("Screenshots") << QString();
        QTest::newRow("not UTF-8") << shots + "\xff" << QString();
        QTest::newRow("embedded NUL") << shots + QByteArray("\0/x", 3) << QString();
    }

    void createAndResolve()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const std::optional<QByteArray> bookmark = FolderBookmark::create(QString::fromUtf8(input));
        QCOMPARE(bookmark, expected.isEmpty() ? std::nullopt : std::optional(expected.toUtf8()));
        QCOMPARE(FolderBookmark::resolve(bookmark.value_or(input)),
                 expected.isEmpty() ? std::nullopt : std::optional(expected));
    }
};

QTEST_GUILESS_MAIN(TestFolderBookmark)
#include "tst_folderbookmark.moc"
