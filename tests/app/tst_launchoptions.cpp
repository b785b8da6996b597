#include "FakeScreenshotLocation.h"

#include "app/AppController.h"
#include "app/AppDelegate.h"
#include "app/LaunchOptions.h"
#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList args(std::initializer_list<const char *> flags)
{
    QStringList list{QStringLiteral("brimfold")};
    for (const char *flag : flags)
        list << QString::fromUtf8(flag);
    return list;
}

} // namespace

class TestLaunchOptions final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QString>("folder"); // empty: none
        QTest::addColumn<bool>("welcome");

        QTest::newRow("none") << args({}) << false << QString() << false;
        QTest::newRow("demo") << args({"--demo"}) << true << QString() << false;
        QTest::newRow("folder without demo") << args({"--demo-folder", "/p"}) << false << QString() << false;
        QTest::newRow("folder last") << args({"--demo", "--demo-folder"}) << true << QString() << false;
        QTest::newRow("demo after folder") << args({"--demo-folder", "/p", "--demo"}) << true
                                           << QStringLiteral("/p") << false;
        QTest::newRow("welcome") << args({"--demo", "--demo-folder", "/p", "--demo-welcome"}) << true
                                 << QStringLiteral("/p") << true;
        QTest::newRow("first folder flag wins") << args({"--demo", "--demo-folder", "/a", "--demo-folder", "/b"})
                                                << true << QStringLiteral("/a") << false;
        QTest::newRow("whole arguments only") << args({"--demo=1", "--demo-folder=/p"}) << false
                                              << QString() << false;
        // The program's own path is never a flag.
        QTest::newRow("program name") << QStringList{QStringLiteral("--demo")} << false << QString() << false;
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, demo);
        QFETCH(QString, folder);
        QFETCH(bool, welcome);
        const LaunchOptions options = LaunchOptions::parse(arguments);
        QCOMPARE(options.demo, demo);
        QCOMPARE(options.demoFolder.value_or(QString()), folder);
        QCOMPARE(options.demoWelcome, welcome);
    }

    void parseSearch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("search");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("json");

        QTest::newRow("no search") << args({"--json"}) << false << QStringList() << true;
        QTest::newRow("words") << args({"--search", "quarterly", "report"}) << true
                               << QStringList{"quarterly", "report"} << false;
        QTest::newRow("json after") << args({"--search", "report", "--json"}) << true
                                    << QStringList{"report"} << true;
        QTest::newRow("json before") << args({"--json", "--search", "a b"}) << true
                                     << QStringList{"a b"} << true;
        QTest::newRow("no words") << args({"--search"}) << true << QStringList() << false;
        QTest::newRow("whole argument only") << args({"--search=report"}) << false << QStringList() << false;
    }

    void parseSearch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, search);
        QFETCH(QStringList, words);
        QFETCH(bool, json);
        const LaunchOptions options = LaunchOptions::parse(arguments);
        QCOMPARE(options.search.has_value(), search);
        QCOMPARE(options.search.value_or(QStringList()), words);
        QCOMPARE(options.json, json);
    }

    void demoFlagsWriteTheDemoStore()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
        QVERIFY(store.setData(QStringLiteral("folderBookmark"), QByteArrayLiteral("/old")));
        FakeScreenshotLocation location;
        const LaunchOptions options =
            LaunchOptions::parse(args({"--demo", "--demo-folder", "/shots", "--demo-welcome"}));
        Preferences preferences(store, location);
        AppDelegate::applyDemoFlags(options, preferences);

        Preferences reloaded(store, location);
        QCOMPARE(reloaded.folderPath(), QStringLiteral("/shots"));
        QCOMPARE(reloaded.hasConnectedFolder(), false);
        QCOMPARE(reloaded.includeAllImages(), true);
        QVERIFY(store.contains(QStringLiteral("folderBookmark"))); // a former key, left alone
    }

    void noDemoFolderChangesNothing()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
        QVERIFY(store.setData(QStringLiteral("folderBookmark"), QByteArrayLiteral("/old")));
        FakeScreenshotLocation location;
        const LaunchOptions options = LaunchOptions::parse(args({"--demo-folder", "/shots"}));
        Preferences preferences(store, location);
        AppDelegate::applyDemoFlags(options, preferences);
        QVERIFY(store.contains(QStringLiteral("folderBookmark")));
        QVERIFY(!store.contains(QStringLiteral("folderPath")));
        QCOMPARE(preferences.includeAllImages(), false);
    }
};

QTEST_MAIN(TestLaunchOptions)
#include "tst_launchoptions.moc"
