#include "library/ScreenshotScanner.h"

#include "platform/ScreenshotMarker.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <plist/plist.h>

#include <cerrno>
#include <memory>
#include <unistd.h>
#include <sys/xattr.h>

namespace {

// Forwards to the system's decoders and records every header read.
class CountingImages final : public ImageServices
{
public:
    std::optional<QSize> pixelSize(const QString &path) const override
    {
        m_reads.append(path);
        return ImageServices::system().pixelSize(path);
    }
    std::optional<QImage> decodeFirstImage(const QString &path) const override
    {
        return ImageServices::system().decodeFirstImage(path);
    }
    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override
    {
        return ImageServices::system().downscaledImage(path, maxPixelSize);
    }
    QStringList reads() const { return m_reads; }
    void reset() { m_reads.clear(); }

private:
    mutable QStringList m_reads;
};

QByteArray pngBytes(QSize size = {8, 5})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const std::optional<QByteArray> bytes = ImageServices::encodePng(image);
    return bytes.value_or(QByteArray());
}

// A property list holding one value, as binary or XML; takes ownership of the node.
QByteArray plistBytes(plist_t node, bool binary)
{
    char *data = nullptr;
    uint32_t length = 0;
    QByteArray out;
    if (binary) {
        plist_to_bin(node, &data, &length);
        out = QByteArray(data, qsizetype(length));
        plist_to_bin_free(data);
    } else {
        plist_to_xml(node, &data, &length);
        out = QByteArray(data, qsizetype(length));
        plist_to_xml_free(data);
    }
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

} // namespace

// Reports one fixed pixel size for every file, as a header would.
class FixedSizeImages final : public ImageServices
{
public:
    explicit FixedSizeImages(QSize size) : m_size(size) {}
    std::optional<QSize> pixelSize(const QString &) const override { return m_size; }
    std::optional<QImage> decodeFirstImage(const QString &) const override { return std::nullopt; }
    std::optional<QImage> downscaledImage(const QString &, int) const override { return std::nullopt; }

private:
    QSize m_size;
};

class TestScreenshotScanner final : public QObject
{
    Q_OBJECT

private slots:
    void hasScreenshotName_data();
    void hasScreenshotName();
    void hasScreenshotMetadata_data();
    void hasScreenshotMetadata();
    void markerIsNotReadThroughSymbolicLinks();
    void scanKeepsOnlyScreenshotFiles_data();
    void scanKeepsOnlyScreenshotFiles();
    void scanRecordsResolvedPathsAndFileFacts();
    void limitKeepsNewestPlusPreserved();
    void equalDatesSortByComposedName();
    void rescanReadsOnlyChangedFiles();
    void previousRecordReuse_data();
    void previousRecordReuse();
    void unlistableFolderIsAnError_data();
    void unlistableFolderIsAnError();
    void imagesTooLargeToDecodeAreSkipped();
};

void TestScreenshotScanner::hasScreenshotName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("English") << "Screenshot 2024-05-01 at 10.00.00.png" << true;
    QTest::newRow("any letter case") << "SCREENSHOT.PNG" << true;
    QTest::newRow("older English") << "Screen Shot 2019-01-01.png" << true;
    QTest::newRow("English variant") << "Screen Capture 1.png" << true;
    QTest::newRow("German") << "Bildschirmfoto 2024.png" << true;
    QTest::newRow("French, typographic apostrophe")
        << QStringLiteral("Capture d\u2019\u00e9cran 2024.png") << true;
    QTest::newRow("French, decomposed e acute") << QStringLiteral("Capture d'e\u0301cran.png")
                                                << true;
    QTest::newRow("French, composed e acute") << QStringLiteral("Capture d'\u00e9cran.png") << true;
    QTest::newRow("French, capital E acute") << QStringLiteral("CAPTURE D'\u00c9CRAN.png") << true;
    QTest::newRow("French, typographic and decomposed")
        << QStringLiteral("Capture d\u2019e\u0301cran.png") << true;
    QTest::newRow("Spanish") << "Captura de pantalla 1.png" << true;
    QTest::newRow("Portuguese") << "Captura de Tela 1.png" << true;
    QTest::newRow("Italian") << "Schermata 1.png" << true;
    QTest::newRow("Dutch") << "Schermafbeelding 1.png" << true;
    QTest::newRow("Japanese")
        << QStringLiteral("\u30b9\u30af\u30ea\u30fc\u30f3\u30b7\u30e7\u30c3\u30c8 1.png") << true;
    QTest::newRow("Chinese, simplified") << QStringLiteral("\u5c4f\u5e55\u622a\u56fe.png") << true;
    QTest::newRow("Chinese, traditional") << QStringLiteral("\u87a2\u5e55\u622a\u5716.png") << true;
    QTest::newRow("Arabic") << QStringLiteral("\u0644\u0642\u0637\u0629 \u0634\u0627\u0634\u0629.png")
                            << true;
    QTest::newRow("other name") << "IMG_0001.png" << false;
    QTest::newRow("word not at the start") << "My screenshot.png" << false;
    QTest::newRow("too short") << "Screensho.png" << false;
    QTest::newRow("French without accent") << "Capture d'ecran.png" << false;
    QTest::newRow("empty") << "" << false;
}

void TestScreenshotScanner::hasScreenshotName()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(ScreenshotScanner::hasScreenshotName(name), expected);

    // The scan's own fast path must agree.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (name.isEmpty())
        return;
    QVERIFY(TestSupport::writeFile(dir.filePath(name), pngBytes()));
    CountingImages images;
    const auto result = ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, images);
    QVERIFY(result.ok());
    QCOMPARE(result.screenshots.size(), expected ? 1 : 0);
}

void TestScreenshotScanner::hasScreenshotMetadata_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("expected");

    const QByteArray xmlTrue = plistBytes(plist_new_bool(1), false);
    auto padded = [&](qsizetype size) { return xmlTrue + QByteArray(size - xmlTrue.size(), ' '); };

    QTest::newRow("absent") << false << QByteArray() << false;
    QTest::newRow("binary true") << true << plistBytes(plist_new_bool(1), true) << true;
    QTest::newRow("binary false") << true << plistBytes(plist_new_bool(0), true) << false;
    QTest::newRow("XML true") << true << xmlTrue << true;
    QTest::newRow("XML false") << true << plistBytes(plist_new_bool(0), false) << false;
    QTest::newRow("text TRUE") << true << plistBytes(plist_new_string("TRUE"), false) << true;
    QTest::newRow("text True, binary") << true << plistBytes(plist_new_string("True"), true)
                                       << true;
    QTest::newRow("text 1") << true << plistBytes(plist_new_string("1"), true) << true;
    QTest::newRow("text yes") << true << plistBytes(plist_new_string("yes"), false) << false;
    QTest::newRow("text 0") << true << plistBytes(plist_new_string("0"), false) << false;
    QTest::newRow("number 1") << true << plistBytes(plist_new_uint(1), true) << true;
    QTest::newRow("number 1 XML") << true << plistBytes(plist_new_uint(1), false) << true;
    QTest::newRow("number 0") << true << plistBytes(plist_new_uint(0), true) << false;
    QTest::newRow("number 2") << true << plistBytes(plist_new_uint(2), true) << false;
    QTest::newRow("real 1.0") << true << plistBytes(plist_new_real(1.0), true) << true;
    QTest::newRow("dictionary") << true << plistBytes(plist_new_dict(), true) << false;
    QTest::newRow("not a property list") << true << QByteArray("true") << false;
    QTest::newRow("truncated binary")
        << true << plistBytes(plist_new_bool(1), true).chopped(3) << false;
    QTest::newRow("0 bytes") << true << QByteArray() << false;
    QTest::newRow("4095 bytes") << true << padded(4095) << true;
    QTest::newRow("4096 bytes") << true << padded(4096) << false;
}

void TestScreenshotScanner::hasScreenshotMetadata()
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
    CountingImages images;
    const auto result = ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, images);
    QVERIFY(result.ok());
    QCOMPARE(result.screenshots.size(), expected ? 1 : 0);
}

void TestScreenshotScanner::markerIsNotReadThroughSymbolicLinks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("IMG_1.png");
    QVERIFY(TestSupport::writeFile(target, pngBytes()));
    QVERIFY(setMarker(target, plistBytes(plist_new_bool(1), true)));
    QVERIFY(QFile::link(target, dir.filePath("IMG_2.png")));
    QVERIFY(ScreenshotScanner::hasScreenshotMetadata(target));
    QVERIFY(!ScreenshotScanner::hasScreenshotMetadata(dir.filePath("IMG_2.png")));
}

void TestScreenshotScanner::scanKeepsOnlyScreenshotFiles_data()
{
    QTest::addColumn<bool>("includeAllImages");
    QTest::addColumn<QStringList>("expected");
    const QStringList screenshots = {"Marked.png", "Screenshot 1.png", "Screenshot 2.jpg",
                                     "screenshot 3.PNG", "Screenshot 4.TIFF"};
    QTest::newRow("screenshots only") << false << screenshots;
    QTest::newRow("all images") << true << (QStringList(screenshots) << "Holiday.png");
}

void TestScreenshotScanner::scanKeepsOnlyScreenshotFiles()
{
    QFETCH(bool, includeAllImages);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    QImage image(16, 9, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(TestSupport::writeFile(d.filePath("Screenshot 1.png"), pngBytes()));
    QVERIFY(TestSupport::writeImage(d.filePath("Screenshot 2.jpg"), image, "jpg"));
    QVERIFY(TestSupport::writeFile(d.filePath("screenshot 3.PNG"), pngBytes()));
    QVERIFY(TestSupport::writeImage(d.filePath("Screenshot 4.TIFF"), image, "tiff"));
    QVERIFY(TestSupport::writeFile(d.filePath("Holiday.png"), pngBytes()));
    QVERIFY(TestSupport::writeFile(d.filePath("Marked.png"), pngBytes()));
    QVERIFY(setMarker(d.filePath("Marked.png"), plistBytes(plist_new_bool(1), true)));
    // Never listed, whatever the options.
    QVERIFY(TestSupport::writeImage(d.filePath("Screenshot anim.gif"), image, "gif")
            || TestSupport::writeFile(d.filePath("Screenshot anim.gif"), "GIF89a"));
    QVERIFY(QFile::link(d.filePath("Screenshot 1.png"), d.filePath("Screenshot link.png")));
    QVERIFY(d.mkpath("sub"));
    QVERIFY(TestSupport::writeFile(d.filePath("sub/Screenshot 5.png"), pngBytes()));
    QVERIFY(d.mkpath("Screenshot folder.png"));
    QVERIFY(TestSupport::writeFile(d.filePath(".Screenshot hidden.png"), pngBytes()));
    QVERIFY(TestSupport::writeFile(d.filePath("Screenshot empty.png"), QByteArray()));
    QVERIFY(TestSupport::writeFile(d.filePath("Screenshot broken.png"), "not an image at all"));
    QVERIFY(TestSupport::writeFile(d.filePath("Screenshot notes.txt"), "text"));

    CountingImages images;
    const auto result = ScreenshotScanner::scan(dir.path(), includeAllImages, 500, {}, {}, images);
    QVERIFY(result.ok());
    QStringList listed = names(result.screenshots);
    listed.sort();
    expected.sort();
    QCOMPARE(listed, expected);
    // The undecodable file was tried and dropped without failing the scan.
    QVERIFY(images.reads().contains(d.filePath("Screenshot broken.png")));
}

void TestScreenshotScanner::scanRecordsResolvedPathsAndFileFacts()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    QVERIFY(d.mkpath("real"));
    QVERIFY(QFile::link(d.filePath("real"), d.filePath("alias")));
    const QString path = d.filePath("real/Screenshot 1.png");
    const QByteArray bytes = pngBytes({40, 30});
    QVERIFY(TestSupport::writeFile(path, bytes));
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(1700000000789, Qt::UTC);
    QVERIFY(TestSupport::setModificationTime(path, stamp));

    CountingImages images;
    const auto result = ScreenshotScanner::scan(d.filePath("alias"), false, 500, {}, {}, images);
    QVERIFY(result.ok());
    QCOMPARE(result.screenshots.size(), 1);
    const Screenshot &s = result.screenshots.first();
    QCOMPARE(s.id(), QFileInfo(path).canonicalFilePath());
    QCOMPARE(s.modifiedAt(), stamp);
    QCOMPARE(s.bytes(), bytes.size());
    QCOMPARE(s.width(), 40);
    QCOMPARE(s.height(), 30);
    // Created now, long after the forced modification date.
    QVERIFY(s.createdAt() > stamp);
    QVERIFY(s.matchesCurrentFile());
}

void TestScreenshotScanner::limitKeepsNewestPlusPreserved()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
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
    const QSet<QString> preserved = {d.filePath(".alias/" + name(550)),
                                     d.filePath("./" + name(10)),
                                     d.filePath("Screenshot gone.png")};

    CountingImages images;
    auto result = ScreenshotScanner::scan(dir.path(), false, 500, {}, preserved, images);
    QVERIFY(result.ok());
    QCOMPARE(names(result.screenshots), QStringList(newest) << name(550));
    // Files beyond the limit cost no header reads unless preserved.
    QCOMPARE(images.reads().size(), 501);

    result = ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, images);
    QCOMPARE(names(result.screenshots), newest);

    // A negative limit counts as 0: only the preserved files remain, in sorted order.
    result = ScreenshotScanner::scan(dir.path(), false, -3, {}, preserved, images);
    QCOMPARE(names(result.screenshots), QStringList({name(10), name(550)}));
}

void TestScreenshotScanner::equalDatesSortByComposedName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    // Hard links share one inode, so every name has exactly the same dates.
    const QString first = d.filePath("Screenshot b.png");
    QVERIFY(TestSupport::writeFile(first, pngBytes()));
    const QStringList others = {
        QStringLiteral("Screenshot \U0001F600.png"), // beyond the BMP: surrogates in UTF-16
        QStringLiteral("Screenshot \uFF21.png"),     // fullwidth A, above the surrogate range
        QStringLiteral("Screenshot e\u0301.png"),    // composes to U+00E9
        QStringLiteral("Screenshot f.png"),
        QStringLiteral("Screenshot a.png"),
        QStringLiteral("Screenshot A.png"),
    };
    for (const QString &other : others)
        QCOMPARE(::link(QFile::encodeName(first).constData(),
                        QFile::encodeName(d.filePath(other)).constData()), 0);

    CountingImages images;
    const auto result = ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, images);
    QVERIFY(result.ok());
    const QStringList expected = {
        "Screenshot A.png", "Screenshot a.png", "Screenshot b.png", "Screenshot f.png",
        QStringLiteral("Screenshot e\u0301.png"), QStringLiteral("Screenshot \uFF21.png"),
        QStringLiteral("Screenshot \U0001F600.png")};
    QCOMPARE(names(result.screenshots), expected);
}

void TestScreenshotScanner::rescanReadsOnlyChangedFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir d(dir.path());
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC);
    for (const char *name : {"Screenshot a.png", "Screenshot b.png", "Screenshot c.png"}) {
        QVERIFY(TestSupport::writeFile(d.filePath(name), pngBytes()));
        QVERIFY(TestSupport::setModificationTime(d.filePath(name), stamp));
    }

    CountingImages images;
    const auto first = ScreenshotScanner::scan(dir.path(), false, 500, {}, {}, images);
    QVERIFY(first.ok());
    QCOMPARE(images.reads().size(), 3);

    images.reset();
    const auto same = ScreenshotScanner::scan(dir.path(), false, 500, first.screenshots, {}, images);
    QCOMPARE(same.screenshots, first.screenshots);
    QVERIFY(images.reads().isEmpty());

    // a: touched. b: edited to another size, its date put back.
    QVERIFY(TestSupport::setModificationTime(d.filePath("Screenshot a.png"), stamp.addMSecs(1)));
    QVERIFY(TestSupport::writeFile(d.filePath("Screenshot b.png"), pngBytes({20, 10})));
    QVERIFY(TestSupport::setModificationTime(d.filePath("Screenshot b.png"), stamp));

    images.reset();
    const auto changed = ScreenshotScanner::scan(dir.path(), false, 500, first.screenshots, {},
                                                 images);
    QStringList reads = images.reads();
    reads.sort();
    QCOMPARE(reads, QStringList({d.filePath("Screenshot a.png"), d.filePath("Screenshot b.png")}));
    QCOMPARE(changed.screenshots.size(), 3);
    for (const Screenshot &s : changed.screenshots) {
        if (s.displayName() == QLatin1String("Screenshot b"))
            QCOMPARE(s.width(), 20);
        if (s.displayName() == QLatin1String("Screenshot c"))
            QVERIFY(first.screenshots.contains(s));
    }
}

void TestScreenshotScanner::previousRecordReuse_data()
{
    QTest::addColumn<qint64>("modifiedShiftMs");
    QTest::addColumn<qint64>("bytesShift");
    QTest::addColumn<bool>("reused");
    QTest::newRow("unchanged") << qint64(0) << qint64(0) << true;
    QTest::newRow("modification date differs") << qint64(1) << qint64(0) << false;
    QTest::newRow("size differs") << qint64(0) << qint64(-1) << false;
}

void TestScreenshotScanner::previousRecordReuse()
{
    QFETCH(qint64, modifiedShiftMs);
    QFETCH(qint64, bytesShift);
    QFETCH(bool, reused);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = QDir(dir.path()).filePath("Screenshot 1.png");
    const QByteArray bytes = pngBytes({8, 5});
    QVERIFY(TestSupport::writeFile(path, bytes));
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(1700000000456, Qt::UTC);
    QVERIFY(TestSupport::setModificationTime(path, stamp));

    // A remembered record with a different creation date and made-up dimensions shows
    // whether the file was read again.
    const Screenshot remembered = Screenshot::withResolvedPath(
        QFileInfo(path).canonicalFilePath(), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC),
        stamp.addMSecs(modifiedShiftMs), bytes.size() + bytesShift, 777, 555);

    CountingImages images;
    const auto result = ScreenshotScanner::scan(dir.path(), false, 500, {remembered}, {}, images);
    QVERIFY(result.ok());
    QCOMPARE(result.screenshots.size(), 1);
    if (reused) {
        QCOMPARE(result.screenshots.first(), remembered);
        QVERIFY(images.reads().isEmpty());
    } else {
        QCOMPARE(result.screenshots.first().width(), 8);
        QCOMPARE(result.screenshots.first().modifiedAt(), stamp);
        QCOMPARE(images.reads().size(), 1);
    }
}

void TestScreenshotScanner::unlistableFolderIsAnError_data()
{
    QTest::addColumn<QString>("relativeFolder");
    QTest::addColumn<int>("code");
    QTest::newRow("missing") << "missing" << ENOENT;
    QTest::newRow("a file") << "Screenshot 1.png" << ENOTDIR;
    QTest::newRow("empty path") << "" << ENOENT;
}

void TestScreenshotScanner::unlistableFolderIsAnError()
{
    QFETCH(QString, relativeFolder);
    QFETCH(int, code);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(TestSupport::writeFile(dir.filePath("Screenshot 1.png"), pngBytes()));
    const QString folder = relativeFolder.isEmpty() ? QString() : dir.filePath(relativeFolder);

    CountingImages images;
    const auto result = ScreenshotScanner::scan(folder, true, 500, {}, {}, images);
    QVERIFY(!result.ok());
    QCOMPARE(result.error->code, code);
    QVERIFY(!result.error->message.isEmpty());
    QVERIFY(result.screenshots.isEmpty());
    QVERIFY(images.reads().isEmpty());
}

void TestScreenshotScanner::imagesTooLargeToDecodeAreSkipped()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(TestSupport::writeFile(QDir(dir.path()).filePath("Screenshot big.png"), pngBytes()));

    const auto huge = ScreenshotScanner::scan(dir.path(), false, 500, {}, {},
                                              FixedSizeImages(QSize(20000, 20000)));
    QVERIFY(huge.ok());
    QVERIFY(huge.screenshots.isEmpty());

    const auto wide = ScreenshotScanner::scan(dir.path(), false, 500, {}, {},
                                              FixedSizeImages(QSize(11520, 2160)));
    QCOMPARE(wide.screenshots.size(), 1);
    QCOMPARE(wide.screenshots.first().dimensions(), QStringLiteral("11520 \u00D7 2160"));
}

QTEST_GUILESS_MAIN(TestScreenshotScanner)
#include "tst_screenshotscanner.moc"
