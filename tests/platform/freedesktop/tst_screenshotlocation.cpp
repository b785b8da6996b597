#include "platform/freedesktop/ScreenshotNames.h"
#include "platform/freedesktop/SystemScreenshotLocation.h"

#include "TestSupport.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
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

    // Each tool's settings file as that tool reads it; a null config: no file.
    void toolSaveLocation_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("expected"); // null: none
        const auto row = [](const char *tool, const char *name, const QByteArray &config, const QString &expected) {
            QTest::addRow("%s: %s", tool, name) << QString::fromLatin1(tool) << config << expected;
        };
        row("kde", "current key", "[ImageSave]\nimageSaveLocation=file:///home/u/Shots/\n", "/home/u/Shots");
        row("kde", "older key", "[General]\ndefaultSaveLocation=file:///home/u/Old\n", "/home/u/Old");
        row("kde", "current key wins",
            "[General]\ndefaultSaveLocation=file:///old\n[ImageSave]\nimageSaveLocation=file:///new\n", "/new");
        row("kde", "spaces, escapes, percent encoding",
            "# comment\n\n[ImageSave]\n  imageSaveLocation = file:///home/u/My%20Shots\\s \n", "/home/u/My Shots ");
        row("kde", "environment expansion",
            "[ImageSave]\nimageSaveLocation[$e]=file://$BRIMFOLD_TEST_SHOTS/${BRIMFOLD_TEST_SHOTS}\n",
            "/srv/shots/srv/shots");
        row("kde", "no expansion without $e", "[ImageSave]\nimageSaveLocation=/x/$BRIMFOLD_TEST_SHOTS\n",
            "/x/$BRIMFOLD_TEST_SHOTS");
        row("kde", "command substitution is not run",
            "[ImageSave]\nimageSaveLocation[$e]=/x/$(touch /tmp/brimfold-bad)\n", "/x/$(touch /tmp/brimfold-bad)");
        row("kde", "remote url", "[ImageSave]\nimageSaveLocation=smb://host/share\n", {});
        row("kde", "crlf and garbage",
            "\xff\xfe[[\r\n=oops\r\n[ImageSave\r\n[ImageSave]\r\nimageSaveLocation=file:///c\r\n", "/c");
        for (const char *tool : {"flameshot", "xfce", "gnome"})
            row(tool, "missing file", QByteArray(), {});
        row("flameshot", "fixed path", "[General]\nsavePath=/home/u/Flame Shots/\nsavePathFixed=true\n",
            "/home/u/Flame Shots");
        row("flameshot", "quoted", "[General]\nsavePath=\"/a, b\"\n", "/a, b");
        row("flameshot", "not a path", "[General]\nsavePath=@Invalid()\n", {});
        // The file name pattern, the default's when none is set.
        const QString defaultNames = ScreenshotNamePattern::flameshotDefault.toString();
        row("flameshot names", "missing file", QByteArray(), defaultNames);
        row("flameshot names", "not set", "[General]\nsavePath=/x\n", defaultNames);
        row("flameshot names", "set empty", "[General]\nfilenamePattern=\n", defaultNames);
        row("flameshot names", "set", "[General]\nfilenamePattern=Shot %Y%m%d-%H%M\n", "Shot %Y%m%d-%H%M");
        row("xfce", "url", "delay=0\nscreenshot_dir=file:///home/u/Bilder%20X\ntitle=x\n", "/home/u/Bilder X");
        row("xfce", "remote url", "screenshot_dir=sftp://host/x\n", {});
        // Far too large to be a settings file: not read at all.
        row("xfce", "huge", "screenshot_dir=/big\n" + QByteArray(2 << 20, '#'), {});
        row("gnome", "its own group",
            "[org/gnome/desktop/interface]\nauto-save-directory='/no'\n"
            "[org/gnome/gnome-screenshot]\nauto-save-directory='~/Shots'\n",
            "~/Shots");
        // The default, an empty text, names no folder of its own.
        row("gnome", "default", "[org/gnome/gnome-screenshot]\nauto-save-directory=''\n", {});
        // The keyfile's values are GVariant text: only a lone string names a folder.
        row("gvariant", "single quotes", "'/home/u/x'", "/home/u/x");
        row("gvariant", "double quotes, spaces around", " \"/a b\" ", "/a b");
        row("gvariant", "escaped quote and backslash", R"('it\'s \\ \"x\"')", R"(it's \ "x")");
        row("gvariant", "unicode escapes", R"('\u00e9\U0001F600')", QStringLiteral("\u00e9\U0001F600"));
        row("gvariant", "empty", "''", QStringLiteral(""));
        row("gvariant", "unquoted", "/home/u/x", QString());
        row("gvariant", "unbalanced", "'/x", QString());
        row("gvariant", "two strings", "'a' 'b'", QString());
        row("gvariant", "short unicode escape", R"('\u12')", QString());
        row("gvariant", "escape at the end", R"('\')", QString());
        row("gvariant", "typed", "@ms nothing", QString());
    }

    void toolSaveLocation()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, config);
        QFETCH(QString, expected);
        const QString file = path(tool + QStringLiteral("-config"));
        QFile::remove(file);
        if (!config.isNull() && tool != QLatin1String("gvariant"))
            QVERIFY(TestSupport::writeFile(file, config));
        using L = SystemScreenshotLocation;
        const std::optional<QString> found =
            tool == QLatin1String("kde")               ? L::toolSaveLocation(file)
            : tool == QLatin1String("flameshot")       ? L::flameshotSaveLocation(file)
            : tool == QLatin1String("flameshot names") ? L::flameshotFileNamePattern(file)
            : tool == QLatin1String("xfce")            ? L::xfceSaveLocation(file)
            : tool == QLatin1String("gnome")           ? L::gnomeScreenshotKeyfileLocation(file)
                                                       : L::parseGVariantString(QString::fromUtf8(config));
        QCOMPARE(found, expected.isNull() ? std::nullopt : std::optional(expected));
    }

    void candidatesAndChoice()
    {
        const QString home = path(QStringLiteral("home"));
        const QString pictures = home + QStringLiteral("/Bilder");
        SystemScreenshotLocation::Sources sources;
        sources.home = home;
        sources.picturesFolder = pictures;
        sources.languages = {QStringLiteral("de_AT.UTF-8")};
        sources.gsettingsKeyfile = path(QStringLiteral("gs-keyfile"));
        sources.kdeConfigFiles = {path(QStringLiteral("user-rc")), path(QStringLiteral("system-rc"))};
        sources.flameshotConfig = path(QStringLiteral("flame.ini"));
        sources.xfceConfig = path(QStringLiteral("xfce-rc"));
        QVERIFY(TestSupport::writeFile(sources.gsettingsKeyfile,
                                       "[org/gnome/gnome-screenshot]\nauto-save-directory='~/Gnome'\n"));
        QVERIFY(TestSupport::writeFile(sources.kdeConfigFiles.at(1), "[ImageSave]\nimageSaveLocation=file:///kde-system\n"));
        QVERIFY(TestSupport::writeFile(sources.flameshotConfig, "[General]\nsavePath=" + home.toUtf8() + "/Gnome/\n"));
        QVERIFY(TestSupport::writeFile(sources.xfceConfig, "screenshot_dir=file://" + pictures.toUtf8() + "\n"));

        QHash<QString, qint64> newest;
        const SystemScreenshotLocation location(sources, [&](const QString &folder, const ScreenshotNamePatterns &) {
            return newest.contains(folder) ? std::optional(newest.value(folder)) : std::nullopt;
        });
        using Candidate = SystemScreenshotLocation::Candidate;
        // The same folder named twice is one candidate; the pictures folder itself, which the
        // Xfce tool names here, stays a folder that is suggested only for its screenshots.
        const QList<Candidate> expected{
            {QStringLiteral("~/Gnome"), true, false},
            {QStringLiteral("/kde-system"), true, false},
            {pictures, true, false},
            {pictures + QStringLiteral("/Bildschirmfotos"), false, false},
            {pictures + QStringLiteral("/Screenshots"), false, false},
        };
        QCOMPARE(location.candidates(), expected);

        // None exists: the first folder a tool is set to.
        QCOMPARE(location.location(), std::optional(QStringLiteral("~/Gnome")));
        // Existing ones win over settings alone, in order while none holds a screenshot.
        QVERIFY(QDir().mkpath(pictures + QStringLiteral("/Screenshots")));
        QVERIFY(QDir().mkpath(pictures + QStringLiteral("/Bildschirmfotos")));
        QCOMPARE(location.location(), std::optional(pictures));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Gnome")));
        QCOMPARE(location.location(), std::optional(QStringLiteral("~/Gnome")));
        // Then the newest screenshot decides; on a tie, the earlier candidate.
        newest.insert(pictures + QStringLiteral("/Screenshots"), 100);
        QCOMPARE(location.location(), std::optional(pictures + QStringLiteral("/Screenshots")));
        newest.insert(pictures + QStringLiteral("/Bildschirmfotos"), 100);
        QCOMPARE(location.location(), std::optional(pictures + QStringLiteral("/Bildschirmfotos")));
        newest.insert(home + QStringLiteral("/Gnome"), 99);
        QCOMPARE(location.location(), std::optional(pictures + QStringLiteral("/Bildschirmfotos")));
        newest.insert(pictures, 101);
        QCOMPARE(location.location(), std::optional(pictures));

        // The user's own KDE file overrides the system's.
        QVERIFY(TestSupport::writeFile(sources.kdeConfigFiles.at(0), "[ImageSave]\nimageSaveLocation=file:///kde-user/\n"));
        QCOMPARE(location.candidates().at(1).path, QStringLiteral("/kde-user"));
    }

    // The default's names stay screenshots when the user sets another pattern.
    void flameshotNamesKeepTheDefault()
    {
        SystemScreenshotLocation::Sources sources;
        sources.flameshotConfig = path(QStringLiteral("names-flameshot.ini"));
        QVERIFY(TestSupport::writeFile(sources.flameshotConfig, "[General]\nfilenamePattern=Shot %Y%m%d-%H%M\n"));
        const ScreenshotNamePatterns names(SystemScreenshotLocation(sources, {}).fileNamePatterns());
        QVERIFY(names.matches(u"2026-12-07_17-09.png") && names.matches(u"Shot 20261207-1709.png"));
        QVERIFY(!names.matches(u"Shot 2026.png"));
    }

    void folderNamesFor_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QStringList>("expected");
        const QString de = QStringLiteral("Bildschirmfotos");
        const QString ptBR = QStringLiteral("Capturas de tela");
        const QString pt = QStringLiteral("Capturas de ecr\u00e3");
        QTest::newRow("locale with codeset") << QStringList{"de_DE.UTF-8"} << QStringList{de};
        QTest::newRow("country first") << QStringList{"pt_BR"} << QStringList{ptBR};
        QTest::newRow("language fallback") << QStringList{"pt_AO.UTF-8"} << QStringList{pt};
        QTest::newRow("modifier dropped") << QStringList{"de_AT@euro"} << QStringList{de};
        QTest::newRow("list, duplicates once") << QStringList{"pt_BR", "de", "de_CH", "xx"} << QStringList{ptBR, de};
        QTest::newRow("unknown") << QStringList{"xx_YY", ""} << QStringList{};
    }

    void folderNamesFor()
    {
        QFETCH(QStringList, languages);
        QFETCH(QStringList, expected);
        QCOMPARE(ScreenshotNames::folderNamesFor(languages), expected);
    }

    void userLanguages()
    {
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANGUAGE", "pt_BR:de");
        qputenv("LANG", "ru_RU.UTF-8");
        QCOMPARE(ScreenshotNames::userLanguages(), (QStringList{"pt_BR", "de", "ru_RU.UTF-8"}));
        qputenv("LC_MESSAGES", "fr_FR.UTF-8");
        QCOMPARE(ScreenshotNames::userLanguages(), (QStringList{"pt_BR", "de", "fr_FR.UTF-8"}));
        // The C locale turns translations off, LANGUAGE included.
        qputenv("LC_ALL", "C.UTF-8");
        QCOMPARE(ScreenshotNames::userLanguages(), QStringList());
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qunsetenv("LANG");
        QCOMPARE(ScreenshotNames::userLanguages(), QStringList());
    }

    void compiledInTable()
    {
        // Every language of the table is spelled as a gettext code, every text without the
        // table's own separators, and both kinds are present.
        const auto check = [](const QList<ScreenshotNames::Entry> &entries) {
            static const QRegularExpression code(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?(@[a-z]+)?$"));
            for (const ScreenshotNames::Entry &entry : entries) {
                if (!code.match(entry.language).hasMatch() || entry.text.contains(QLatin1Char('\t'))
                    || entry.text.trimmed() != entry.text)
                    return false;
            }
            return entries.size() > 40;
        };
        QVERIFY(check(ScreenshotNames::filePrefixes()));
        QVERIFY(check(ScreenshotNames::folderNames()));

        QList<ScreenshotNames::Entry> prefixes;
        QList<ScreenshotNames::Entry> folders;
        ScreenshotNames::parse(QStringLiteral("# comment\tprefix\tde\tx\nprefix\tde\tBildschirmfoto vom\r\n"
                                              "folder\tfr\tCaptures d'e\u0301cran\nfolder\tde\t \nother\tde\ty\n"
                                              "prefix\tde\n\nprefix\t\tz\n"),
                               prefixes, folders);
        QCOMPARE(prefixes.size(), 1);
        QCOMPARE(prefixes.at(0).text, QStringLiteral("Bildschirmfoto vom"));
        QCOMPARE(folders.size(), 1);
        QCOMPARE(folders.at(0).text, QStringLiteral("Captures d'\u00e9cran"));
    }
};

QTEST_GUILESS_MAIN(TestScreenshotLocation)
#include "tst_screenshotlocation.moc"
