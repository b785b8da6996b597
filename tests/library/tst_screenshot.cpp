#include "library/Screenshot.h"

#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QDateTime utcMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

Screenshot recordFor(const QString &path)
{
    const QFileInfo info(path);
    return Screenshot(QUrl::fromLocalFile(path), info.birthTime(), info.lastModified(),
                      info.size(), 4, 3);
}

} // namespace

class TestScreenshot final : public QObject
{
    Q_OBJECT

private slots:
    void displayName_data();
    void displayName();
    void dimensions();
    void cacheKey_data();
    void cacheKey();
    void equalityComparesEveryField();
    void constructorResolvesSymbolicLinks();
    void matchesCurrentFile();
};

void TestScreenshot::displayName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/pics/Screenshot 2024-05-01 at 10.00.00.png"
                           << "Screenshot 2024-05-01 at 10.00.00";
    QTest::newRow("only the final extension") << "/pics/archive.tar.png" << "archive.tar";
    QTest::newRow("no extension") << "/pics/noext" << "noext";
    QTest::newRow("leading dot is no extension") << "/pics/.hidden" << ".hidden";
    QTest::newRow("non-ASCII") << QStringLiteral("/pics/\u5c4f\u5e55\u622a\u56fe 1.heic")
                               << QStringLiteral("\u5c4f\u5e55\u622a\u56fe 1");
}

void TestScreenshot::displayName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const Screenshot s = Screenshot::withResolvedPath(path, utcMs(0), utcMs(0), 1, 1, 1);
    QCOMPARE(s.displayName(), expected);
    QCOMPARE(s.id(), path);
    QCOMPARE(s.url(), QUrl::fromLocalFile(path));
}

void TestScreenshot::dimensions()
{
    const Screenshot s = Screenshot::withResolvedPath("/p/a.png", utcMs(0), utcMs(0), 1, 1440, 900);
    QCOMPARE(s.dimensions(), QString::fromUtf8("1440 \xC3\x97 900"));
}

void TestScreenshot::cacheKey_data()
{
    QTest::addColumn<qint64>("modifiedMs");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("whole seconds keep .0") << qint64(1700000000000) << "1700000000.0";
    QTest::newRow("epoch") << qint64(0) << "0.0";
    QTest::newRow("milliseconds") << qint64(1700000000123) << "1700000000.123";
    QTest::newRow("shortest, not padded") << qint64(1700000000100) << "1700000000.1";
    QTest::newRow("before 1970") << qint64(-1500) << "-1.5";
    QTest::newRow("distant past") << Screenshot::distantPast().toMSecsSinceEpoch()
                                  << "-62135769600.0";
}

void TestScreenshot::cacheKey()
{
    QFETCH(qint64, modifiedMs);
    QFETCH(QString, seconds);
    const Screenshot s = Screenshot::withResolvedPath("/pics/a b.png", utcMs(5), utcMs(modifiedMs),
                                                      4321, 2, 2);
    QCOMPARE(s.cacheKey(), QStringLiteral("/pics/a b.png:") + seconds + QStringLiteral(":4321"));
    // The text reads back to exactly the same number of seconds.
    QCOMPARE(seconds.toDouble(), double(modifiedMs) / 1000.0);
}

void TestScreenshot::equalityComparesEveryField()
{
    const Screenshot base = Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 3, 4, 5);
    QCOMPARE(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 3, 4, 5), base);
    // The same instant in another time representation is the same date.
    QCOMPARE(Screenshot::withResolvedPath("/p/a.png", utcMs(1).toLocalTime(), utcMs(2), 3, 4, 5),
             base);
    QVERIFY(Screenshot::withResolvedPath("/p/b.png", utcMs(1), utcMs(2), 3, 4, 5) != base);
    QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(9), utcMs(2), 3, 4, 5) != base);
    QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(9), 3, 4, 5) != base);
    QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 9, 4, 5) != base);
    QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 3, 9, 5) != base);
    QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 3, 4, 9) != base);
}

void TestScreenshot::constructorResolvesSymbolicLinks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("alias")));
    QVERIFY(TestSupport::writeFile(dir.filePath("real/a.png"), "x"));

    const Screenshot viaLink = recordFor(dir.filePath("alias/a.png"));
    QCOMPARE(viaLink.id(), QFileInfo(dir.filePath("real/a.png")).canonicalFilePath());
    QCOMPARE(viaLink.displayName(), QStringLiteral("a"));
}

void TestScreenshot::matchesCurrentFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Screenshot.png");
    QVERIFY(TestSupport::writeFile(path, "12345"));
    const QDateTime stamp = utcMs(1700000000123);
    QVERIFY(TestSupport::setModificationTime(path, stamp));

    const Screenshot record = recordFor(path);
    QCOMPARE(record.modifiedAt(), stamp);
    QVERIFY(record.matchesCurrentFile());

    // Touched: same size, new date.
    QVERIFY(TestSupport::setModificationTime(path, stamp.addMSecs(1)));
    QVERIFY(!record.matchesCurrentFile());

    // Edited: same date restored, new size.
    QVERIFY(TestSupport::writeFile(path, "123456"));
    QVERIFY(TestSupport::setModificationTime(path, stamp));
    QVERIFY(!record.matchesCurrentFile());

    QVERIFY(QFile::remove(path));
    QVERIFY(!record.matchesCurrentFile());
}

QTEST_GUILESS_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
