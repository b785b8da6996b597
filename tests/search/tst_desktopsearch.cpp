// Searches from outside the gallery: exactly the gallery's matching and order, the records the
// command line prints and the bus carries, and the folder search made when no copy runs.
#include "TestSupport.h"

#include "library/GallerySnapshot.h"
#include "library/ScreenshotScanner.h"
#include "platform/freedesktop/SettingsStore.h"
#include "platform/image/SystemImageServices.h"
#include "search/DesktopSearch.h"
#include "search/FolderSearch.h"
#include "search/SearchHit.h"
#include "core/ScreenshotTextSearch.h"
#include "text/ScreenshotTextWorker.h"
#include "text/TesseractRecognizer.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

Screenshot record(const QString &name, int minutesAgo)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1765000000).addSecs(-60 * minutesAgo);
    return Screenshot::withResolvedPath(QStringLiteral("/shots/") + name, when, when,
                                        1000 + minutesAgo, 800, 600);
}

// Every file below `root` with its bytes and modification time, to prove nothing was touched.
QMap<QString, QPair<QByteArray, QDateTime>> snapshotOf(const QString &root)
{
    QMap<QString, QPair<QByteArray, QDateTime>> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(path, {file.readAll(), it.fileInfo().lastModified()});
    }
    return files;
}

} // namespace

Q_DECLARE_METATYPE(SearchHit)

class TestDesktopSearch final : public QObject
{
    Q_OBJECT

    QList<Screenshot> m_items;
    QHash<QString, ScreenshotText> m_documents;
    QHash<QString, QString> m_normalized;

    void addItem(const QString &name, int minutesAgo, const QString &text = {})
    {
        const Screenshot item = record(name, minutesAgo);
        m_items.append(item);
        if (text.isNull())
            return;
        const ScreenshotText document(text);
        m_documents.insert(item.cacheKey(), document);
        m_normalized.insert(item.cacheKey(), document.normalized());
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Newest first, as a scan lists them.
        addItem(QStringLiteral("Screenshot 2026-12-07 at 10.04.png"), 1,
                QStringLiteral("Quarterly REPORT\nrevenue up"));
        addItem(QStringLiteral("Café menu.png"), 2);
        addItem(QStringLiteral("Screenshot 3"), 3, QStringLiteral("Meeting notes\nفاتورة رقم ٣"));
        addItem(QStringLiteral("Screenshot 4.png"), 4, QStringLiteral("draft report\n\uFB01nal numbers"));
    }

    void findsWhatTheGalleryShows_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("expected");   // indices into the items, in order
        QTest::addColumn<QStringList>("snippets");  // "-" for none

        QTest::newRow("text, newest first") << "report" << QList<int>{0, 3}
                                            << QStringList{"Quarterly REPORT", "draft report"};
        QTest::newRow("every word, any spacing") << "  REPORT   quarterly " << QList<int>{0}
                                                 << QStringList{"Quarterly REPORT"};
        QTest::newRow("name without accents") << "cafe" << QList<int>{1} << QStringList{"-"};
        QTest::newRow("name and text together") << "screenshot notes" << QList<int>{2}
                                                << QStringList{"Meeting notes"};
        QTest::newRow("compatibility folding") << "final" << QList<int>{3} << QStringList{"\uFB01nal numbers"};
        QTest::newRow("arabic digits") << "رقم 3" << QList<int>{2} << QStringList{"فاتورة رقم ٣"};
        QTest::newRow("name only") << "screenshot" << QList<int>{0, 2, 3} << QStringList{"-", "-", "-"};
        QTest::newRow("no match") << "zebra" << QList<int>{} << QStringList{};
        QTest::newRow("empty finds nothing") << "" << QList<int>{} << QStringList{};
        QTest::newRow("blank finds nothing") << " \t " << QList<int>{} << QStringList{};
    }

    void findsWhatTheGalleryShows()
    {
        QFETCH(QString, query);
        QFETCH(QList<int>, expected);
        QFETCH(QStringList, snippets);

        const QList<SearchHit> hits = DesktopSearch::find(m_items, query, m_documents, m_normalized);
        QCOMPARE(hits.size(), expected.size());
        // A limit keeps the first hits, snippets and all.
        const QList<SearchHit> first = DesktopSearch::find(m_items, query, m_documents, m_normalized, 1);
        QCOMPARE(first.size(), std::min<qsizetype>(hits.size(), 1));
        if (!first.isEmpty()) {
            QCOMPARE(first.first().path, hits.first().path);
            QCOMPARE(first.first().snippet, hits.first().snippet);
        }
        for (qsizetype i = 0; i < hits.size(); ++i) {
            const Screenshot &item = m_items.at(expected.at(i));
            QCOMPARE(hits.at(i).path, item.id());
            QCOMPARE(hits.at(i).name, item.displayName());
            QCOMPARE(hits.at(i).createdAt, item.createdAt());
            QCOMPARE(hits.at(i).snippet.value_or(QStringLiteral("-")), snippets.at(i));
        }
        // Whatever the query, the gallery's all tab shows the same screenshots in the same order.
        if (!ScreenshotTextSearch::tokens(query).isEmpty()) {
            const GallerySnapshot gallery(m_items, LibraryState(), false, query, m_normalized);
            QStringList galleryPaths, hitPaths;
            for (const Screenshot &item : gallery.items())
                galleryPaths.append(item.id());
            for (const SearchHit &hit : hits)
                hitPaths.append(hit.path);
            QCOMPARE(hitPaths, galleryPaths);
        }
    }

    void hitRecords_data()
    {
        QTest::addColumn<SearchHit>("hit");
        QTest::addColumn<QString>("line");
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1765000000, Qt::OffsetFromUTC, 3600);
        QTest::newRow("snippet") << SearchHit{"/s/a.png", "a.png", when, QString("total 12")}
                                 << "/s/a.png\ttotal 12";
        QTest::newRow("no snippet") << SearchHit{"/s/b c.png", "b c.png", when, std::nullopt}
                                    << "/s/b c.png\t";
        QTest::newRow("tabs and breaks flattened") << SearchHit{"/s/c.png", "c.png", when, QString("a\tb\r\nc")}
                                                   << "/s/c.png\ta b  c";
        // A file name may hold any byte but '/': the path must still read back as one field.
        QTest::newRow("controls in the path escaped")
            << SearchHit{QString("/s/two\nlines\tand\\slash\x01\x7f.png"), "x.png", when, QString("a\x1b") + QChar(0x85) + QString("b")}
            << "/s/two\\nlines\\tand\\\\slash\\x01\\x7f.png\ta  b";
    }

    void hitRecords()
    {
        QFETCH(SearchHit, hit);
        QFETCH(QString, line);
        QCOMPARE(hit.toLine(), line);
        QCOMPARE(hit.toLine().count(u'\t'), 1);
        QVERIFY(!hit.toLine().contains(u'\n'));

        const QJsonObject json = hit.toJson();
        QCOMPARE(json.value(QStringLiteral("path")).toString(), hit.path);
        QCOMPARE(json.value(QStringLiteral("name")).toString(), hit.name);
        QCOMPARE(QDateTime::fromString(json.value(QStringLiteral("createdAt")).toString(), Qt::ISODate),
                 hit.createdAt);
        if (hit.snippet)
            QCOMPARE(json.value(QStringLiteral("snippet")).toString(), *hit.snippet);
        else
            QVERIFY(json.value(QStringLiteral("snippet")).isNull());

        // What the running copy sends is what the command line prints.
        const std::optional<SearchHit> back = SearchHit::fromVariantMap(hit.toVariantMap());
        QVERIFY(back);
        QCOMPARE(back->toLine(), hit.toLine());
        QCOMPARE(back->createdAt.toMSecsSinceEpoch(), hit.createdAt.toMSecsSinceEpoch());
        QCOMPARE(back->snippet, hit.snippet);

        QVERIFY(hit.description(QStringLiteral("total")).endsWith(hit.snippet ? QStringLiteral(" · ") + *hit.snippet
                                                       : QLocale().toString(hit.createdAt.toLocalTime(), QLocale::ShortFormat)));
    }

    void recordsWithoutAPathAreRefused()
    {
        QVERIFY(!SearchHit::fromVariantMap({}));
        QVERIFY(!SearchHit::fromVariantMap({{QStringLiteral("name"), QStringLiteral("a.png")}}));
    }

    // The command line's search without a running copy: the stored folder and cached text,
    // read and never written.
    void searchesTheConnectedFolder()
    {
        const SystemImageServices images;
        TesseractRecognizer recognizer(QString(), images);
        const auto capabilities = recognizer.capabilities();
        if (!std::holds_alternative<TextRecognitionCapabilities>(capabilities))
            QSKIP("needs Tesseract language data to name the cache files");
        const QString identifier = std::get<TextRecognitionCapabilities>(capabilities).identifier;

        QTemporaryDir home;
        const QString folder = home.filePath(QStringLiteral("Shots"));
        const QString cache = home.filePath(QStringLiteral("cache"));
        const QString settings = home.filePath(QStringLiteral("config/settings.json"));
        const QStringList texts{QStringLiteral("pelican harbour at dawn"), QStringLiteral("quarterly report"),
                                QStringLiteral("report draft two")};
        const QDateTime start = QDateTime::currentDateTime().addSecs(-600);
        for (int i = 0; i < texts.size(); ++i) {
            const QString path = QDir(folder).filePath(QStringLiteral("Screenshot %1.png").arg(i + 1));
            QImage image(160, 60, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(40 * i, 80, 240));
            QVERIFY(TestSupport::writeImage(path, image, "png"));
            QVERIFY(TestSupport::setModificationTime(path, start.addSecs(60 * i)));
        }
        const auto scanned = ScreenshotScanner::scan(folder, false, 500, {}, {}, images);
        QCOMPARE(scanned.screenshots.size(), 3);
        for (const Screenshot &item : scanned.screenshots) {
            const int index = item.displayName().mid(11, 1).toInt() - 1;
            QVERIFY(TestSupport::writeFile(
                QDir(cache).filePath(ScreenshotTextWorker::cacheFileName(identifier, item.cacheKey())),
                QJsonDocument(ScreenshotText(texts.at(index)).toJson()).toJson()));
        }

        const ScreenshotNamePatterns names;
        // A store of its own each time, as each command-line run reads the file afresh.
        const auto search = [&](const QString &query) {
            const SettingsStore store(settings);
            return FolderSearch::run(query, {store, images, names, [&] {
                return std::make_unique<ScreenshotTextWorker>(
                    cache, TesseractRecognizer::create(images, cache, false));
            }});
        };

        const auto connect = [&](bool connected, const QString &path) {
            return TestSupport::writeFile(settings, QJsonDocument(QJsonObject{
                {QStringLiteral("hasConnectedFolder"), connected}, {QStringLiteral("folderPath"), path}}).toJson());
        };
        // Not connected yet: one line that says so.
        QVERIFY(connect(false, folder));
        FolderSearch::Outcome outcome = search(QStringLiteral("report"));
        QVERIFY(outcome.error);
        QVERIFY(outcome.error->contains(QStringLiteral("no screenshot folder is connected")));
        QVERIFY(!outcome.error->contains(u'\n'));

        // A folder that went away names itself.
        QVERIFY(connect(true, home.filePath(QStringLiteral("gone"))));
        outcome = search(QStringLiteral("report"));
        QVERIFY(outcome.error);
        QVERIFY(outcome.error->contains(home.filePath(QStringLiteral("gone"))));

        QVERIFY(connect(true, folder));
        const auto before = snapshotOf(home.path());

        outcome = search(QStringLiteral("report"));
        QVERIFY(!outcome.error);
        QCOMPARE(outcome.hits.size(), 2);
        QCOMPARE(outcome.hits.at(0).name, QStringLiteral("Screenshot 3"));
        QCOMPARE(outcome.hits.at(0).snippet, QStringLiteral("report draft two"));
        QCOMPARE(outcome.hits.at(1).name, QStringLiteral("Screenshot 2"));

        outcome = search(QStringLiteral("screenshot 1"));
        QCOMPARE(outcome.hits.size(), 1);
        QCOMPARE(outcome.hits.first().path, QDir(folder).filePath(QStringLiteral("Screenshot 1.png")));
        QCOMPARE(outcome.hits.first().snippet, std::nullopt);

        outcome = search(QStringLiteral("zebra"));
        QVERIFY(!outcome.error);
        QVERIFY(outcome.hits.isEmpty());

        // Pictures, cache and settings are as they were; nothing new appeared.
        QCOMPARE(snapshotOf(home.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestDesktopSearch)
#include "tst_desktopsearch.moc"
