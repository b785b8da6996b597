#include "platform/SystemScreenshotLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

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

        QTest::newRow("current key") << QByteArray("[ImageSave]\nimageSaveLocation=file:///home/u/Shots/\n")
                                     << QStringLiteral("/home/u/Shots");
        QTest::newRow("older key") << QByteArray("[General]\ndefaultSaveLocation=file:///home/u/Old\n")
                                   << QStringLiteral("/home/u/Old");
        QTest::newRow("oldest key") << QByteArray("[General]\ndefault-save-location=file:///tmp/a\n")
                                    << QStringLiteral("/tmp/a");
        QTest::newRow("current key wins")
            << QByteArray("[General]\ndefaultSaveLocation=file:///old\n[ImageSave]\nimageSaveLocation=file:///new\n")
            << QStringLiteral("/new");
        QTest::newRow("key in another group") << QByteArray("[VideoSave]\nimageSaveLocation=file:///v\n")
                                              << QString();
        QTest::newRow("nested group") << QByteArray("[ImageSave][Extra]\nimageSaveLocation=file:///n\n")
                                      << QString();
        QTest::newRow("spaces, escapes, percent encoding")
            << QByteArray("# comment\n\n[ImageSave]\n  imageSaveLocation = file:///home/u/My%20Shots\\s \n")
            << QStringLiteral("/home/u/My Shots ");
        QTest::newRow("environment expansion")
            << QByteArray("[ImageSave]\nimageSaveLocation[$e]=file://$BRIMFOLD_TEST_SHOTS/${BRIMFOLD_TEST_SHOTS}\n")
            << QStringLiteral("/srv/shots/srv/shots");
        QTest::newRow("no expansion without $e")
            << QByteArray("[ImageSave]\nimageSaveLocation=/x/$BRIMFOLD_TEST_SHOTS\n")
            << QStringLiteral("/x/$BRIMFOLD_TEST_SHOTS");
        QTest::newRow("command substitution is not run")
            << QByteArray("[ImageSave]\nimageSaveLocation[$e]=/x/$(touch /tmp/brimfold-bad)\n")
            << QStringLiteral("/x/$(touch /tmp/brimfold-bad)");
        QTest::newRow("translation ignored") << QByteArray("[ImageSave]\nimageSaveLocation[de]=file:///de\n")
                                             << QString();
        QTest::newRow("last entry wins")
            << QByteArray("[ImageSave]\nimageSaveLocation=file:///a\nimageSaveLocation=file:///b\n")
            << QStringLiteral("/b");
        QTest::newRow("tilde kept raw") << QByteArray("[ImageSave]\nimageSaveLocation=~/Shots\n")
                                        << QStringLiteral("~/Shots");
        QTest::newRow("remote url") << QByteArray("[ImageSave]\nimageSaveLocation=smb://host/share\n")
                                    << QString();
        QTest::newRow("empty value") << QByteArray("[ImageSave]\nimageSaveLocation=\n") << QString();
        QTest::newRow("crlf and garbage")
            << QByteArray("\xff\xfe[[\r\n=oops\r\n[ImageSave\r\n[ImageSave]\r\nimageSaveLocation=file:///c\r\n")
            << QStringLiteral("/c");
    }

    void toolSaveLocation()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, expected);
        const QString file = path(QStringLiteral("spectaclerc"));
        QVERIFY(writeAll(file, config));
        const std::optional<QString> found = SystemScreenshotLocation::toolSaveLocation(file);
        QCOMPARE(found.value_or(QString()), expected);
        QCOMPARE(found.has_value(), !expected.isEmpty());
    }

    void sourcesInOrder()
    {
        const QString pictures = path(QStringLiteral("Pictures"));
        QVERIFY(QDir().mkpath(pictures));
        const QString userConfig = path(QStringLiteral("user-rc"));
        const QString systemConfig = path(QStringLiteral("system-rc"));
        QVERIFY(writeAll(systemConfig, "[ImageSave]\nimageSaveLocation=file:///system\n"));
        const QStringList configs{userConfig, systemConfig};

        // Missing user file: the system-wide one applies.
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(),
                 std::optional<QString>(QStringLiteral("/system")));
        QVERIFY(writeAll(userConfig, "[ImageSave]\nimageSaveLocation=file:///user\n"));
        QCOMPARE(SystemScreenshotLocation(configs, pictures).location(),
                 std::optional<QString>(QStringLiteral("/user")));

        // Without the tool's setting, the pictures folder's "Screenshots" only when it exists.
        QCOMPARE(SystemScreenshotLocation({}, pictures).location(), std::nullopt);
        QVERIFY(QDir().mkpath(pictures + QStringLiteral("/Screenshots")));
        QCOMPARE(SystemScreenshotLocation({}, pictures).location(),
                 std::optional<QString>(pictures + QStringLiteral("/Screenshots")));
        QCOMPARE(SystemScreenshotLocation({}, QString()).location(), std::nullopt);
    }

    void systemDefaultsFollowTheEnvironment()
    {
        // The test script gives every test a private HOME and configuration folder.
        const QString config = path(QStringLiteral("config"));
        const QString home = path(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(config));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Pictures/Screenshots")));
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        qputenv("HOME", home.toLocal8Bit());
        QCOMPARE(SystemScreenshotLocation().location(),
                 std::optional<QString>(home + QStringLiteral("/Pictures/Screenshots")));
        QVERIFY(writeAll(config + QStringLiteral("/spectaclerc"),
                         "[ImageSave]\nimageSaveLocation=file:///from/tool/\n"));
        QCOMPARE(SystemScreenshotLocation().location(),
                 std::optional<QString>(QStringLiteral("/from/tool")));
    }
};

QTEST_GUILESS_MAIN(TestScreenshotLocation)
#include "tst_screenshotlocation.moc"
