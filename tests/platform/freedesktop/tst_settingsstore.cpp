#include "TestSupport.h"
#include "platform/freedesktop/SettingsStore.h"
#include "core/AppIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What identifies a directory entry: moved aside, it is the same entry under another name.
std::optional<std::pair<dev_t, ino_t>> entryIdentity(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

QJsonObject fileObject(const QString &path) { return QJsonDocument::fromJson(TestSupport::readFile(path)).object(); }

} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("suite/settings.json")); }

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
        const QString folder = QFileInfo(store->filePath()).absolutePath();
        QCOMPARE(folder, m_dir->filePath(QStringLiteral("config/") + AppIdentity::applicationId()));
        QCOMPARE(TestSupport::permissions(folder), 0700);
        QVERIFY(!QFileInfo::exists(store->filePath())); // opening writes nothing
        QVERIFY(store->setBool(QStringLiteral("a"), true));
        QCOMPARE(TestSupport::permissions(store->filePath()), 0600);
        // A file someone made readable to others becomes private again on the next write.
        QCOMPARE(::chmod(QFile::encodeName(store->filePath()).constData(), 0644), 0);
        QVERIFY(store->setBool(QStringLiteral("a"), false));
        QCOMPARE(TestSupport::permissions(store->filePath()), 0600);
    }

    void writesKeepOtherKeysAndSurviveReopening()
    {
        QVERIFY(TestSupport::writeFile(settingsPath(), R"({"libraryState": {"data": "e30="}, "old": 1, "gone": true})"));
        const QByteArray bytes("\0\x01\r\n\x7f\x80\xfe\xff", 8);
        SettingsStore store(settingsPath());
        QVERIFY(store.setData(QStringLiteral("bytes"), bytes));
        QVERIFY(store.write(SettingsStore::Batch()
                                .setString(QStringLiteral("a"), QStringLiteral("first"))
                                .remove(QStringLiteral("gone"))
                                .setString(QStringLiteral("a"), QStringLiteral("ü ~/x \"q\""))
                                .setBool(QStringLiteral("c"), true)
                                .remove(QStringLiteral("c"))));
        // Binary data keeps its documented form in the file.
        const QJsonObject expected{
            {QStringLiteral("libraryState"), QJsonObject{{QStringLiteral("data"), QStringLiteral("e30=")}}},
            {QStringLiteral("old"), 1},
            {QStringLiteral("bytes"), QJsonObject{{QStringLiteral("data"), QString::fromLatin1(bytes.toBase64())}}},
            {QStringLiteral("a"), QStringLiteral("ü ~/x \"q\"")},
        };
        QCOMPARE(fileObject(settingsPath()), expected);
        // Setting what is stored already rewrites nothing; a real change does, and so does any
        // write once the file is gone.
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1000000000);
        QVERIFY(TestSupport::setModificationTime(settingsPath(), old));
        QVERIFY(store.setString(QStringLiteral("a"), QStringLiteral("ü ~/x \"q\"")));
        QCOMPARE(QFileInfo(settingsPath()).lastModified(), old);
        QVERIFY(store.setBool(QStringLiteral("d"), true));
        QVERIFY(QFileInfo(settingsPath()).lastModified() != old);
        QVERIFY(store.remove(QStringLiteral("d")));
        QVERIFY(QFile::remove(settingsPath()));
        QVERIFY(store.setString(QStringLiteral("a"), QStringLiteral("ü ~/x \"q\"")));
        QCOMPARE(fileObject(settingsPath()), expected);
        const SettingsStore reopened(settingsPath());
        QCOMPARE(reopened.data(QStringLiteral("bytes")), std::optional(bytes));
        QCOMPARE(reopened.string(QStringLiteral("a")), std::optional(QStringLiteral("ü ~/x \"q\"")));
    }

    void unusableFileIsMovedAsideIntact_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("corrupt");
        QTest::newRow("truncated") << QByteArray(R"({"showFloatingButton": fal)") << true;
        QTest::newRow("array") << QByteArray(R"([{"showFloatingButton": false}])") << true;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4) << true;
        QTest::newRow("empty is just empty") << QByteArray("\n") << false;
    }

    void unusableFileIsMovedAsideIntact()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, corrupt);
        // Copies moved aside earlier are kept too.
        const QString aside = settingsPath() + QStringLiteral(".corrupt");
        QVERIFY(TestSupport::writeFile(aside, "first") && TestSupport::writeFile(aside + ".1", "second"));
        QVERIFY(TestSupport::writeFile(settingsPath(), contents));
        if (corrupt) // the user's journal tells why their preferences went back to defaults
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^unusable settings file")));
        SettingsStore store(settingsPath());
        QCOMPARE(store.isCorrupt(), corrupt);
        QVERIFY(!store.object(QStringLiteral("showFloatingButton")));
        QCOMPARE(TestSupport::readFile(settingsPath()), contents); // reading alone keeps it in place
        QVERIFY(store.setBool(QStringLiteral("showFloatingButton"), true));
        QVERIFY(!store.isCorrupt());
        QCOMPARE(TestSupport::readFile(aside) + TestSupport::readFile(aside + ".1") + TestSupport::readFile(aside + ".2"),
                 "firstsecond" + (corrupt ? contents : QByteArray()));
        QCOMPARE(fileObject(settingsPath()), QJsonObject({{QStringLiteral("showFloatingButton"), true}}));
    }

    // Each would hang, abort or exhaust memory if opened or read whole; each holds something the
    // reader must not take for our settings.
    void entriesThatAreNoSettingsFileAreSetAsideUnopened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("link to /dev/zero") << "/dev/zero";
        QTest::newRow("link to /dev/null") << "/dev/null";
        QTest::newRow("link to settings elsewhere") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("valid but oversized") << "oversized";
    }

    void entriesThatAreNoSettingsFileAreSetAsideUnopened()
    {
        QFETCH(QString, kind);
        const QByteArray path = QFile::encodeName(settingsPath());
        const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere.json"));
        const QByteArray elsewhereBytes = R"({"showFloatingButton": false})";
        QVERIFY(QDir().mkpath(QFileInfo(settingsPath()).absolutePath()));
        if (kind == "pipe") {
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        } else if (kind == "oversized") {
            const QByteArray start = R"({"showFloatingButton": false)";
            QVERIFY(TestSupport::writeFile(settingsPath(), start + QByteArray(SettingsStore::maximumFileBytes - start.size(), ' ') + '}'));
        } else {
            if (kind == "link")
                QVERIFY(TestSupport::writeFile(elsewhere, elsewhereBytes));
            QCOMPARE(::symlink(QFile::encodeName(kind.startsWith('/') ? kind : elsewhere).constData(), path.constData()), 0);
        }
        const auto entry = entryIdentity(settingsPath());

        SettingsStore store(settingsPath());
        QVERIFY(store.isCorrupt());
        QVERIFY(!store.contains(QStringLiteral("showFloatingButton")));
        QCOMPARE(entryIdentity(settingsPath()), entry); // reading alone keeps it in place

        QVERIFY(store.setBool(QStringLiteral("showFloatingButton"), true));
        // The very entry (a link as a link), not a copy of what it points to.
        QCOMPARE(entryIdentity(settingsPath() + QStringLiteral(".corrupt")), entry);
        QCOMPARE(fileObject(settingsPath()), QJsonObject({{QStringLiteral("showFloatingButton"), true}}));
        QVERIFY(!QFileInfo(settingsPath()).isSymLink());
        QCOMPARE(QFileInfo::exists(elsewhere), kind == "link");
        if (kind == "link")
            QCOMPARE(TestSupport::readFile(elsewhere), elsewhereBytes);
    }

    void failedSaveKeepsTheOldSettings_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("disk full") << true;
        QTest::newRow("read-only folder") << false;
    }

    void failedSaveKeepsTheOldSettings()
    {
        QFETCH(bool, diskFull);
        const QByteArray old = R"({"folderPath": "/home/u/Pictures/Screenshots", "hasConnectedFolder": true})";
        QVERIFY(TestSupport::writeFile(settingsPath(), old));
        const QString folder = QFileInfo(settingsPath()).absolutePath();
        if (!diskFull)
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
        // In a child: the size limit and dropped privilege must not outlive the attempt.
        const std::optional<bool> saved = TestSupport::inChildProcess([&] {
            if (!(diskFull ? TestSupport::limitFileSize(old.size() / 2) : TestSupport::honourPermissions()))
                return true; // could not set the failure up: seen as a save that worked
            SettingsStore store(settingsPath());
            return store.setString(QStringLiteral("folderPath"), QStringLiteral("/somewhere/else"));
        });
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        QCOMPARE(saved, std::optional(false));
        QCOMPARE(TestSupport::readFile(settingsPath()), old);
        // No temporary file left behind either.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("settings.json")});
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
