#include "library/GallerySnapshot.h"
#include "library/LibraryState.h"
#include "library/Screenshot.h"
#include "text/ScreenshotTextSearch.h"

#include <QtTest>

#include <climits>

namespace {

Screenshot shot(const QString &name)
{
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1714550000, Qt::UTC);
    return Screenshot::withResolvedPath(u"/shots/"_qs + name + u".png"_qs, date, date, 1000, 40,
                                        30);
}

QList<Screenshot> shots(const QStringList &names)
{
    QList<Screenshot> list;
    for (const QString &name : names)
        list.append(shot(name));
    return list;
}

QStringList namesOf(const GallerySnapshot &snapshot)
{
    QStringList names;
    for (const Screenshot &item : snapshot.items())
        names.append(item.displayName());
    return names;
}

LibraryState pins(const QStringList &names)
{
    LibraryState state;
    for (const QString &name : names)
        state.insert(shot(name).id());
    return state;
}

} // namespace

// Every snapshot a test builds goes through here, so the index invariant is always checked.
template<typename... Args>
GallerySnapshot build(const Args &...args)
{
    GallerySnapshot snapshot(args...);
    if (!snapshot.isConsistent())
        QTest::qFail("indices don't match items", __FILE__, __LINE__);
    return snapshot;
}

class TestGallerySnapshot final : public QObject
{
    Q_OBJECT

private slots:
    void emptyQueryKeepsEveryItem_data();
    void emptyQueryKeepsEveryItem();
    void pinnedTab();
    void pinnedCountIgnoresFiltersAndStrayPins();
    void query_data();
    void query();
    void repeatedPathShownOnce();
    void movingSelection_data();
    void movingSelection();
    void selected();

    void stateDecoding_data();
    void stateDecoding();
    void stateRoundTrip();
    void togglePin();
};

void TestGallerySnapshot::emptyQueryKeepsEveryItem_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << u" \t\n\u3000"_qs;
}

void TestGallerySnapshot::emptyQueryKeepsEveryItem()
{
    QFETCH(QString, query);
    const QList<Screenshot> items = shots({u"a"_qs, u"b"_qs, u"c"_qs});
    // Recognised text is irrelevant without tokens, even when it is there.
    const QHash<QString, QString> text{{items[1].cacheKey(), u"zzz"_qs}};
    const GallerySnapshot snapshot = build(items, LibraryState(), false, query, text);
    QCOMPARE(snapshot.items(), items);
    QCOMPARE(snapshot.indices().value(items[2].id()), 2);
}

void TestGallerySnapshot::pinnedTab()
{
    const QList<Screenshot> items = shots({u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs});
    const GallerySnapshot none = build(items, LibraryState(), true, QString());
    QVERIFY(none.items().isEmpty());
    QCOMPARE(none.pinnedCount(), 0);

    // Pinned items keep their place in the scan order.
    const GallerySnapshot some = build(items, pins({u"d"_qs, u"b"_qs}), true, QString());
    QCOMPARE(namesOf(some), (QStringList{u"b"_qs, u"d"_qs}));
    QCOMPARE(some.pinnedCount(), 2);
    QVERIFY(some.contains(items[3].id()));
    QVERIFY(!some.contains(items[0].id()));
}

void TestGallerySnapshot::pinnedCountIgnoresFiltersAndStrayPins()
{
    const QList<Screenshot> items = shots({u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs});
    LibraryState state = pins({u"a"_qs, u"b"_qs, u"c"_qs});
    state.insert(u"/elsewhere/gone.png"_qs);
    const GallerySnapshot hidden = build(items, state, false, u"zzz"_qs);
    QVERIFY(hidden.items().isEmpty());
    QCOMPARE(hidden.pinnedCount(), 3);
    const GallerySnapshot allTab = build(items, state, false, QString());
    QCOMPARE(allTab.pinnedCount(), 3);
    QCOMPARE(allTab.items().size(), 4);
}

void TestGallerySnapshot::query_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("split name") << u"screen shot"_qs
                                << QStringList{u"Screenshot 2024-05-01 at 10.14.07"_qs};
    QTest::newRow("name and text") << u"invoice 2024"_qs
                                   << QStringList{u"Screenshot 2024-05-01 at 10.14.07"_qs};
    QTest::newRow("text only") << u"INVOICE"_qs
                               << QStringList{u"Screenshot 2024-05-01 at 10.14.07"_qs,
                                              u"Report 2023"_qs};
    QTest::newRow("word missing from both") << u"invoice 2025"_qs << QStringList();
    QTest::newRow("no text recognised") << u"notes"_qs << QStringList{u"Notes"_qs};
    // "Report 2023" ends in "3" and its text starts with "be": joined they'd hold "3be".
    QTest::newRow("token cannot span name and text") << u"3be"_qs << QStringList();
}

void TestGallerySnapshot::query()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    const QList<Screenshot> items =
        shots({u"Screenshot 2024-05-01 at 10.14.07"_qs, u"Report 2023"_qs, u"Notes"_qs});
    const QHash<QString, QString> text{
        {items[0].cacheKey(), ScreenshotTextSearch::normalize(u"Invoice total 12"_qs)},
        {items[1].cacheKey(), ScreenshotTextSearch::normalize(u"beta invoice"_qs)},
        // Keyed by path instead of cache key: must not be found.
        {items[2].id(), u"secret"_qs},
    };
    const GallerySnapshot snapshot = build(items, LibraryState(), false, query, text);
    QCOMPARE(namesOf(snapshot), expected);
}

void TestGallerySnapshot::repeatedPathShownOnce()
{
    const QList<Screenshot> items = shots({u"a"_qs, u"b"_qs, u"a"_qs});
    const GallerySnapshot snapshot = build(items, pins({u"a"_qs}), false, QString());
    QCOMPARE(namesOf(snapshot), (QStringList{u"a"_qs, u"b"_qs}));
    QCOMPARE(snapshot.pinnedCount(), 1);
}

void TestGallerySnapshot::movingSelection_data()
{
    QTest::addColumn<QString>("from"); // a name, "" for no selection
    QTest::addColumn<int>("by");
    QTest::addColumn<QString>("expected");
    QTest::newRow("last +1 stays") << u"e"_qs << 1 << u"e"_qs;
    QTest::newRow("first -1 stays") << u"a"_qs << -1 << u"a"_qs;
    QTest::newRow("+10 from third") << u"c"_qs << 10 << u"e"_qs;
    QTest::newRow("-2 from fourth") << u"d"_qs << -2 << u"b"_qs;
    QTest::newRow("nothing selected, down") << QString() << 1 << u"b"_qs;
    QTest::newRow("nothing selected, up") << QString() << -1 << u"a"_qs;
    QTest::newRow("unknown id counts as first") << u"zz"_qs << 1 << u"b"_qs;
    QTest::newRow("huge step") << u"b"_qs << INT_MAX << u"e"_qs;
    QTest::newRow("huge negative step") << u"d"_qs << INT_MIN << u"a"_qs;
}

void TestGallerySnapshot::movingSelection()
{
    QFETCH(QString, from);
    QFETCH(int, by);
    QFETCH(QString, expected);
    const GallerySnapshot snapshot =
        build(shots({u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs}));
    const std::optional<QString> fromId =
        from.isEmpty() ? std::nullopt : std::optional<QString>(shot(from).id());
    QCOMPARE(snapshot.movingSelection(fromId, by), std::optional<QString>(shot(expected).id()));
}

void TestGallerySnapshot::selected()
{
    const QList<Screenshot> items = shots({u"alpha"_qs, u"beta"_qs, u"gamma"_qs});
    // Every name holds an "a"; only "gamma" holds "ma".
    const GallerySnapshot filtered = build(items, LibraryState(), false, u"a"_qs);
    const GallerySnapshot narrowed = build(items, LibraryState(), false, u"ma"_qs);
    QCOMPARE(filtered.selected(items[1].id()), std::optional<Screenshot>(items[1]));
    QCOMPARE(filtered.selected(std::nullopt), std::optional<Screenshot>(items[0]));
    // "beta" is filtered out by the query: fall back to the first shown item.
    QCOMPARE(narrowed.selected(items[1].id()), std::optional<Screenshot>(items[2]));

    const GallerySnapshot empty = build(items, LibraryState(), false, u"zzz"_qs);
    QCOMPARE(empty.selected(items[0].id()), std::optional<Screenshot>());
    QCOMPARE(empty.movingSelection(items[0].id(), 1), std::optional<QString>());
    QCOMPARE(GallerySnapshot().movingSelection(std::nullopt, 1), std::optional<QString>());
}

void TestGallerySnapshot::stateDecoding_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no data") << QByteArray() << QStringList();
    QTest::newRow("not json") << QByteArray("pinnedPaths") << QStringList();
    QTest::newRow("empty object") << QByteArray("{}") << QStringList();
    QTest::newRow("array") << QByteArray("[\"/a\"]") << QStringList();
    QTest::newRow("not an array") << QByteArray(R"({"pinnedPaths": "/a"})") << QStringList();
    QTest::newRow("paths") << QByteArray(R"({"pinnedPaths": ["/b", "/a", "/b"]})")
                           << QStringList{u"/a"_qs, u"/b"_qs};
    QTest::newRow("bad entries skipped")
        << QByteArray(R"({"other": 1, "pinnedPaths": ["/a", 5, null, {}, "/b"]})")
        << QStringList{u"/a"_qs, u"/b"_qs};
}

void TestGallerySnapshot::stateDecoding()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    const LibraryState state = LibraryState::fromJson(data);
    QStringList paths(state.pinnedPaths().cbegin(), state.pinnedPaths().cend());
    paths.sort();
    QCOMPARE(paths, expected);
}

void TestGallerySnapshot::stateRoundTrip()
{
    const LibraryState state(QSet<QString>{u"/shots/b.png"_qs, u"/shots/a \"q\".png"_qs});
    const QByteArray json = state.toJson();
    const QByteArray expected(R"({"pinnedPaths":["/shots/a \"q\".png","/shots/b.png"]})");
    QCOMPARE(json, expected);
    QCOMPARE(LibraryState::fromJson(json), state);
    QCOMPARE(LibraryState::fromJson(LibraryState().toJson()), LibraryState());
}

void TestGallerySnapshot::togglePin()
{
    const LibraryState before(QSet<QString>{u"/x.png"_qs});
    LibraryState state = before;
    state.togglePin(u"/y.png"_qs);
    QVERIFY(state.contains(u"/y.png"_qs));
    QVERIFY(state != before);
    state.togglePin(u"/y.png"_qs);
    QCOMPARE(state, before);
    state.togglePin(u"/x.png"_qs);
    QVERIFY(state.pinnedPaths().isEmpty());
}

QTEST_GUILESS_MAIN(TestGallerySnapshot)
#include "tst_gallerysnapshot.moc"
