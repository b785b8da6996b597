#include "platform/SystemScreenshotLocation.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestScreenshotLocation final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("BRIMFOLD_TEST_SHOTS", "/srv/shots");
    }

    void toolSaveLocation_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("expected"); // empty: none
        const auto row = [](const char *name, const char *config, const QString &expected) {
            QTest::newRow(name) << QByteArray(config) << expected;
        };
        row("current key", "[ImageSave]\nimageSaveLocation=file:///home/u/Shots/\n", "/home/u/Shots");
        row("older key", "[General]\ndefaultSaveLocation=file:///home/u/Old\n", "/home/u/Old");
        row("current key wins", "[General]\ndefaultSaveLocation=file:///old\n[ImageSave]\nimageSaveLocation=file:///new\n",
            "/new");
        row("spaces, escapes, percent encoding",
            "# comment\n\n[ImageSave]\n  imageSaveLocation = file:///home/u/My%20Shots\\s \n", "/home/u/My Shots ");
        row("environment expansion",
            "[ImageSave]\nimageSaveLocation[$e]=file://$BRIMFOLD_TEST_SHOTS/${BRIMFOLD_TEST_SHOTS}\n",
            "/srv/shots/srv/shots");
        row("no expansion without $e", "[ImageSave]\nimageSaveLocation=/x/$BRIMFOLD_TEST_SHOTS\n",
            "/x/$BRIMFOLD_TEST_SHOTS");
        row("command substitution is not run", "[ImageSave]\nimageSaveLocation[$e]=/x/$(touch /tmp/brimfold-bad)\n",
            "/x/$(touch /tmp/brimfold-bad)");
        row("remote url", "[ImageSave]\nimageSaveLocation=smb://host/share\n", {});
        row("crlf and garbage", "\xff\xfe[[\r\n=oops\r\n[ImageSave\r\n[ImageSave]\r\nimageSaveLocation=file:///c\r\n", "/c");
    }

    void toolSaveLocation()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, expected);
        const QString file = path(QStringLiteral("spectaclerc"));
        QVERIFY(TestSupport::writeFile(file, config));
        QCOMPARE(SystemScreenshotLocation::toolSaveLocation(file),
                 expected.isEmpty() ? std::nullopt : std::optional(expected));
    }

    void sourcesInOrder()
    {
        const QString pictures = path(QStringLiteral("Pictures"));
        const QString userConfig = path(QStringLiteral("user-rc"));
        const QString systemConfig = path(QStringLiteral("system-rc"));
        const QStringList configs{userConfig, systemConfig};
        // Without the tool's setting, the pictures folder's "Screenshots" only when it exists.
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(), std::nullopt);
        QVERIFY(QDir().mkpath(pictures + QStringLiteral("/Screenshots")));
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(), std::optional(pictures + "/Screenshots"));
        // The system-wide file applies, unless the user's own says otherwise.
        QVERIFY(TestSupport::writeFile(systemConfig, "[ImageSave]\nimageSaveLocation=file:///system\n"));
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(), std::optional(QStringLiteral("/system")));
        QVERIFY(TestSupport::writeFile(userConfig, "[ImageSave]\nimageSaveLocation=file:///user/\n"));
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(), std::optional(QStringLiteral("/user")));
    }
};

QTEST_GUILESS_MAIN(TestScreenshotLocation)
#include "tst_screenshotlocation.moc"
