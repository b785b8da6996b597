#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

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

unsigned modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? unsigned(info.st_mode & 07777) : 0u;
}

QJsonObject fileObject(const QString &path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("suite/settings.json")); }

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // Never the real user's configuration, even when run outside the test script.
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toLocal8Bit());
    }

    void openMakesPrivateSuiteFolderAndFile()
    {
        const auto store = SettingsStore::open(SettingsStore::normalSuite());
        QVERIFY(store);
        const QString folder = m_dir->filePath(QStringLiteral("config/app.vellum.screenshots"));
        QCOMPARE(store->filePath(), folder + QStringLiteral("/settings.json"));
        QCOMPARE(modeOf(folder), 0700u);
        QVERIFY(!QFileInfo::exists(store->filePath())); // opening writes nothing

        QVERIFY(store->setBool(QStringLiteral("a"), true));
        QCOMPARE(modeOf(store->filePath()), 0600u);
        // A file someone made readable to others becomes private again on the next write.
        QVERIFY(::chmod(QFile::encodeName(store->filePath()).constData(), 0644) == 0);
        QVERIFY(store->setBool(QStringLiteral("a"), false));
        QCOMPARE(modeOf(store->filePath()), 0600u);
    }

    void openRefusesUnusableSuites_data()
    {
        QTest::addColumn<QString>("suite");
        QTest::addColumn<bool>("configIsFile");
        QTest::newRow("empty name") << QString() << false;
        QTest::newRow("nested name") << QStringLiteral("a/b") << false;
        QTest::newRow("parent") << QStringLiteral("..") << false;
        QTest::newRow("folder cannot be made") << SettingsStore::demoSuite() << true;
    }

    void openRefusesUnusableSuites()
    {
        QFETCH(QString, suite);
        QFETCH(bool, configIsFile);
        if (configIsFile)
            QVERIFY(writeAll(m_dir->filePath(QStringLiteral("config")), "not a folder"));
        QVERIFY(!SettingsStore::open(suite));
    }

    void typedReads_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariant>("boolean");
        QTest::addColumn<QVariant>("string");
        QTest::addColumn<QVariant>("data");

        const QVariant none;
        QTest::newRow("true") << QByteArray("true") << QVariant(true) << none << none;
        QTest::newRow("false") << QByteArray("false") << QVariant(false) << none << none;
        QTest::newRow("text") << QByteArray("\"hello\"") << none << QVariant(QStringLiteral("hello")) << none;
        QTest::newRow("text true") << QByteArray("\"true\"") << none << QVariant(QStringLiteral("true")) << none;
        QTest::newRow("number") << QByteArray("1") << none << none << none;
        QTest::newRow("data") << QByteArray(R"({"data": "AP8="})") << none << none
                              << QVariant(QByteArray("\x00\xff", 2));
        QTest::newRow("empty data") << QByteArray(R"({"data": ""})") << none << none
                                    << QVariant(QByteArray(""));
        QTest::newRow("bad base64") << QByteArray(R"({"data": "!!"})") << none << none << none;
        QTest::newRow("data not text") << QByteArray(R"({"data": 5})") << none << none << none;
        QTest::newRow("data with extra member")
            << QByteArray(R"({"data": "AA==", "x": 1})") << none << none << none;
        QTest::newRow("array") << QByteArray("[true]") << none << none << none;
        QTest::newRow("null") << QByteArray("null") << none << none << none;
    }

    void typedReads()
    {
        QFETCH(QByteArray, json);
        QFETCH(QVariant, boolean);
        QFETCH(QVariant, string);
        QFETCH(QVariant, data);
        QVERIFY(writeAll(settingsPath(), "{\"key\": " + json + "}"));
        SettingsStore store(settingsPath());

        QCOMPARE(store.boolean(QStringLiteral("key")).has_value(), boolean.isValid());
        if (boolean.isValid())
            QCOMPARE(*store.boolean(QStringLiteral("key")), boolean.toBool());
        QCOMPARE(store.boolValue(QStringLiteral("key")), boolean.isValid() && boolean.toBool());
        QCOMPARE(store.string(QStringLiteral("key")).has_value(), string.isValid());
        if (string.isValid())
            QCOMPARE(*store.string(QStringLiteral("key")), string.toString());
        QCOMPARE(store.data(QStringLiteral("key")).has_value(), data.isValid());
        if (data.isValid())
            QCOMPARE(*store.data(QStringLiteral("key")), data.toByteArray());
        // Whatever it is, it is there.
        QVERIFY(store.object(QStringLiteral("key")).has_value());
        QVERIFY(!store.object(QStringLiteral("other")).has_value());
        QVERIFY(!store.boolValue(QStringLiteral("other")));
    }

    void valuesSurviveReopening()
    {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
        {
            SettingsStore store(settingsPath());
            QVERIFY(store.setBool(QStringLiteral("flag"), false));
            QVERIFY(store.setString(QStringLiteral("text"), QStringLiteral("ü ~/x \"q\"")));
            QVERIFY(store.setData(QStringLiteral("bytes"), bytes));
            QVERIFY(store.setValue(QStringLiteral("number"), 2.5));
        }
        SettingsStore store(settingsPath());
        QCOMPARE(store.boolean(QStringLiteral("flag")), std::optional<bool>(false));
        QCOMPARE(store.string(QStringLiteral("text")), std::optional<QString>(QStringLiteral("ü ~/x \"q\"")));
        QCOMPARE(store.data(QStringLiteral("bytes")), std::optional<QByteArray>(bytes));
        QCOMPARE(store.object(QStringLiteral("number"))->toDouble(), 2.5);
        // Binary data keeps its documented form in the file.
        QCOMPARE(fileObject(settingsPath()).value(QStringLiteral("bytes")).toObject(),
                 QJsonObject({{QStringLiteral("data"), QString::fromLatin1(bytes.toBase64())}}));
    }

    void batchAppliesInOrderAndKeepsOtherKeys()
    {
        QVERIFY(writeAll(settingsPath(),
                         R"({"libraryState": {"data": "e30="}, "edge": "left", "old": 1, "gone": true})"));
        SettingsStore store(settingsPath());
        SettingsStore::Batch batch;
        batch.setString(QStringLiteral("a"), QStringLiteral("first"))
            .setBool(QStringLiteral("b"), true)
            .remove(QStringLiteral("gone"))
            .setString(QStringLiteral("a"), QStringLiteral("second"))
            .setBool(QStringLiteral("c"), true)
            .remove(QStringLiteral("c"));
        QCOMPARE(batch.keys(), QStringList({"a", "b", "gone", "a", "c", "c"}));
        QVERIFY(store.write(batch));

        const QJsonObject expected{
            {QStringLiteral("libraryState"), QJsonObject{{QStringLiteral("data"), QStringLiteral("e30=")}}},
            {QStringLiteral("edge"), QStringLiteral("left")},
            {QStringLiteral("old"), 1},
            {QStringLiteral("a"), QStringLiteral("second")},
            {QStringLiteral("b"), true},
        };
        QCOMPARE(fileObject(settingsPath()), expected);
        QCOMPARE(SettingsStore(settingsPath()).data(QStringLiteral("libraryState")),
                 std::optional<QByteArray>("{}"));
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        // The store's folder would have to be made inside a regular file.
        QVERIFY(writeAll(m_dir->filePath(QStringLiteral("blocker")), "file"));
        SettingsStore store(m_dir->filePath(QStringLiteral("blocker/settings.json")));
        QVERIFY(!store.setBool(QStringLiteral("a"), true));
        QVERIFY(!store.write(SettingsStore::Batch().setString(QStringLiteral("b"), QStringLiteral("x"))));
        QVERIFY(!store.contains(QStringLiteral("a")));
        QVERIFY(!store.contains(QStringLiteral("b")));
    }

    void unusableFileIsMovedAsideIntact_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("truncated") << QByteArray(R"({"showFloatingButton": fal)");
        QTest::newRow("array") << QByteArray(R"([{"showFloatingButton": false}])");
        QTest::newRow("string") << QByteArray(R"("text")");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4);
    }

    void unusableFileIsMovedAsideIntact()
    {
        QFETCH(QByteArray, contents);
        QVERIFY(writeAll(settingsPath(), contents));
        SettingsStore store(settingsPath());
        QVERIFY(store.isCorrupt());
        QVERIFY(!store.object(QStringLiteral("showFloatingButton")));
        QCOMPARE(readAll(settingsPath()), contents); // reading alone keeps it in place

        QVERIFY(store.setBool(QStringLiteral("showFloatingButton"), true));
        QVERIFY(!store.isCorrupt());
        QCOMPARE(readAll(settingsPath() + QStringLiteral(".corrupt")), contents);
        QCOMPARE(fileObject(settingsPath()), QJsonObject({{QStringLiteral("showFloatingButton"), true}}));
    }

    void earlierCorruptCopiesAreKept()
    {
        const QString aside = settingsPath() + QStringLiteral(".corrupt");
        QVERIFY(writeAll(aside, "first"));
        QVERIFY(writeAll(aside + QStringLiteral(".1"), "second"));
        QVERIFY(writeAll(settingsPath(), "third"));
        SettingsStore store(settingsPath());
        QVERIFY(store.setString(QStringLiteral("k"), QStringLiteral("v")));
        QCOMPARE(readAll(aside), QByteArray("first"));
        QCOMPARE(readAll(aside + QStringLiteral(".1")), QByteArray("second"));
        QCOMPARE(readAll(aside + QStringLiteral(".2")), QByteArray("third"));
    }

    void emptyFileIsAnEmptyStore()
    {
        QVERIFY(writeAll(settingsPath(), "\n"));
        SettingsStore store(settingsPath());
        QVERIFY(!store.isCorrupt());
        QVERIFY(store.setBool(QStringLiteral("a"), true));
        QVERIFY(!QFileInfo::exists(settingsPath() + QStringLiteral(".corrupt")));
    }

    void suitesAreSeparate()
    {
        const auto demo = SettingsStore::open(SettingsStore::demoSuite());
        QVERIFY(demo);
        QVERIFY(demo->setString(QStringLiteral("folderPath"), QStringLiteral("/demo")));
        const QString normalFolder = m_dir->filePath(QStringLiteral("config/app.vellum.screenshots"));
        QVERIFY(!QFileInfo::exists(normalFolder));

        const auto normal = SettingsStore::open(SettingsStore::normalSuite());
        QVERIFY(normal);
        QVERIFY(!normal->contains(QStringLiteral("folderPath")));
        QVERIFY(normal->setString(QStringLiteral("folderPath"), QStringLiteral("/normal")));
        QCOMPARE(SettingsStore::open(SettingsStore::demoSuite())->string(QStringLiteral("folderPath")),
                 std::optional<QString>(QStringLiteral("/demo")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
