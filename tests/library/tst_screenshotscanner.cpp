#include "SystemImages.h"
#include "TallCapture.h"
#include "library/ScreenshotNameRules.h"
#include "library/ScreenshotScanner.h"

#include "platform/freedesktop/ScreenshotMarker.h"
#include "platform/freedesktop/ScreenshotNamePatterns.h"
#include "platform/freedesktop/ScreenshotNames.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <sys/xattr.h>

namespace {

// The system's header reader, or one fixed size for every file; records every read.
class CountingImages final : public ImageServices
{
public:
    explicit CountingImages(std::optional<QSize> fixed = std::nullopt) : m_fixed(fixed) {}
    std::optional<QSize> pixelSize(const QString &path) const override
    {
        reads.append(path);
        return m_fixed ? m_fixed : systemImages().pixelSize(path);
    }
    std::optional<QImage> decodeFirstImage(const QString &) const override { return std::nullopt; }
    std::optional<QImage> downscaledImage(const QString &, int) const override { return std::nullopt; }
    mutable QStringList reads;

private:
    std::optional<QSize> m_fixed;
};

QByteArray pngBytes(QSize size = {8, 5})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return ImageServices::encodePng(image).value_or(QByteArray());
}

// A property list holding one value, as binary or XML; takes ownership of the node.
QByteArray plistBytes(plist_t node, bool binary)
{
    char *data = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(node, &data, &length);
    else
        plist_to_xml(node, &data, &length);
    const QByteArray out(data, qsizetype(length));
    binary ? plist_to_bin_free(data) : plist_to_xml_free(data);
    plist_free(node);
    return out;
}

bool setMarker(const QString &path, const QByteArray &value)
{
    return ::setxattr(QFile::encodeName(path).constData(), ScreenshotMarker::attributeName,
                      value.constData(), std::size_t(value.size()), 0) == 0;
}

QStringList names(const QList<Screenshot> &screenshots)
{
    QStringList out;
    for (const Screenshot &s : screenshots)
        out.append(QFileInfo(s.id()).fileName());
    return out;
}

ScreenshotScanner::Result scan(const QString &folder, const ImageServices &images, bool all = false,
                               int limit = 500, const QList<Screenshot> &previous = {},
                               const QSet<QString> &preserved = {})
{
    return ScreenshotScanner::scan(folder, all, limit, previous, preserved, images);
}

} // namespace

class TestScreenshotScanner final : public QObject
{
    Q_OBJECT

private slots:
    void hasScreenshotName_data()
    {
        QTest::addColumn<QStringList>("pattern"); // the user's Flameshot file name pattern, if any
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");
        const auto tool = [](const char *label, const char *name, bool expected = true, const char *pattern = nullptr) {
            QTest::newRow(label) << (pattern ? QStringList(QString::fromUtf8(pattern)) : QStringList()) << QString::fromUtf8(name)
                                 << expected;
        };
        tool("English", "Screenshot 2024-05-01 at 10.00.00.png");
        tool("any letter case", "SCREENSHOT.PNG");
        tool("German", "Bildschirmfoto 2024.png");
        tool("French, typographic apostrophe", "Capture d\u2019\u00e9cran 2024.png");
        tool("French, decomposed e acute", "Capture d'e\u0301cran.png");
        tool("French, capital E acute", "CAPTURE D'\u00c9CRAN.png");
        tool("Japanese", "\u30b9\u30af\u30ea\u30fc\u30f3\u30b7\u30e7\u30c3\u30c8 1.png");
        tool("Arabic", "\u0644\u0642\u0637\u0629 \u0634\u0627\u0634\u0629.png");
        tool("other name", "IMG_0001.png", false);
        tool("word not at the start", "My screenshot.png", false);
        tool("French without accent", "Capture d'ecran.png", false);

        // What the Linux screenshot tools write, in their translations.
        tool("Russian, GNOME", "Снимок экрана от 2026-12-07 11-00-00.png");
        tool("Ukrainian", "Знімок екрана з 2026-12-07 11-00-00.png");
        tool("Polish", "Zrzut ekranu z 2026-12-07 11-00-00.png");
        tool("Czech", "Snímek obrazovky z 2026-12-07 11-00-00.png");
        tool("Czech, decomposed", "Sni\xcc\x81mek obrazovky z 2026-12-07.png");
        tool("Swedish", "Skärmbild från 2026-12-07 11-00-00.png");
        tool("Danish", "Skærmbillede fra 2026-12-07 11-00-00.png");
        tool("Finnish", "Kuvakaappaus - 2026-12-07 11-00-00.png");
        tool("Hungarian", "Képernyőkép ekkor: 2026-12-07 11-00-00.png");
        tool("Greek", "Στιγμιότυπο οθόνης από 2026-12-07 11-00-00.png");
        tool("Turkish, upper-case G", "Ekran Görüntüsü - 2026-12-07 11-00-00.png");
        tool("Korean", "스크린샷, 2026-12-07 11-00-00.png");
        tool("Hebrew", "צילום מסך מ־2026-12-07 11-00-00.png");
        tool("Spanish, GNOME Shell", "Captura desde 2026-12-07 11-00-00.png");
        tool("Romanian", "Captură de ecran din 2026-12-07 11-00-00.png");
        tool("Vietnamese, capital letter", "Ảnh chụp màn hình từ 2026-12-07.png");
        tool("Chinese, GNOME Shell", "截图 2026-12-07 11-00-00.png");
        tool("Xfce, Norwegian", "Skjermbilde_2026-12-07_11-00-00.png");
        tool("Esperanto, ASCII", "Ekrankopio de 2026-12-07 11-00-00.png");
        // Near misses: shorter than the tools' text, or translations too generic to trust.
        tool("Russian, word cut short", "Снимок 2026.png", false);
        tool("Polish, without its preposition", "Zrzut ekranu.png", false);
        tool("Finnish, letter missing", "Kuvakaappau.png", false);
        tool("Chinese, one character", "截 2026.png", false);
        tool("Bulgarian, \"picture from\"", "Снимка от 2026.png", false);
        tool("Catalan, \"capture of\"", "Captura de cámara.jpg", false);
        tool("Bosnian, \"image from\"", "Slika iz 2026.png", false);
        tool("Italian, \"snapshot\"", "Istantanea 2026.png", false);
        tool("text after a space", " Skjermbilde.png", false);

        // Translations that put the date first: the date must be the tool's own.
        tool("Punjabi, GNOME Shell", "2026-12-07 11-00-00 ਤੋਂ ਸਕਰੀਨਸ਼ਾਟ.png");
        tool("Punjabi, counter out of place", "2026-12-07 11-00-00-2 ਤੋਂ ਸਕਰੀਨਸ਼ਾਟ.png", false);
        tool("Punjabi, GNOME Shell, name taken", "2026-12-07 11-00-00 ਤੋਂ ਸਕਰੀਨਸ਼ਾਟ-2.png");
        tool("Chinese, gnome-screenshot, name taken", "2026-12-07 11-00-00-3屏幕截图.png");
        tool("Chinese, traditional, JPEG", "2026-12-07 11-00-00 的螢幕擷圖 - 12.jpg");
        tool("Basque, the date alone", "2026-12-07 11-00-00.png");
        tool("Basque, name taken", "2026-12-07 11-00-00-1.png");
        tool("any text for the date", "Holiday ਤੋਂ ਸਕਰੀਨਸ਼ਾਟ.png", false);
        tool("date without time", "2026-12-07 ਤੋਂ ਸਕਰੀਨਸ਼ਾਟ.png", false);
        tool("no such month", "2026-13-07 11-00-00.png", false);
        tool("text after the date", "2026-12-07 11-00-00 edited.png", false);
        tool("counter 0", "2026-12-07 11-00-00 的螢幕擷圖 - 0.png", false);
        // Flameshot's names count only as the user's tool's.
        tool("Flameshot's default name", "2026-12-07_17-09.png", false);
        // The user's own Flameshot pattern, filled in as Flameshot fills it.
        tool("default", "2026-12-07_17-09.png", true, "");
        tool("default, name taken", "2026-12-07_17-09_1.png", true, "");
        tool("default, tenth clash, JPEG", "2026-12-07_17-09_12.JPG", true, "");
        tool("default, counter 0", "2026-12-07_17-09_0.png", false, "");
        tool("default, minute of one digit", "2026-12-07_17-9.png", false, "");
        tool("default, hour 25", "2026-12-07_25-09.png", false, "");
        tool("default, text after", "2026-12-07_17-09 copy.png", false, "");
        tool("default, text before", "IMG_2026-12-07_17-09.png", false, "");
        tool("colons and slashes as Flameshot writes them", "17-09-30 on 12⁄07⁄26.png", true, "%T on %D");
        tool("literal text in any letter case", "SHOT-20261207-170930.png", true, "shot-%Y%m%d-%H%M%S");
        tool("other literal text", "snap-20261207-170930.png", false, "shot-%Y%m%d-%H%M%S");
        tool("month name", "07 déc. 2026.png", true, "%d %b %Y");
        tool("month name is letters", "07 12 2026.png", false, "%d %b %Y");
        tool("space-padded day", " 7-12.png", true, "%e-%m");
        tool("unknown conversions stay as written", "100%% %q 2026.png", true, "100%% %q %Y");
        tool("locale date and time", "Mon Dec  7 17-09-30 2026.png", true, "%c");
        tool("locale date needs a digit", "Holiday.png", false, "%c");
    }

    // Every entry of the table as its tool writes it, fast path and full comparison alike: each
    // prefix before a date, each date-first template filled in as its tool fills it (and not
    // with other text where the date goes).
    void everyTableEntryIsAccepted()
    {
        QTemporaryDir dir;
        QSet<QString> written;
        for (const ScreenshotNames::Entry &entry : ScreenshotNames::filePrefixes())
            written.insert(entry.text + QStringLiteral(" 2026-12-07 11-00-00.png"));
        const qsizetype prefixes = written.size();
        for (const ScreenshotNames::Template &entry : ScreenshotNames::templates()) {
            const auto fill = [&](const QString &date) {
                QString name = entry.text;
                name.replace(name.indexOf(QLatin1String("%s")), 2, date);
                name.replace(QLatin1String("%d"), QLatin1String("2"));
                return entry.tool == QLatin1String("gnome-shell") ? name + QStringLiteral(".png")
                                                                   : name.replace(QLatin1String("%s"), QLatin1String("png"));
            };
            written.insert(fill(QStringLiteral("2026-12-07 11-00-00")));
            QVERIFY2(!ScreenshotNameRules::hasScreenshotName(fill(QStringLiteral("2026-12-07 notes"))), qPrintable(entry.text));
        }
        QVERIFY(prefixes > 100 && written.size() > prefixes + 10);
        for (const QString &name : written) {
            QVERIFY2(ScreenshotNameRules::hasScreenshotName(name), qPrintable(name));
            QVERIFY(TestSupport::writeFile(dir.filePath(name), "x"));
        }
        QCOMPARE(scan(dir.path(), CountingImages(QSize(4, 4))).screenshots.size(), written.size());
    }

    void newestScreenshotByNameOrMarker()
    {
        QTemporaryDir dir;
        const QDateTime moment(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
        const auto file = [&](const QString &name, int minutesAgo) {
            const QString path = dir.filePath(name);
            return TestSupport::writeFile(path, "not an image")
                && TestSupport::setModificationTime(path, moment.addSecs(-60 * minutesAgo)) ? path : QString();
        };
        QCOMPARE(ScreenshotScanner::newestScreenshotMs(dir.filePath(QStringLiteral("missing")), {}), std::nullopt);
        QVERIFY(!file(QStringLiteral("Screenshot notes.txt"), 0).isEmpty());
        QVERIFY(!file(QStringLiteral(".Screenshot hidden.png"), 0).isEmpty());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Screenshot folder.png")));
        QCOMPARE(ScreenshotScanner::newestScreenshotMs(dir.path(), {}), std::nullopt);
        QVERIFY(!file(QStringLiteral("Снимок экрана от 2026.png"), 30).isEmpty());
        QVERIFY(!file(QStringLiteral("Screenshot older.png"), 40).isEmpty());
        QCOMPARE(ScreenshotScanner::newestScreenshotMs(dir.path(), {}), moment.addSecs(-30 * 60).toMSecsSinceEpoch());
        // A file named otherwise counts through the capture marker.
        const QString marked = file(QStringLiteral("capture.png"), 10);
        QVERIFY(setMarker(marked, plistBytes(plist_new_bool(1), true)));
        QCOMPARE(ScreenshotScanner::newestScreenshotMs(dir.path(), {}), moment.addSecs(-10 * 60).toMSecsSinceEpoch());
    }
    void hasScreenshotName()
    {
        QFETCH(QStringList, pattern);
        QFETCH(QString, name);
        QFETCH(bool, expected);
        const ScreenshotNamePatterns patterns =
            pattern.isEmpty() ? ScreenshotNamePatterns() : ScreenshotNamePatterns({ScreenshotNamePattern::flameshot(pattern.first())});
        QCOMPARE(ScreenshotNameRules::hasScreenshotName(name, patterns), expected);
        // The scan's own fast path must agree, and the newest-screenshot listing too.
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath(name), pngBytes()));
        QCOMPARE(ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, CountingImages(), patterns).screenshots.size(),
                 expected ? 1 : 0);
        QCOMPARE(ScreenshotScanner::newestScreenshotMs(dir.path(), patterns).has_value(), expected);
    }

    void hasScreenshotMetadata_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        const QByteArray xmlTrue = plistBytes(plist_new_bool(1), false);
        auto padded = [&](qsizetype size) { return xmlTrue + QByteArray(size - xmlTrue.size(), ' '); };
        QTest::newRow("absent") << false << QByteArray() << false;
        QTest::newRow("binary true") << true << plistBytes(plist_new_bool(1), true) << true;
        QTest::newRow("XML true") << true << xmlTrue << true;
        QTest::newRow("text TRUE") << true << plistBytes(plist_new_string("TRUE"), false) << true;
        QTest::newRow("text yes") << true << plistBytes(plist_new_string("yes"), false) << false;
        QTest::newRow("number 1") << true << plistBytes(plist_new_uint(1), true) << true;
        QTest::newRow("number 2") << true << plistBytes(plist_new_uint(2), true) << false;
        QTest::newRow("truncated binary") << true << plistBytes(plist_new_bool(1), true).chopped(3) << false;
        QTest::newRow("0 bytes") << true << QByteArray() << false;
        QTest::newRow("4095 bytes") << true << padded(4095) << true;
        QTest::newRow("4096 bytes") << true << padded(4096) << false;
    }
    void hasScreenshotMetadata()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        // ext4 keeps at most about 4000 bytes per attribute; tmpfs takes the boundary sizes.
        const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        QTemporaryDir dir(base + QStringLiteral("/brimfold-marker-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("IMG_0001.png");
        QVERIFY(TestSupport::writeFile(path, pngBytes()));
        if (present && !setMarker(path, value)) {
            if (errno == ENOSPC || errno == E2BIG || errno == ENOTSUP)
                QSKIP("this file system refuses the attribute value");
            QFAIL("setxattr failed");
        }
        QCOMPARE(ScreenshotScanner::hasScreenshotMetadata(path), expected);
        // A marked file with an ordinary name is listed exactly when the marker says so.
        QCOMPARE(scan(dir.path(), CountingImages()).screenshots.size(), expected ? 1 : 0);
    }

    void scanKeepsOnlyScreenshotFiles_data()
    {
        QTest::addColumn<bool>("includeAllImages");
        QTest::addColumn<QStringList>("expected");
        const QStringList screenshots = {"Marked.png", "Screenshot 1.png", "Screenshot 2.jpg",
                                         "screenshot 3.PNG", "Screenshot 4.TIFF"};
        QTest::newRow("screenshots only") << false << screenshots;
        QTest::newRow("all images") << true << (QStringList(screenshots) << "Holiday.png");
    }
    void scanKeepsOnlyScreenshotFiles()
    {
        QFETCH(bool, includeAllImages);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QImage image(16, 9, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (const char *name : {"Screenshot 1.png", "screenshot 3.PNG", "Holiday.png", "Marked.png",
                                 "sub/Screenshot 5.png", ".Screenshot hidden.png"})
            QVERIFY(TestSupport::writeFile(d.filePath(name), pngBytes()));
        QVERIFY(TestSupport::writeImage(d.filePath("Screenshot 2.jpg"), image, "jpg"));
        QVERIFY(TestSupport::writeImage(d.filePath("Screenshot 4.TIFF"), image, "tiff"));
        QVERIFY(setMarker(d.filePath("Marked.png"), plistBytes(plist_new_bool(1), true)));
        // Never listed, whatever the options.
        QVERIFY(TestSupport::writeImage(d.filePath("Screenshot anim.gif"), image, "gif")
                || TestSupport::writeFile(d.filePath("Screenshot anim.gif"), "GIF89a"));
        QVERIFY(QFile::link(d.filePath("Screenshot 1.png"), d.filePath("Screenshot link.png")));
        QVERIFY(QFile::link(d.filePath("Marked.png"), d.filePath("IMG link.png")));
        QVERIFY(d.mkpath("Screenshot folder.png"));
        QVERIFY(TestSupport::writeFile(d.filePath("Screenshot empty.png"), QByteArray()));
        QVERIFY(TestSupport::writeFile(d.filePath("Screenshot broken.png"), "not an image at all"));
        QVERIFY(TestSupport::writeFile(d.filePath("Screenshot notes.txt"), "text"));
        // The marker is not read through a link.
        QVERIFY(!ScreenshotScanner::hasScreenshotMetadata(d.filePath("IMG link.png")));

        CountingImages images;
        const auto result = scan(dir.path(), images, includeAllImages);
        QVERIFY(result.ok());
        QStringList listed = names(result.screenshots);
        listed.sort();
        expected.sort();
        QCOMPARE(listed, expected);
        // The undecodable file was tried and dropped without failing the scan.
        QVERIFY(images.reads.contains(d.filePath("Screenshot broken.png")));
    }

    void limitKeepsNewestPlusPreserved()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        const QByteArray png = pngBytes();
        // Created from the highest number down, so the newest have the lowest numbers; files
        // created within one clock tick tie and fall back to name order, which agrees.
        auto name = [](int n) { return QStringLiteral("Screenshot %1.png").arg(n, 3, 10, QLatin1Char('0')); };
        for (int n = 599; n >= 0; --n)
            QVERIFY(TestSupport::writeFile(d.filePath(name(n)), png));
        QStringList newest;
        for (int n = 0; n < 500; ++n)
            newest.append(name(n));

        // Preserved paths are matched in their canonical form; unknown ones change nothing.
        QVERIFY(QFile::link(dir.path(), d.filePath(".alias")));
        const QSet<QString> preserved = {d.filePath(".alias/" + name(550)), d.filePath("./" + name(10)),
                                         d.filePath("Screenshot gone.png")};
        CountingImages images;
        QCOMPARE(names(scan(dir.path(), images, false, 500, {}, preserved).screenshots), QStringList(newest) << name(550));
        QCOMPARE(images.reads.size(), 501); // files beyond the limit cost no header reads
        QCOMPARE(names(scan(dir.path(), images).screenshots), newest);
        // A negative limit counts as 0: only the preserved files remain, in sorted order.
        QCOMPARE(names(scan(dir.path(), images, false, -3, {}, preserved).screenshots),
                 QStringList({name(10), name(550)}));
    }

    void copiesKeepTheirDates()
    {
        // A copied folder, as cp -p, rsync -a, tar and file managers leave it: every file born
        // now, each keeping the original's older modification time.
        QTemporaryDir dir;
        const QDir d(dir.path());
        const QDateTime taken(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
        const QList<std::pair<QString, int>> copies = {
            {QStringLiteral("Screenshot a.png"), -3}, {QStringLiteral("Screenshot b.png"), -1},
            {QStringLiteral("Screenshot c.png"), -2}};
        for (const auto &[name, days] : copies) {
            QVERIFY(TestSupport::writeFile(d.filePath(name), pngBytes()));
            QVERIFY(TestSupport::setModificationTime(d.filePath(name), taken.addDays(days)));
        }
        // Edited after it was made: its birth is the earlier date.
        const QString edited = d.filePath(QStringLiteral("Screenshot d.png"));
        QVERIFY(TestSupport::writeFile(edited, pngBytes()));
        const QDateTime later = QDateTime::currentDateTimeUtc().addDays(1);
        QVERIFY(TestSupport::setModificationTime(edited, later));
        const QDateTime born = QFileInfo(edited).birthTime();

        CountingImages images;
        const auto result = scan(dir.path(), images);
        QCOMPARE(names(result.screenshots),
                 QStringList({"Screenshot d.png", "Screenshot b.png", "Screenshot c.png", "Screenshot a.png"}));
        for (const Screenshot &s : result.screenshots) {
            if (s.id() == QFileInfo(edited).canonicalFilePath())
                QCOMPARE(s.createdAt().toMSecsSinceEpoch(), (born.isValid() ? born : later).toMSecsSinceEpoch());
            else
                QCOMPARE(s.createdAt(), s.modifiedAt());
        }
        // The newest by that date are kept.
        QCOMPARE(names(scan(dir.path(), images, false, 2).screenshots),
                 QStringList({"Screenshot d.png", "Screenshot b.png"}));

        // A record made when only the birth time counted takes the file's date at the next
        // scan, without reading its image again; its cache key stays.
        QList<Screenshot> stored;
        for (const Screenshot &s : result.screenshots)
            stored.append(Screenshot::withResolvedPath(s.id(), QDateTime::currentDateTimeUtc(), s.modifiedAt(),
                                                       s.bytes(), 99, 77));
        images.reads.clear();
        const auto again = scan(dir.path(), images, false, 500, stored);
        QVERIFY(images.reads.isEmpty());
        QCOMPARE(names(again.screenshots), names(result.screenshots));
        for (qsizetype i = 0; i < again.screenshots.size(); ++i) {
            QCOMPARE(again.screenshots.at(i).createdAt(), result.screenshots.at(i).createdAt());
            QCOMPARE(again.screenshots.at(i).width(), 99);
            QCOMPARE(again.screenshots.at(i).cacheKey(), result.screenshots.at(i).cacheKey());
        }
    }

    void equalDatesSortByComposedName()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        // Hard links share one inode, so every name has exactly the same dates.
        const QString first = d.filePath("Screenshot b.png");
        QVERIFY(TestSupport::writeFile(first, pngBytes()));
        const QStringList others = {
            QStringLiteral("Screenshot \U0001F600.png"), // beyond the BMP: surrogates in UTF-16
            QStringLiteral("Screenshot \uFF21.png"),     // fullwidth A, above the surrogate range
            QStringLiteral("Screenshot e\u0301.png"),    // composes to U+00E9
            QStringLiteral("Screenshot f.png"), QStringLiteral("Screenshot a.png"), QStringLiteral("Screenshot A.png"),
        };
        for (const QString &other : others)
            QCOMPARE(::link(QFile::encodeName(first).constData(), QFile::encodeName(d.filePath(other)).constData()), 0);

        const QStringList expected = {
            "Screenshot A.png", "Screenshot a.png", "Screenshot b.png", "Screenshot f.png",
            QStringLiteral("Screenshot e\u0301.png"), QStringLiteral("Screenshot \uFF21.png"),
            QStringLiteral("Screenshot \U0001F600.png")};
        QCOMPARE(names(scan(dir.path(), CountingImages()).screenshots), expected);
    }

    void rescanReadsOnlyChangedFiles()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(d.mkpath("real"));
        QVERIFY(QFile::link(d.filePath("real"), d.filePath("alias")));
        const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(1700000000789, Qt::UTC);
        for (const char *name : {"real/Screenshot a.png", "real/Screenshot b.png", "real/Screenshot c.png"}) {
            QVERIFY(TestSupport::writeFile(d.filePath(name), pngBytes()));
            QVERIFY(TestSupport::setModificationTime(d.filePath(name), stamp));
        }
        const QString a = QFileInfo(d.filePath("real/Screenshot a.png")).canonicalFilePath();
        const QString b = QFileInfo(d.filePath("real/Screenshot b.png")).canonicalFilePath();

        // Scanned through a link, recorded under the resolved paths.
        CountingImages images;
        const auto first = scan(d.filePath("alias"), images);
        QVERIFY(first.ok());
        QCOMPARE(images.reads.size(), 3);
        QVERIFY(std::any_of(first.screenshots.cbegin(), first.screenshots.cend(), [&](const Screenshot &s) {
            return s.id() == a && s.modifiedAt() == stamp && s.width() == 8;
        }));

        images.reads.clear();
        QCOMPARE(scan(d.filePath("alias"), images, false, 500, first.screenshots).screenshots, first.screenshots);
        QVERIFY(images.reads.isEmpty());

        // a: touched. b: edited to another size, its date put back.
        QVERIFY(TestSupport::setModificationTime(a, stamp.addMSecs(1)));
        QVERIFY(TestSupport::writeFile(b, pngBytes({20, 10})));
        QVERIFY(TestSupport::setModificationTime(b, stamp));
        const auto changed = scan(d.filePath("alias"), images, false, 500, first.screenshots);
        images.reads.sort();
        QCOMPARE(images.reads, QStringList({a, b}));
        QCOMPARE(changed.screenshots.size(), 3);
        for (const Screenshot &s : changed.screenshots) {
            if (s.id() == b)
                QCOMPARE(s.width(), 20);
            else if (s.id() != a)
                QVERIFY(first.screenshots.contains(s));
        }
    }

    void unlistableFolderIsAnError_data()
    {
        QTest::addColumn<QString>("relativeFolder");
        QTest::addColumn<int>("code");
        QTest::newRow("missing") << "missing" << ENOENT;
        QTest::newRow("a file") << "Screenshot 1.png" << ENOTDIR;
        QTest::newRow("empty path") << "" << ENOENT;
    }
    void unlistableFolderIsAnError()
    {
        QFETCH(QString, relativeFolder);
        QFETCH(int, code);
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath("Screenshot 1.png"), pngBytes()));
        CountingImages images;
        const auto result = scan(relativeFolder.isEmpty() ? QString() : dir.filePath(relativeFolder), images, true);
        QVERIFY(!result.ok());
        QCOMPARE(result.error->code, code);
        QVERIFY(!result.error->message.isEmpty());
        QVERIFY(result.screenshots.isEmpty());
        QVERIFY(images.reads.isEmpty());
    }

    void filesAreListedWhenTheirImageIsWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("claimed");       // the size every header claims; invalid: the real reader's
        QTest::addColumn<QString>("dimensions"); // empty: not listed
        // Stripes, so that the image data spreads over the file.
        QImage image(240, 120, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (x / 3 + y / 5) % 2 ? qRgb(250, 250, 245) : qRgb(30, 60, 200));
        }
        const QByteArray png = TestSupport::encodeImage(image, "png");
        const QByteArray jpeg = TestSupport::encodeImage(image, "jpeg");
        const QString whole = QStringLiteral("240 \u00D7 120");
        QTest::newRow("png with data after its end") << "Screenshot a.png" << png + QByteArray(100 * 1024, 'z') << QSize() << whole;
        QTest::newRow("jpeg without its end marker") << "Screenshot b.jpg" << jpeg.chopped(2) << QSize() << whole;
        // Still being written: not ready yet.
        QTest::newRow("png cut short") << "Screenshot c.png" << png.left(png.size() / 2) << QSize() << QString();
        QTest::newRow("jpeg cut short") << "Screenshot d.jpg" << jpeg.left(jpeg.size() / 2) << QSize() << QString();
        // A scrolling capture holds far more pixels than a full decode may allocate; it is listed
        // like any other screenshot, and so is whatever size a header claims.
        QTest::newRow("scrolling capture") << "Screenshot long.png" << tallCapturePng() << QSize()
                                           << QStringLiteral("2560 \u00D7 40000");
        QTest::newRow("huge claimed size") << "Screenshot long.png" << tallCapturePng() << QSize(20000, 20000)
                                           << QStringLiteral("20000 \u00D7 20000");
    }
    void filesAreListedWhenTheirImageIsWhole()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, claimed);
        QFETCH(QString, dimensions);
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath(name), bytes));
        const auto result = scan(dir.path(), CountingImages(claimed.isValid() ? std::optional(claimed) : std::nullopt));
        QVERIFY(result.ok());
        QCOMPARE(names(result.screenshots), dimensions.isEmpty() ? QStringList() : QStringList(name));
        if (!dimensions.isEmpty())
            QCOMPARE(result.screenshots.first().dimensions(), dimensions);
    }
};

QTEST_GUILESS_MAIN(TestScreenshotScanner)
#include "tst_screenshotscanner.moc"
