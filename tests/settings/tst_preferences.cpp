#include "platform/ScreenshotLocation.h"
#include "platform/SettingsStore.h"
#include "settings/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class FakeScreenshotLocation final : public ScreenshotLocation
{
public:
    explicit FakeScreenshotLocation(std::optional<QString> location = std::nullopt)
        : m_location(std::move(location))
    {
    }
    std::optional<QString> location() const override { return m_location; }

private:
    std::optional<QString> m_location;
};

const QStringList managedKeys{"showFloatingButton", "buttonSize", "snapToEdges", "floatingPosition",
                              "appearance", "includeAllImages", "shortcut", "folderPath",
                              "hasConnectedFolder"};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QJsonValue dataValue(const QByteArray &bytes)
{
    return SettingsStore::encodeData(bytes);
}

// Every readable property, for comparing whole states.
QVariantMap state(const Preferences &preferences)
{
    QVariantMap result;
    const QMetaObject *meta = preferences.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        result.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(&preferences));
    return result;
}

} // namespace

class TestPreferences final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("settings.json")); }
    QJsonObject fileObject() const { return QJsonDocument::fromJson(readAll(settingsPath())).object(); }
    // A store as another writer left it, read fresh from disk.
    SettingsStore &storeWith(const QJsonObject &values)
    {
        if (!values.isEmpty())
            writeAll(settingsPath(), QJsonDocument(values).toJson());
        m_store = std::make_unique<SettingsStore>(settingsPath());
        return *m_store;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString home = m_dir->filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", home.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toLocal8Bit());
    }

    void freshStoreGivesDefaultsAndWritesNothing()
    {
        const FakeScreenshotLocation noLocation;
        const Preferences preferences(storeWith({}), noLocation);
        QCOMPARE(preferences.showFloatingButton(), true);
        QCOMPARE(preferences.buttonSize(), FloatingButtonSize::standard);
        QCOMPARE(preferences.snapToEdges(), true);
        QCOMPARE(preferences.floatingPosition(), std::nullopt);
        QCOMPARE(preferences.legacyEdge(), QStringLiteral("right"));
        QCOMPARE(preferences.appearance(), QStringLiteral("system"));
        QCOMPARE(preferences.includeAllImages(), false);
        QCOMPARE(preferences.shortcut(), Shortcut());
        QCOMPARE(preferences.folderPath(), QDir::homePath() + QStringLiteral("/Desktop"));
        QCOMPARE(preferences.folderURL(), QUrl::fromLocalFile(QDir::homePath() + QStringLiteral("/Desktop")));
        QCOMPARE(preferences.hasConnectedFolder(), false);
        QCOMPARE(&preferences.defaults(), m_store.get());
        QVERIFY(!QFileInfo::exists(settingsPath()));
    }

    void suggestedFolder_data()
    {
        QTest::addColumn<std::optional<QString>>("location");
        QTest::addColumn<QString>("expected"); // "HOME" stands for the home folder
        QTest::newRow("tilde path") << std::optional<QString>("~/Pictures/Shots") << "HOME/Pictures/Shots";
        QTest::newRow("tilde alone") << std::optional<QString>("~") << "HOME";
        QTest::newRow("absolute") << std::optional<QString>("/srv/shots") << "/srv/shots";
        QTest::newRow("other user kept") << std::optional<QString>("~other/x") << "~other/x";
        QTest::newRow("tilde inside kept") << std::optional<QString>("/a/~/b") << "/a/~/b";
        QTest::newRow("empty") << std::optional<QString>("") << "HOME/Desktop";
        QTest::newRow("none") << std::optional<QString>() << "HOME/Desktop";
    }

    void suggestedFolder()
    {
        QFETCH(std::optional<QString>, location);
        QFETCH(QString, expected);
        expected.replace(QStringLiteral("HOME"), QDir::homePath());
        const FakeScreenshotLocation fake(location);
        const Preferences preferences(storeWith({}), fake);
        QCOMPARE(preferences.folderPath(), expected);
        QCOMPARE(preferences.hasConnectedFolder(), false);
    }

    void storedFolderReplacesSuggestion()
    {
        const FakeScreenshotLocation fake(QStringLiteral("~/Shots"));
        const Preferences preferences(storeWith({{"folderPath", "/chosen"}}), fake);
        QCOMPARE(preferences.folderPath(), QStringLiteral("/chosen"));
    }

    void storedValuesLoad()
    {
        const FloatingPosition position{QStringLiteral("EDID-1"), 0.25, 0.75};
        const Shortcut shortcut{40, 0x100 | 0x200, QStringLiteral("K")};
        const FakeScreenshotLocation noLocation;
        const Preferences preferences(
            storeWith({{"showFloatingButton", false},
                       {"buttonSize", "large"},
                       {"snapToEdges", false},
                       {"floatingPosition", dataValue(*position.toJson())},
                       {"edge", "left"},
                       {"appearance", "sepia"},
                       {"includeAllImages", true},
                       {"shortcut", dataValue(shortcut.toJson())},
                       {"folderPath", "/shots"},
                       {"hasConnectedFolder", true}}),
            noLocation);
        QCOMPARE(preferences.showFloatingButton(), false);
        QCOMPARE(preferences.buttonSize(), FloatingButtonSize::large);
        QCOMPARE(preferences.snapToEdges(), false);
        QCOMPARE(preferences.floatingPosition(), std::optional<FloatingPosition>(position));
        QCOMPARE(preferences.legacyEdge(), QStringLiteral("left"));
        QCOMPARE(preferences.appearance(), QStringLiteral("sepia")); // kept as stored
        QCOMPARE(preferences.includeAllImages(), true);
        QCOMPARE(preferences.shortcut(), shortcut);
        QCOMPARE(preferences.folderPath(), QStringLiteral("/shots"));
        QCOMPARE(preferences.hasConnectedFolder(), true);
    }

    void badStoredValuesLoadDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("stored");

        const QJsonValue goodPosition = dataValue(R"({"displayID": "A", "horizontal": 0.5, "vertical": 0.5})");
        QTest::newRow("showFloatingButton text") << "showFloatingButton" << QJsonValue("false");
        QTest::newRow("showFloatingButton number") << "showFloatingButton" << QJsonValue(0);
        QTest::newRow("showFloatingButton null") << "showFloatingButton" << QJsonValue(QJsonValue::Null);
        QTest::newRow("buttonSize unknown") << "buttonSize" << QJsonValue("huge");
        QTest::newRow("buttonSize capitalised") << "buttonSize" << QJsonValue("Large");
        QTest::newRow("buttonSize number") << "buttonSize" << QJsonValue(2);
        QTest::newRow("snapToEdges text") << "snapToEdges" << QJsonValue("no");
        QTest::newRow("floatingPosition as plain JSON object")
            << "floatingPosition" << QJsonValue(QJsonObject{{"displayID", "A"}, {"horizontal", 0.5}, {"vertical", 0.5}});
        QTest::newRow("floatingPosition as text") << "floatingPosition" << goodPosition.toObject().value("data");
        QTest::newRow("floatingPosition bad JSON") << "floatingPosition" << dataValue("{\"displayID\":");
        QTest::newRow("floatingPosition missing member") << "floatingPosition" << dataValue(R"({"displayID": "A", "horizontal": 0.5})");
        QTest::newRow("floatingPosition wrong type") << "floatingPosition" << dataValue(R"({"displayID": "A", "horizontal": "0", "vertical": 0})");
        QTest::newRow("edge number") << "edge" << QJsonValue(1);
        QTest::newRow("appearance boolean") << "appearance" << QJsonValue(true);
        QTest::newRow("includeAllImages text") << "includeAllImages" << QJsonValue("true");
        QTest::newRow("includeAllImages number") << "includeAllImages" << QJsonValue(1);
        QTest::newRow("shortcut missing character") << "shortcut" << dataValue(R"({"keyCode": 1, "modifiers": 256})");
        QTest::newRow("shortcut negative key") << "shortcut" << dataValue(R"({"keyCode": -1, "modifiers": 256, "character": "S"})");
        QTest::newRow("shortcut not data") << "shortcut" << QJsonValue(QJsonObject{{"keyCode", 1}, {"modifiers", 256}, {"character", "S"}});
        QTest::newRow("shortcut bad base64") << "shortcut" << QJsonValue(QJsonObject{{"data", "%%%"}});
        QTest::newRow("folderPath number") << "folderPath" << QJsonValue(42);
        QTest::newRow("folderPath data") << "folderPath" << dataValue("/x");
        QTest::newRow("hasConnectedFolder text") << "hasConnectedFolder" << QJsonValue("yes");
    }

    void badStoredValuesLoadDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, stored);
        const FakeScreenshotLocation location(QStringLiteral("/suggested"));
        const Preferences expected(storeWith({}), location);
        const QVariantMap defaults = state(expected);

        const Preferences preferences(storeWith({{key, stored}}), location);
        QCOMPARE(state(preferences), defaults);
        // Loading leaves the bad value where it is.
        QCOMPARE(fileObject().value(key), stored);
    }

    void unknownSizeIsWrittenAsStandardOnNextSave()
    {
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({{"buttonSize", "huge"}}), noLocation);
        QCOMPARE(preferences.buttonSize(), FloatingButtonSize::standard);
        preferences.setSnapToEdges(false);
        QCOMPARE(fileObject().value("buttonSize"), QJsonValue("standard"));
    }

    void anyWriteRewritesEveryKey()
    {
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({{"appearance", "dark"}, {"edge", "left"}}), noLocation);
        QSignalSpy changed(&preferences, &Preferences::includeAllImagesChanged);

        // Another writer changes the store after loading.
        QVERIFY(m_store->setBool("snapToEdges", false));
        QVERIFY(m_store->setString("appearance", "light"));
        QVERIFY(m_store->setData("floatingPosition", *FloatingPosition{"X", 0, 0}.toJson()));

        preferences.setIncludeAllImages(false); // unchanged value: still saves, announces nothing
        QCOMPARE(changed.count(), 0);

        const QJsonObject file = fileObject();
        for (const QString &key : managedKeys) {
            if (key != QLatin1String("floatingPosition"))
                QVERIFY2(file.contains(key), qPrintable(key));
        }
        QCOMPARE(file.value("snapToEdges"), QJsonValue(true));
        QCOMPARE(file.value("appearance"), QJsonValue("dark"));
        QVERIFY(!file.contains("floatingPosition"));
        QCOMPARE(file.value("edge"), QJsonValue("left")); // never written
        QCOMPARE(m_store->data("shortcut").value(), Shortcut().toJson());
        QCOMPARE(file.value("folderPath"), QJsonValue(QDir::homePath() + "/Desktop"));
    }

    void writersAnnounceOnlyChanges_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("stored");

        const FloatingPosition position{"D", 0.5, 0.0};
        const Shortcut shortcut{49, 0x100, "Space"};
        QTest::newRow("showFloatingButton") << QByteArray("showFloatingButton") << QVariant(false)
                                            << "showFloatingButton" << QJsonValue(false);
        QTest::newRow("buttonSize") << QByteArray("buttonSize") << QVariant::fromValue(FloatingButtonSize::compact)
                                    << "buttonSize" << QJsonValue("compact");
        QTest::newRow("snapToEdges") << QByteArray("snapToEdges") << QVariant(false) << "snapToEdges" << QJsonValue(false);
        QTest::newRow("floatingPosition")
            << QByteArray("floatingPosition") << QVariant::fromValue(std::optional<FloatingPosition>(position))
            << "floatingPosition" << dataValue(*position.toJson());
        QTest::newRow("appearance") << QByteArray("appearance") << QVariant("dark") << "appearance" << QJsonValue("dark");
        QTest::newRow("includeAllImages") << QByteArray("includeAllImages") << QVariant(true)
                                          << "includeAllImages" << QJsonValue(true);
        QTest::newRow("shortcut") << QByteArray("shortcut") << QVariant::fromValue(shortcut) << "shortcut"
                                  << dataValue(shortcut.toJson());
        QTest::newRow("folderPath") << QByteArray("folderPath") << QVariant("/new") << "folderPath" << QJsonValue("/new");
        QTest::newRow("hasConnectedFolder") << QByteArray("hasConnectedFolder") << QVariant(true)
                                            << "hasConnectedFolder" << QJsonValue(true);
    }

    void writersAnnounceOnlyChanges()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(QString, key);
        QFETCH(QJsonValue, stored);
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({}), noLocation);
        const QMetaProperty meta =
            preferences.metaObject()->property(preferences.metaObject()->indexOfProperty(property));
        QVERIFY(meta.isValid() && meta.hasNotifySignal());
        QSignalSpy changed(&preferences, meta.notifySignal());

        QVERIFY(preferences.setProperty(property, value));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().value(0), value);
        QCOMPARE(preferences.property(property), value);
        QCOMPARE(fileObject().value(key), stored);

        QVERIFY(preferences.setProperty(property, value));
        QCOMPARE(changed.count(), 1);
    }

    void folderURLFollowsFolderPath()
    {
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({}), noLocation);
        QSignalSpy changed(&preferences, &Preferences::folderPathChanged);
        preferences.setFolderPath("/srv/My Shots");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(preferences.folderURL(), QUrl("file:///srv/My%20Shots"));
        QCOMPARE(preferences.folderURL().toLocalFile(), QStringLiteral("/srv/My Shots"));
    }

    void noPositionRemovesTheKey_data()
    {
        QTest::addColumn<std::optional<FloatingPosition>>("position");
        QTest::newRow("none") << std::optional<FloatingPosition>();
        // JSON has no form for these, so the key goes rather than hold something unreadable.
        QTest::newRow("not finite") << std::optional<FloatingPosition>(FloatingPosition{"D", qInf(), 0.5});
    }

    void noPositionRemovesTheKey()
    {
        QFETCH(std::optional<FloatingPosition>, position);
        const FloatingPosition stored{"D", 0.1, 0.9};
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({{"floatingPosition", dataValue(*stored.toJson())}}), noLocation);
        QCOMPARE(preferences.floatingPosition(), std::optional<FloatingPosition>(stored));

        preferences.setFloatingPosition(position);
        QVERIFY(!m_store->contains("floatingPosition"));
        QVERIFY(!fileObject().contains("floatingPosition"));
        QCOMPARE(fileObject().value("showFloatingButton"), QJsonValue(true)); // the rest still written
    }

    void keysOfOthersArePreserved()
    {
        const QJsonObject others{{"libraryState", dataValue(R"({"pinnedPaths":["/a.png"]})")},
                                 {"folderBookmark", dataValue("/shots")},
                                 {"edge", "left"},
                                 {"somethingNewer", 3}};
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith(others), noLocation);
        preferences.setAppearance("light");
        const QJsonObject file = fileObject();
        for (auto it = others.begin(); it != others.end(); ++it)
            QCOMPARE(file.value(it.key()), it.value());
        QCOMPARE(file.size(), others.size() + managedKeys.size() - 1); // no floatingPosition
    }

    void corruptFileGivesDefaultsAndIsKept()
    {
        const QByteArray broken("{\"showFloatingButton\": false, \"buttonSize\": \"lar");
        QVERIFY(writeAll(settingsPath(), broken));
        const FakeScreenshotLocation noLocation;
        Preferences preferences(storeWith({}), noLocation);
        QCOMPARE(preferences.showFloatingButton(), true);
        QCOMPARE(preferences.buttonSize(), FloatingButtonSize::standard);

        preferences.setHasConnectedFolder(true);
        QCOMPARE(readAll(settingsPath() + QStringLiteral(".corrupt")), broken);
        QCOMPARE(fileObject().value("hasConnectedFolder"), QJsonValue(true));
        QCOMPARE(fileObject().size(), managedKeys.size() - 1);
    }

    void failedSaveIsAnnounced()
    {
        QVERIFY(writeAll(m_dir->filePath("blocker"), "a file, not a folder"));
        SettingsStore store(m_dir->filePath("blocker/settings.json"));
        const FakeScreenshotLocation noLocation;
        Preferences preferences(store, noLocation);
        QSignalSpy failed(&preferences, &Preferences::saveFailed);
        QSignalSpy changed(&preferences, &Preferences::showFloatingButtonChanged);
        preferences.setShowFloatingButton(false);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(preferences.showFloatingButton(), false);
    }

    void demoNeverTouchesTheNormalSuite()
    {
        QCOMPARE(Preferences::suiteForArguments({"brimfold"}), SettingsStore::normalSuite());
        QCOMPARE(Preferences::suiteForArguments({"brimfold", "--demo-folder", "/x"}), SettingsStore::normalSuite());
        const QString demoSuite = Preferences::suiteForArguments({"brimfold", "--demo", "--demo-welcome"});
        QCOMPARE(demoSuite, SettingsStore::demoSuite());

        const auto normal = SettingsStore::open(SettingsStore::normalSuite());
        QVERIFY(normal);
        QVERIFY(normal->setBool("showFloatingButton", false));
        const QByteArray normalBytes = readAll(normal->filePath());

        const auto demo = SettingsStore::open(demoSuite);
        QVERIFY(demo);
        const FakeScreenshotLocation noLocation;
        Preferences preferences(*demo, noLocation);
        QCOMPARE(preferences.showFloatingButton(), true); // nothing read from the normal suite
        preferences.setFolderPath("/demo");
        preferences.setShowFloatingButton(true);

        QCOMPARE(readAll(normal->filePath()), normalBytes);
        QDir normalFolder(QFileInfo(normal->filePath()).absolutePath());
        QCOMPARE(normalFolder.entryList(QDir::Files), QStringList{"settings.json"});
        QCOMPARE(SettingsStore(demo->filePath()).string("folderPath"), std::optional<QString>("/demo"));
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
