#include "library/GallerySnapshot.h"
#include "library/LibraryState.h"
#include "core/Screenshot.h"
#include "core/ScreenshotTextSearch.h"

#include <QtTest>

#include <climits>

namespace {

Screenshot shot(const QString &name)
{
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1714550000, Qt::UTC);
    return Screenshot::withResolvedPath(u"/shots/"_qs + name + u".png"_qs, date, date, 1000, 40, 30);
}

QList<Screenshot> shots(const QStringList &names)
{
    QList<Screenshot> list;
    for (const QString &name : names)
        list.append(shot(name));
    return list;
}

// Every snapshot a test builds goes through here, so the index invariant is always checked.
template<typename... Args>
GallerySnapshot build(const Args &...args)
{
    GallerySnapshot snapshot(args...);
    if (!snapshot.isConsistent())
        QTest::qFail("indices don't match items", __FILE__, __LINE__);
    return snapshot;
}

} // namespace

class TestGallerySnapshot final : public QObject
{
    Q_OBJECT

private slots:
    void filters_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("pinnedOnly");
        QTest::addColumn<QStringList>("expected");
        const QString s = u"Screenshot 2024-05-01 at 10.14.07"_qs;
        const QString r = u"Report 2023"_qs;
        const QString n = u"Notes"_qs;
        QTest::newRow("empty") << QString() << false << QStringList{s, r, n};
        QTest::newRow("blank") << u" \t\n\u3000"_qs << false << QStringList{s, r, n};
        QTest::newRow("split name") << u"screen shot"_qs << false << QStringList{s};
        QTest::newRow("name and text") << u"invoice 2024"_qs << false << QStringList{s};
        QTest::newRow("text only") << u"INVOICE"_qs << false << QStringList{s, r};
        QTest::newRow("word missing from both") << u"invoice 2025"_qs << false << QStringList();
        QTest::newRow("text keyed by path") << u"secret"_qs << false << QStringList();
        // "Report 2023" ends in "3" and its text starts with "be": joined they'd hold "3be".
        QTest::newRow("token cannot span name and text") << u"3be"_qs << false << QStringList();
        QTest::newRow("pinned tab") << QString() << true << QStringList{s, r};
        QTest::newRow("pinned tab and query") << u"beta"_qs << true << QStringList{r};
        QTest::newRow("pinned tab, no match") << u"notes"_qs << true << QStringList();
    }
    void filters()
    {
        QFETCH(QString, query);
        QFETCH(bool, pinnedOnly);
        QFETCH(QStringList, expected);
        // The first path appears twice: shown once, pinned once.
        const QList<Screenshot> items = shots(
            {u"Screenshot 2024-05-01 at 10.14.07"_qs, u"Report 2023"_qs, u"Notes"_qs, u"Screenshot 2024-05-01 at 10.14.07"_qs});
        const QHash<QString, QString> text{
            {items[0].cacheKey(), ScreenshotTextSearch::normalize(u"Invoice total 12"_qs)},
            {items[1].cacheKey(), ScreenshotTextSearch::normalize(u"beta invoice"_qs)},
            {items[2].id(), u"secret"_qs}, // not a cache key: never found
        };
        LibraryState pins(QSet<QString>{items[0].id(), items[1].id(), u"/elsewhere/gone.png"_qs});
        const GallerySnapshot snapshot = build(items, pins, pinnedOnly, query, text);
        QStringList names;
        for (const Screenshot &item : snapshot.items())
            names.append(item.displayName());
        QCOMPARE(names, expected);
        QCOMPARE(snapshot.pinnedCount(), 2); // whatever is shown; stray pins don't count
        for (const Screenshot &item : items)
            QCOMPARE(snapshot.contains(item.id()), expected.contains(item.displayName()));
    }

    void movingSelection_data()
    {
        QTest::addColumn<QString>("from"); // a name, "" for no selection
        QTest::addColumn<int>("by");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last +1 stays") << u"e"_qs << 1 << u"e"_qs;
        QTest::newRow("first -1 stays") << u"a"_qs << -1 << u"a"_qs;
        QTest::newRow("-2 from fourth") << u"d"_qs << -2 << u"b"_qs;
        QTest::newRow("nothing selected, down") << QString() << 1 << u"b"_qs;
        QTest::newRow("unknown id counts as first") << u"zz"_qs << 1 << u"b"_qs;
        QTest::newRow("huge step") << u"b"_qs << INT_MAX << u"e"_qs;
        QTest::newRow("huge negative step") << u"d"_qs << INT_MIN << u"a"_qs;
    }
    void movingSelection()
    {
        QFETCH(QString, from);
        QFETCH(int, by);
        QFETCH(QString, expected);
        const GallerySnapshot snapshot = build(shots({u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs}));
        const std::optional<QString> fromId = from.isEmpty() ? std::nullopt : std::optional(shot(from).id());
        QCOMPARE(snapshot.movingSelection(fromId, by), std::optional(shot(expected).id()));
        // Nothing shown: no selection, wherever it was.
        const GallerySnapshot empty = build(shots({u"a"_qs}), LibraryState(), false, u"zzz"_qs);
        QCOMPARE(empty.selected(fromId), std::nullopt);
        QCOMPARE(empty.movingSelection(fromId, by), std::nullopt);
    }

    void stateDecoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("not json") << QByteArray("pinnedPaths") << QStringList();
        QTest::newRow("array") << QByteArray("[\"/a\"]") << QStringList();
        QTest::newRow("not an array") << QByteArray(R"({"pinnedPaths": "/a"})") << QStringList();
        QTest::newRow("bad entries skipped, repeats merged")
            << QByteArray(R"({"other": 1, "pinnedPaths": ["/b", 5, null, {}, "/a", "/b"]})")
            << QStringList{u"/a"_qs, u"/b"_qs};
        QTest::newRow("round trip") << LibraryState(QSet<QString>{u"/b"_qs, u"/a \"q\""_qs}).toJson()
                                    << QStringList{u"/a \"q\""_qs, u"/b"_qs};
    }
    void stateDecoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, expected);
        const LibraryState state = LibraryState::fromJson(data);
        QStringList paths(state.pinnedPaths().cbegin(), state.pinnedPaths().cend());
        paths.sort();
        QCOMPARE(paths, expected);
    }
};

QTEST_GUILESS_MAIN(TestGallerySnapshot)
#include "tst_gallerysnapshot.moc"
