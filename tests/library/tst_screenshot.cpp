#include "core/Screenshot.h"

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
    return Screenshot(QUrl::fromLocalFile(path), info.birthTime(), info.lastModified(), info.size(), 4, 3);
}

} // namespace

class TestScreenshot final : public QObject
{
    Q_OBJECT

private slots:
    // The key's text form is shared with the text cache on disk.
    void cacheKey_data()
    {
        QTest::addColumn<qint64>("modifiedMs");
        QTest::addColumn<QString>("seconds");
        QTest::newRow("whole seconds keep .0") << qint64(1700000000000) << "1700000000.0";
        QTest::newRow("shortest, not padded") << qint64(1700000000100) << "1700000000.1";
        QTest::newRow("milliseconds") << qint64(1700000000123) << "1700000000.123";
        QTest::newRow("before 1970") << qint64(-1500) << "-1.5";
        QTest::newRow("distant past") << Screenshot::distantPast().toMSecsSinceEpoch() << "-62135769600.0";
    }
    void cacheKey()
    {
        QFETCH(qint64, modifiedMs);
        QFETCH(QString, seconds);
        const Screenshot s = Screenshot::withResolvedPath("/pics/a b.png", utcMs(5), utcMs(modifiedMs), 4321, 2, 2);
        QCOMPARE(s.cacheKey(), QStringLiteral("/pics/a b.png:") + seconds + QStringLiteral(":4321"));
    }

    void equalityComparesInstants()
    {
        const Screenshot base = Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(2), 3, 4, 5);
        QCOMPARE(Screenshot::withResolvedPath("/p/a.png", utcMs(1).toLocalTime(), utcMs(2), 3, 4, 5), base);
        QVERIFY(Screenshot::withResolvedPath("/p/a.png", utcMs(1), utcMs(9), 3, 4, 5) != base);
    }

    void matchesCurrentFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Screenshot.png");
        QVERIFY(TestSupport::writeFile(path, "12345"));
        const QDateTime stamp = utcMs(1700000000123);
        QVERIFY(TestSupport::setModificationTime(path, stamp));
        const Screenshot record = recordFor(path);
        QCOMPARE(record.modifiedAt(), stamp);
        QVERIFY(record.matchesCurrentFile());

        QVERIFY(TestSupport::setModificationTime(path, stamp.addMSecs(1))); // touched
        QVERIFY(!record.matchesCurrentFile());
        QVERIFY(TestSupport::writeFile(path, "123456")); // edited, date put back
        QVERIFY(TestSupport::setModificationTime(path, stamp));
        QVERIFY(!record.matchesCurrentFile());
        QVERIFY(QFile::remove(path));
        QVERIFY(!record.matchesCurrentFile());
    }
};

QTEST_GUILESS_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
