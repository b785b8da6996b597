#include "FakeScreenshotLocation.h"
#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"
#include "settings/Preferences.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList managedKeys{"showFloatingButton", "buttonSize", "snapToEdges", "floatingPosition", "appearance",
                              "includeAllImages", "shortcut", "folderPath", "hasConnectedFolder"};

QJsonValue dataValue(const QByteArray &bytes) { return SettingsStore::encodeData(bytes); }

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
    const FakeScreenshotLocation m_noLocation;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("settings.json")); }
    QJsonObject fileObject() const { return QJsonDocument::fromJson(TestSupport::readFile(settingsPath())).object(); }
    // A store as another writer left it, read fresh from disk.
    SettingsStore &storeWith(const QJsonObject &values)
    {
        if (!values.isEmpty())
            TestSupport::writeFile(settingsPath(), QJsonDocument(values).toJson());
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

    // The suggestion reads other programs' settings and lists folders; a stored folder makes it moot.
    void suggestedFolder_data()
    {
        QTest::addColumn<std::optional<QString>>("location");
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<QString>("expected"); // "HOME" stands for the home folder
        QTest::newRow("tilde path") << std::optional<QString>("~/Pictures/Shots") << QJsonObject() << "HOME/Pictures/Shots";
        QTest::newRow("tilde alone") << std::optional<QString>("~") << QJsonObject() << "HOME";
        QTest::newRow("other user kept") << std::optional<QString>("~other/x") << QJsonObject() << "~other/x";
        QTest::newRow("none") << std::optional<QString>() << QJsonObject() << "HOME/Desktop";
        QTest::newRow("stored folder") << std::optional<QString>("/suggested") << QJsonObject{{"folderPath", "/kept"}} << "/kept";
    }

    void suggestedFolder()
    {
        QFETCH(std::optional<QString>, location);
        QFETCH(QJsonObject, stored);
        QFETCH(QString, expected);
        const FakeScreenshotLocation fake(location);
        const Preferences preferences(storeWith(stored), fake);
        QCOMPARE(preferences.folderPath(), expected.replace(QStringLiteral("HOME"), QDir::homePath()));
        QCOMPARE(fake.calls, stored.isEmpty() ? 1 : 0);
        QCOMPARE(QFileInfo::exists(settingsPath()), !stored.isEmpty()); // defaults are not written
    }

    void badStoredValuesLoadDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("stored");
        const auto row = [](const char *name, const char *key, const QJsonValue &stored) {
            QTest::newRow(name) << QString::fromLatin1(key) << stored;
        };
        row("showFloatingButton text", "showFloatingButton", "false");
        row("buttonSize unknown", "buttonSize", "huge");
        row("buttonSize capitalised", "buttonSize", "Large");
        row("snapToEdges text", "snapToEdges", "no");
        row("floatingPosition as plain JSON object", "floatingPosition",
            QJsonObject{{"displayID", "A"}, {"horizontal", 0.5}, {"vertical", 0.5}});
        row("floatingPosition as text", "floatingPosition", R"({"displayID": "A", "horizontal": 0.5, "vertical": 0.5})");
        row("floatingPosition bad JSON", "floatingPosition", dataValue("{\"displayID\":"));
        row("edge number", "edge", 1);
        row("appearance boolean", "appearance", true);
        row("includeAllImages text", "includeAllImages", "true");
        row("shortcut missing character", "shortcut", dataValue(R"({"keyCode": 1, "modifiers": 256})"));
        row("shortcut not data", "shortcut", QJsonObject{{"keyCode", 1}, {"modifiers", 256}, {"character", "S"}});
        row("shortcut bad base64", "shortcut", QJsonObject{{"data", "%%%"}});
        row("folderPath number", "folderPath", 42);
        row("hasConnectedFolder text", "hasConnectedFolder", "yes");
    }

    void badStoredValuesLoadDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, stored);
        const FakeScreenshotLocation location(QStringLiteral("/suggested"));
        const QVariantMap defaults = state(Preferences(storeWith({}), location));
        const Preferences preferences(storeWith({{key, stored}}), location);
        QCOMPARE(state(preferences), defaults);
        QCOMPARE(fileObject().value(key), stored); // loading leaves the bad value where it is
    }

    void anyWriteRewritesEveryKeyAndKeepsOthers()
    {
        const QJsonObject others{{"libraryState", dataValue(R"({"pinnedPaths":["/a.png"]})")},
                                 {"folderBookmark", dataValue("/shots")}, {"edge", "left"}, {"somethingNewer", 3}};
        QJsonObject stored = others;
        stored.insert("appearance", "sepia");
        stored.insert("buttonSize", "huge");
        Preferences preferences(storeWith(stored), m_noLocation);
        QCOMPARE(preferences.legacyEdge(), QStringLiteral("left"));
        QSignalSpy changed(&preferences, &Preferences::includeAllImagesChanged);
        // Another writer changes the store after loading.
        QVERIFY(m_store->setBool("snapToEdges", false));
        QVERIFY(m_store->setData("floatingPosition", *FloatingPosition{"X", 0, 0}.toJson()));
        preferences.setIncludeAllImages(false); // unchanged value: still saves, announces nothing
        QCOMPARE(changed.count(), 0);
        const QJsonObject file = fileObject();
        for (const QString &key : managedKeys)
            QCOMPARE(file.contains(key), key != QLatin1String("floatingPosition"));
        for (auto it = others.begin(); it != others.end(); ++it)
            QCOMPARE(file.value(it.key()), it.value()); // never written
        QCOMPARE(file.size(), others.size() + managedKeys.size() - 1);
        QCOMPARE(file.value("snapToEdges"), QJsonValue(true));
        QCOMPARE(file.value("appearance"), QJsonValue("sepia")); // unknown, but kept as stored
        QCOMPARE(file.value("buttonSize"), QJsonValue("standard"));
        QCOMPARE(m_store->data("shortcut").value(), Shortcut().toJson());
        QCOMPARE(file.value("folderPath"), QJsonValue(QDir::homePath() + "/Desktop"));
    }

    void writersSaveAnnounceOnlyChangesAndReload_data()
    {
        QTest::addColumn<QByteArray>("property"); // also the key
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QJsonValue>("stored");
        const FloatingPosition position{"D", 0.5, 0.0};
        const Shortcut shortcut{49, 0x100, "Space"};
        const auto row = [](const char *property, const QVariant &value, const QJsonValue &stored) {
            QTest::newRow(property) << QByteArray(property) << value << stored;
        };
        row("showFloatingButton", false, false);
        row("buttonSize", QVariant::fromValue(FloatingButtonSize::compact), "compact");
        row("snapToEdges", false, false);
        row("floatingPosition", QVariant::fromValue(std::optional(position)), dataValue(*position.toJson()));
        row("appearance", "dark", "dark");
        row("includeAllImages", true, true);
        row("shortcut", QVariant::fromValue(shortcut), dataValue(shortcut.toJson()));
        row("folderPath", "/srv/My Shots", "/srv/My Shots");
        row("hasConnectedFolder", true, true);
    }

    void writersSaveAnnounceOnlyChangesAndReload()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(QJsonValue, stored);
        // A stored folder replaces the suggestion.
        const FakeScreenshotLocation location(QStringLiteral("~/Shots"));
        Preferences preferences(storeWith({}), location);
        const QMetaProperty meta = preferences.metaObject()->property(preferences.metaObject()->indexOfProperty(property));
        QVERIFY(meta.hasNotifySignal());
        QSignalSpy changed(&preferences, meta.notifySignal());
        QVERIFY(preferences.setProperty(property, value));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().value(0), value);
        QCOMPARE(fileObject().value(QString::fromLatin1(property)), stored);
        QVERIFY(preferences.setProperty(property, value));
        QCOMPARE(changed.count(), 1);
        SettingsStore reread(settingsPath());
        QCOMPARE(Preferences(reread, location).property(property), value);
        if (property == "folderPath")
            QCOMPARE(preferences.folderURL(), QUrl("file:///srv/My%20Shots"));
    }

    void noPositionRemovesTheKey()
    {
        const FloatingPosition stored{"D", 0.1, 0.9};
        // JSON has no form for a non-finite one, so the key goes rather than hold something unreadable.
        for (const auto &position : {std::optional<FloatingPosition>(), std::optional(FloatingPosition{"D", qInf(), 0.5})}) {
            Preferences preferences(storeWith({{"floatingPosition", dataValue(*stored.toJson())}}), m_noLocation);
            QCOMPARE(preferences.floatingPosition(), std::optional(stored));
            preferences.setFloatingPosition(position);
            QVERIFY(!m_store->contains("floatingPosition") && !fileObject().contains("floatingPosition"));
            QCOMPARE(fileObject().value("showFloatingButton"), QJsonValue(true)); // the rest still written
        }
    }

    void demoNeverTouchesTheNormalSuite()
    {
        const QString demoSuite = SettingsStore::demoSuite();
        const auto normal = SettingsStore::open(SettingsStore::normalSuite());
        QVERIFY(normal && normal->setBool("showFloatingButton", false));
        const QByteArray normalBytes = TestSupport::readFile(normal->filePath());
        const auto demo = SettingsStore::open(demoSuite);
        QVERIFY(demo);
        Preferences preferences(*demo, m_noLocation);
        QCOMPARE(preferences.showFloatingButton(), true); // nothing read from the normal suite
        preferences.setFolderPath("/demo");
        preferences.setShowFloatingButton(true);
        QCOMPARE(TestSupport::readFile(normal->filePath()), normalBytes);
        QCOMPARE(QDir(QFileInfo(normal->filePath()).absolutePath()).entryList(QDir::Files), QStringList{"settings.json"});
        QCOMPARE(SettingsStore(demo->filePath()).string("folderPath"), std::optional<QString>("/demo"));
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
