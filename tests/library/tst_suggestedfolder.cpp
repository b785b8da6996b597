#include "library/ScreenshotScanner.h"
#include "platform/freedesktop/SystemScreenshotLocation.h"

#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The suggested folder on each common desktop, set up in a private home as its tools leave it,
// and judged by the scanner's own rule for what counts as a screenshot.
class TestSuggestedFolder final : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_home;

    QString home(const QString &relative = {}) const
    {
        return relative.isEmpty() ? m_home->path() : m_home->filePath(relative);
    }

    // Writes a file in the home, making its folders.
    bool write(const QString &relative, const QByteArray &bytes) const
    {
        return TestSupport::writeFile(home(relative), bytes);
    }

    // The user's folders and languages: XDG_PICTURES_DIR relative to $HOME, gettext's variables.
    void setUser(const QString &picturesRelative, const QByteArray &language, const QByteArray &lang)
    {
        QVERIFY(write(QStringLiteral(".config/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/" + picturesRelative.toUtf8() + "\"\n"));
        QVERIFY(QDir().mkpath(home(picturesRelative)));
        qputenv("LANGUAGE", language);
        qputenv("LANG", lang);
    }

    // An image file with the given name, last modified `minutesAgo` before a fixed moment.
    void shot(const QString &relative, int minutesAgo)
    {
        const QString path = home(relative);
        QVERIFY(TestSupport::writeFile(path, QByteArray("\x89PNG not decoded here")));
        const QDateTime moment(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        QVERIFY(TestSupport::setModificationTime(path, moment.addSecs(-60 * minutesAgo)));
    }

    static std::optional<QString> suggested()
    {
        return SystemScreenshotLocation(&ScreenshotScanner::newestScreenshotMs).location();
    }

private slots:
    void init()
    {
        m_home.emplace();
        QVERIFY(m_home->isValid());
        qputenv("HOME", home().toUtf8());
        qputenv("XDG_CONFIG_HOME", home(QStringLiteral(".config")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", home(QStringLiteral("etc-xdg")).toUtf8());
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        QVERIFY(QDir().mkpath(home(QStringLiteral(".config"))));
    }

    void nothingSetUp()
    {
        setUser(QStringLiteral("Pictures"), "", "en_US.UTF-8");
        QCOMPARE(suggested(), std::nullopt);
        // Screenshots saved straight into the pictures folder, as tools do by default.
        shot(QStringLiteral("Pictures/IMG_0001.jpg"), 1);
        QCOMPARE(suggested(), std::nullopt);
        shot(QStringLiteral("Pictures/Screenshot from 2026-12-07 11-00-00.png"), 60);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Pictures"))));
    }

    void gnomeGerman()
    {
        setUser(QStringLiteral("Bilder"), "de_DE:de", "de_DE.UTF-8");
        QVERIFY(QDir().mkpath(home(QStringLiteral("Bilder/Bildschirmfotos"))));
        // An empty localized folder is already the suggestion: GNOME Shell saves there.
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Bilder/Bildschirmfotos"))));

        shot(QStringLiteral("Bilder/Screenshots/Screenshot from 2026-11-01 09-00-00.png"), 50000);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Bilder/Screenshots"))));
        shot(QStringLiteral("Bilder/Bildschirmfotos/Bildschirmfoto vom 2026-12-07 11-58-00.png"), 2);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Bilder/Bildschirmfotos"))));
        // Newer photos elsewhere do not count; a newer screenshot does.
        shot(QStringLiteral("Bilder/Screenshots/IMG_2001.jpg"), 0);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Bilder/Bildschirmfotos"))));
        shot(QStringLiteral("Bilder/Screenshots/Screenshot from 2026-12-07 11-59-00.png"), 1);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Bilder/Screenshots"))));
    }

    void gnomeRussian()
    {
        const QString pictures = QStringLiteral("\u0418\u0437\u043e\u0431\u0440\u0430\u0436\u0435\u043d\u0438\u044f");
        const QString folder = pictures + QStringLiteral("/\u0421\u043d\u0438\u043c\u043a\u0438 \u044d\u043a\u0440\u0430\u043d\u0430");
        setUser(pictures, "", "ru_RU.UTF-8");
        // The pictures folder's own newer photos do not make it the screenshot folder.
        shot(pictures + QStringLiteral("/DSC_0042.jpg"), 0);
        shot(folder + QStringLiteral("/\u0421\u043d\u0438\u043c\u043e\u043a \u044d\u043a\u0440\u0430\u043d\u0430 "
                                     "\u043e\u0442 2026-12-07 11-30-00.png"), 30);
        QCOMPARE(suggested(), std::optional(home(folder)));
    }

    void kde()
    {
        setUser(QStringLiteral("Pictures"), "", "en_GB.UTF-8");
        QVERIFY(QDir().mkpath(home(QStringLiteral("Pictures/Screenshots"))));
        QVERIFY(write(QStringLiteral(".config/spectaclerc"),
                      "[ImageSave]\nimageSaveLocation=file://" + home().toUtf8() + "/Pictures/KDE%20Shots/\n"));
        // Until the tool's folder exists, the existing one is suggested.
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Pictures/Screenshots"))));
        shot(QStringLiteral("Pictures/KDE Shots/Screenshot_20261207_115000.png"), 10);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Pictures/KDE Shots"))));
    }

    void flameshot()
    {
        setUser(QStringLiteral("Pictures"), "", "fr_FR.UTF-8");
        const QString folder = home(QStringLiteral("Captures d\u2019\u00e9cran, Flameshot"));
        {
            QSettings settings(home(QStringLiteral(".config/flameshot/flameshot.ini")), QSettings::IniFormat);
            settings.setValue(QStringLiteral("savePath"), folder);
            settings.setValue(QStringLiteral("savePathFixed"), false);
            settings.setValue(QStringLiteral("filenamePattern"), QStringLiteral("capture %Y%m%d-%H%M%S"));
        }
        // A tool creates its folder on its first save: its setting is suggested meanwhile.
        QCOMPARE(suggested(), std::optional(folder));
        shot(QStringLiteral("Pictures/Screenshots/Screenshot from 2026-12-01 10-00-00.png"), 9000);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Pictures/Screenshots"))));
        // Its files are named as it is set to, which makes them its screenshots.
        shot(QStringLiteral("Captures d\u2019\u00e9cran, Flameshot/capture 20261207-114000.png"), 20);
        QCOMPARE(suggested(), std::optional(folder));
    }

    void gnomeScreenshot_data()
    {
        QTest::addColumn<bool>("dconf");
        QTest::newRow("dconf database") << true;
        QTest::newRow("keyfile backend") << false;
    }

    void gnomeScreenshot()
    {
        QFETCH(bool, dconf);
        setUser(QStringLiteral("Pictures"), "", "it_IT.UTF-8");
        shot(QStringLiteral("Pictures/Schermate/Schermata del 2026-12-06 10-00-00.png"), 1560);
        const QByteArray setting = "[org/gnome/gnome-screenshot]\nauto-save-directory='file://"
            + home().toUtf8() + "/Schermate\\'gnome\\''\n";
        if (dconf) {
            const QString program = QStandardPaths::findExecutable(QStringLiteral("dconf"));
            if (program.isEmpty())
                QSKIP("dconf is not installed (scripts/install-deps --tests installs it)");
            // The database file as dconf writes it, made by dconf itself from a keyfile.
            QVERIFY(write(QStringLiteral("keyfiles/00-shots"), setting));
            QVERIFY(QDir().mkpath(home(QStringLiteral(".config/dconf"))));
            QCOMPARE(QProcess::execute(program, {QStringLiteral("compile"), home(QStringLiteral(".config/dconf/user")),
                                                 home(QStringLiteral("keyfiles"))}),
                     0);
        } else {
            QVERIFY(write(QStringLiteral(".config/glib-2.0/settings/keyfile"), setting));
        }
        // Set, but not created yet: the existing localized folder holds the only screenshot.
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Pictures/Schermate"))));
        shot(QStringLiteral("Schermate'gnome'/Schermata del 2026-12-07 11-00-00.png"), 60);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Schermate'gnome'"))));
    }

    void xfce()
    {
        setUser(QStringLiteral("Pictures"), "", "es_ES.UTF-8");
        QVERIFY(write(QStringLiteral(".config/xfce4/xfce4-screenshooter"),
                      "delay=0\nregion=1\nscreenshot_dir=file://" + home().toUtf8()
                          + "/Capturas%20Xfce\ntitle=Captura de pantalla\ntimestamp=true\n"));
        shot(QStringLiteral("Pictures/Screenshots/Screenshot from 2026-12-01 10-00-00.png"), 9000);
        shot(QStringLiteral("Capturas Xfce/Captura de pantalla_2026-12-07_11-55-00.png"), 5);
        QCOMPARE(suggested(), std::optional(home(QStringLiteral("Capturas Xfce"))));
    }
};

QTEST_GUILESS_MAIN(TestSuggestedFolder)
#include "tst_suggestedfolder.moc"
