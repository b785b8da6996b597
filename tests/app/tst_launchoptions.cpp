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
        QTest::addColumn<QStringList>("search"); // "-": no search
        QTest::addColumn<bool>("json");

        const QStringList none{"-"};
        QTest::newRow("none") << args({}) << false << QString() << false << none << false;
        QTest::newRow("demo") << args({"--demo"}) << true << QString() << false << none << false;
        QTest::newRow("folder without demo") << args({"--demo-folder", "/p"}) << false << QString() << false << none
                                             << false;
        QTest::newRow("folder last") << args({"--demo", "--demo-folder"}) << true << QString() << false << none << false;
        QTest::newRow("demo after folder") << args({"--demo-folder", "/p", "--demo"}) << true << "/p" << false << none
                                           << false;
        QTest::newRow("welcome") << args({"--demo", "--demo-folder", "/p", "--demo-welcome"}) << true << "/p" << true
                                 << none << false;
        QTest::newRow("first folder flag wins") << args({"--demo", "--demo-folder", "/a", "--demo-folder", "/b"})
                                                << true << "/a" << false << none << false;
        QTest::newRow("whole arguments only") << args({"--demo=1", "--demo-folder=/p", "--search=report"}) << false
                                              << QString() << false << none << false;
        // The program's own path is never a flag.
        QTest::newRow("program name") << QStringList{"--demo"} << false << QString() << false << none << false;
        QTest::newRow("json alone") << args({"--json"}) << false << QString() << false << none << true;
        QTest::newRow("words") << args({"--search", "quarterly", "report"}) << false << QString() << false
                               << QStringList{"quarterly", "report"} << false;
        QTest::newRow("json after") << args({"--search", "report", "--json"}) << false << QString() << false
                                    << QStringList{"report"} << true;
        QTest::newRow("json before") << args({"--json", "--search", "a b"}) << false << QString() << false
                                     << QStringList{"a b"} << true;
        QTest::newRow("no words") << args({"--search"}) << false << QString() << false << QStringList() << false;
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, demo);
        QFETCH(QString, folder);
        QFETCH(bool, welcome);
        QFETCH(QStringList, search);
        QFETCH(bool, json);
        const LaunchOptions options = LaunchOptions::parse(arguments);
        QCOMPARE(options.demo, demo);
        QCOMPARE(options.demoFolder.value_or(QString()), folder);
        QCOMPARE(options.demoWelcome, welcome);
        QCOMPARE(options.search.value_or(QStringList{"-"}), search);
        QCOMPARE(options.json, json);
    }

    // The demo flags write a demo folder over the settings, leaving former keys alone; without
    // --demo they change nothing.
    void demoFlags_data()
    {
        QTest::addColumn<bool>("demo");
        QTest::newRow("demo") << true;
        QTest::newRow("folder alone") << false;
    }

    void demoFlags()
    {
        QFETCH(bool, demo);
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
        QVERIFY(store.setData(QStringLiteral("folderBookmark"), QByteArrayLiteral("/old")));
        FakeScreenshotLocation location;
        const LaunchOptions options = LaunchOptions::parse(
            demo ? args({"--demo", "--demo-folder", "/shots", "--demo-welcome"}) : args({"--demo-folder", "/shots"}));
        Preferences preferences(store, location);
        AppDelegate::applyDemoFlags(options, preferences);

        Preferences reloaded(store, location);
        QCOMPARE(store.contains(QStringLiteral("folderPath")), demo);
        if (demo)
            QCOMPARE(reloaded.folderPath(), QStringLiteral("/shots"));
        QCOMPARE(reloaded.hasConnectedFolder(), false);
        QCOMPARE(reloaded.includeAllImages(), demo);
        QVERIFY(store.contains(QStringLiteral("folderBookmark"))); // a former key, left alone
    }
};

QTEST_MAIN(TestLaunchOptions)
#include "tst_launchoptions.moc"
