#include "LibraryModelHarness.h"

#include "platform/FolderBookmark.h"

using namespace harness;

#define CHECK_CONSISTENT(f) QVERIFY2((f).model->isConsistent(), "model invariants broken")

namespace {

// Counts scans by their start.
struct ScanCounter final
{
    explicit ScanCounter(LibraryModel &model)
    {
        QObject::connect(&model, &LibraryModel::isScanningChanged, &model,
                         [this, &model] { started += model.isScanning() ? 1 : 0; });
    }
    int started = 0;
};

} // namespace

class TestLibraryModel final : public QObject
{
    Q_OBJECT

private slots:
    void firstScanIsNoArrival();
    void arrivalThroughTheWatcher();
    void refreshesDuringAScanGiveOneFollowUp();
    void unchangedRescanRebuildsNothing();
    void initialScanOfAnEmptyFolderFeedsTheIndex();
    void connectingAnotherFolderDiscardsTheRunningScan();
    void selectionFollowsFilters_data();
    void selectionFollowsFilters();
    void blankQueryIgnoresTextChanges();
    void statusLine_data();
    void statusLine();
    void latestIgnoresTabAndQuery();
    void includeAllImagesRescansOnce();
    void lostFolderKeepsItems_data();
    void lostFolderKeepsItems();
    void unreadableFolderOnRescan();
    void connectFailures_data();
    void connectFailures();
    void chooseFolderConnectsAndRemembers();
    void startReconnectsRememberedFolder();
    void textCacheDirectoryFollowsDemoFlag();
};

void TestLibraryModel::firstScanIsNoArrival()
{
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.shot(QStringLiteral("Screenshot %1.png").arg(i));
    int arrivals = 0;
    f.model->setOnArrival([&] { ++arrivals; });

    f.connectFolder();
    QVERIFY(f.model->connected());
    QVERIFY(f.preferences->hasConnectedFolder());
    QTRY_COMPARE(f.model->items().size(), 3);
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
    QCOMPARE(f.model->arrivalCount(), 0);
    QCOMPARE(arrivals, 0);
    QVERIFY(f.model->selectedID().has_value());

    // Several new files found by one scan are one arrival.
    for (int i = 3; i < 6; ++i)
        f.shot(QStringLiteral("Screenshot %1.png").arg(i));
    f.model->refresh(false);
    QTRY_COMPARE(f.model->items().size(), 6);
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
    QCOMPARE(f.model->arrivalCount(), 1);
    QCOMPARE(arrivals, 1);
}

void TestLibraryModel::arrivalThroughTheWatcher()
{
    Fixture f(Watch::inotify);
    f.shot(QStringLiteral("Screenshot old.png"));
    QSignalSpy arrivals(f.model.get(), &LibraryModel::arrivalCountChanged);
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);

    f.shot(QStringLiteral("Screenshot new.png"));
    QTRY_COMPARE(f.model->items().size(), 2);
    QTRY_COMPARE(arrivals.size(), 1);
    QCOMPARE(f.model->arrivalCount(), 1);
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::refreshesDuringAScanGiveOneFollowUp()
{
    Fixture f;
    for (int i = 0; i < 5; ++i)
        f.shot(QStringLiteral("Screenshot %1.png").arg(i));
    f.connectFolder();
    QVERIFY(f.settle());

    ScanCounter scans(*f.model);
    f.model->refresh(false);
    QVERIFY(f.model->isScanning());
    f.model->refresh(false);
    f.model->refresh(false);
    f.model->refresh(false);
    CHECK_CONSISTENT(f);
    QTRY_COMPARE(scans.started, 2);
    QTRY_VERIFY(!f.model->isScanning());
    // A third scan would have started inside the follow-up's completion.
    QCOMPARE(scans.started, 2);
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::unchangedRescanRebuildsNothing()
{
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.shot(QStringLiteral("Screenshot %1.png").arg(i));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 3);
    QVERIFY(f.settle());

    const qint64 rebuilds = f.model->snapshotRevision();
    const int textRevision = f.model->textIndexRevision();
    QSignalSpy itemsChanged(f.model.get(), &LibraryModel::itemsChanged);
    f.model->refresh(false);
    QTRY_VERIFY(!f.model->isScanning());
    QCOMPARE(itemsChanged.size(), 0);
    QCOMPARE(f.model->snapshotRevision(), rebuilds);
    QCOMPARE(f.model->textIndexRevision(), textRevision);
    QVERIFY(!f.model->textIndex().isRunning());
    QVERIFY(!f.model->errorMessage());
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::initialScanOfAnEmptyFolderFeedsTheIndex()
{
    Fixture f;
    f.connectFolder();
    // The scan's list equals the (empty) items, but a first scan still hands it to the index.
    QTRY_VERIFY(!f.model->isScanning());
    QVERIFY(f.model->textIndexRevision() > 0);
    QVERIFY(f.settle());
    QVERIFY(f.model->items().isEmpty());
    QVERIFY(!f.model->selectedID());
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::connectingAnotherFolderDiscardsTheRunningScan()
{
    Fixture f;
    for (int i = 0; i < 20; ++i)
        f.shot(QStringLiteral("Screenshot a%1.png").arg(i));
    const QString other = QDir(f.root.path()).filePath(QStringLiteral("Other"));
    QDir().mkpath(other);
    writeShot(other, QStringLiteral("Screenshot b1.png"));
    writeShot(other, QStringLiteral("Screenshot b2.png"));

    QStringList seen;
    QObject::connect(f.model.get(), &LibraryModel::itemsChanged, f.model.get(),
                     [&] { seen += ids(f.model->items()); });
    f.connectFolder();
    QVERIFY(f.model->isScanning());
    f.connectFolder(other);
    CHECK_CONSISTENT(f);
    QTRY_COMPARE(f.model->items().size(), 2);
    QVERIFY(f.settle());
    for (const QString &name : seen)
        QVERIFY2(name.contains(QLatin1String(" b")), qPrintable(name));
    QCOMPARE(f.preferences->folderPath(), QFileInfo(other).canonicalFilePath());
    QCOMPARE(f.model->arrivalCount(), 0);
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::selectionFollowsFilters_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("pinnedOnly");
    QTest::addColumn<QString>("expected"); // file name of the selection; empty: none

    QTest::newRow("name hides selection") << QStringLiteral("beta") << false << QStringLiteral("Screenshot beta.png");
    QTest::newRow("recognised text") << QStringLiteral("gamma words") << false << QStringLiteral("Screenshot gamma.png");
    QTest::newRow("pinned tab") << QString() << true << QStringLiteral("Screenshot beta.png");
    QTest::newRow("no match") << QStringLiteral("zebra") << false << QString();
    QTest::newRow("selection still visible") << QStringLiteral("screenshot") << false << QStringLiteral("Screenshot alpha.png");
}

void TestLibraryModel::selectionFollowsFilters()
{
    QFETCH(QString, query);
    QFETCH(bool, pinnedOnly);
    QFETCH(QString, expected);

    Fixture f;
    f.shot(QStringLiteral("Screenshot alpha.png"));
    f.shot(QStringLiteral("Screenshot beta.png"));
    f.shot(QStringLiteral("Screenshot gamma.png"));
    f.recognizer->setText(QStringLiteral("Screenshot gamma.png"), QStringLiteral("Gamma\nWORDS here"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 3);
    QVERIFY(f.settle());
    f.model->select(*f.item(QStringLiteral("Screenshot alpha.png")));
    f.model->pin(*f.item(QStringLiteral("Screenshot beta.png")));
    CHECK_CONSISTENT(f);

    f.model->setPinnedOnly(pinnedOnly);
    f.model->setQuery(query);
    CHECK_CONSISTENT(f);
    if (expected.isEmpty()) {
        QVERIFY(f.model->visibleItems().isEmpty());
        QVERIFY(!f.model->selectedID());
        QVERIFY(!f.model->selected());
    } else {
        QVERIFY(f.model->selectedID());
        QCOMPARE(QFileInfo(*f.model->selectedID()).fileName(), expected);
        QCOMPARE(f.model->selected()->id(), *f.model->selectedID());
    }
}

void TestLibraryModel::blankQueryIgnoresTextChanges()
{
    for (const QString &query : {QStringLiteral("  \n "), QStringLiteral("words")}) {
        Fixture f;
        f.shot(QStringLiteral("Screenshot one.png"));
        f.recognizer->hold(QStringLiteral("Screenshot one.png"));
        f.connectFolder();
        QTRY_COMPARE(f.model->items().size(), 1);
        f.model->setQuery(query);
        QTRY_VERIFY(f.model->textIndex().isIndexing());
        const qint64 rebuilds = f.model->snapshotRevision();
        const int textRevision = f.model->textIndexRevision();

        f.recognizer->release();
        QVERIFY(f.settle());
        QVERIFY(f.model->textIndexRevision() > textRevision);
        if (query.trimmed().isEmpty())
            QCOMPARE(f.model->snapshotRevision(), rebuilds);
        else
            QVERIFY(f.model->snapshotRevision() > rebuilds);
        QCOMPARE(f.model->visibleItems().size(), 1);
        CHECK_CONSISTENT(f);
    }
}

void TestLibraryModel::statusLine_data()
{
    QTest::addColumn<bool>("oneFails");
    QTest::addColumn<QString>("final");
    QTest::newRow("all read") << false << QString();
    QTest::newRow("one failed") << true << QStringLiteral("Some text couldn’t be read");
}

void TestLibraryModel::statusLine()
{
    QFETCH(bool, oneFails);
    QFETCH(QString, final);

    Fixture f;
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("Screenshot %1.png").arg(i);
        f.shot(name);
        f.recognizer->hold(name);
    }
    if (oneFails)
        f.recognizer->failing.insert(QStringLiteral("Screenshot 1.png"));
    QCOMPARE(f.model->textIndexStatus(), std::nullopt);
    f.connectFolder();
    QTRY_VERIFY(f.model->textIndex().isIndexing());
    QCOMPARE(f.model->textIndexStatus(), QStringLiteral("Reading text · 0 of 3"));

    f.recognizer->release();
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
    if (final.isEmpty())
        QCOMPARE(f.model->textIndexStatus(), std::nullopt);
    else
        QCOMPARE(f.model->textIndexStatus(), final);
}

void TestLibraryModel::latestIgnoresTabAndQuery()
{
    Fixture f;
    QVERIFY(!f.model->latest());
    for (int i = 0; i < 3; ++i)
        f.shot(QStringLiteral("Screenshot %1.png").arg(i));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 3);
    const Screenshot newest = f.model->items().first();
    const Screenshot other = f.model->items().last();

    f.model->pin(other);
    f.model->setPinnedOnly(true);
    QCOMPARE(f.model->visibleItems(), QList<Screenshot>{other});
    QCOMPARE(f.model->latest(), newest);
    f.model->setPinnedOnly(false);
    f.model->setQuery(QStringLiteral("no such thing"));
    QVERIFY(f.model->visibleItems().isEmpty());
    QCOMPARE(f.model->latest(), newest);
    QCOMPARE(f.model->pinnedCount(), 1);
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::includeAllImagesRescansOnce()
{
    Fixture f;
    f.shot(QStringLiteral("Screenshot 1.png"));
    f.shot(QStringLiteral("Screenshot 2.png"));
    f.shot(QStringLiteral("holiday.png"));
    f.shot(QStringLiteral("diagram.png"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 2);
    QVERIFY(f.settle());

    ScanCounter scans(*f.model);
    f.preferences->setIncludeAllImages(true);
    QTRY_COMPARE(f.model->items().size(), 4);
    QVERIFY(f.settle());
    QCOMPARE(scans.started, 1);
    QCOMPARE(f.model->arrivalCount(), 1);

    f.preferences->setIncludeAllImages(true);
    QCoreApplication::processEvents();
    QVERIFY(!f.model->isScanning());
    QCOMPARE(scans.started, 1);
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::lostFolderKeepsItems_data()
{
    QTest::addColumn<bool>("deleteIt");
    QTest::newRow("moved") << false;
    QTest::newRow("deleted") << true;
}

void TestLibraryModel::lostFolderKeepsItems()
{
    QFETCH(bool, deleteIt);
    Fixture f(Watch::inotify);
    f.shot(QStringLiteral("Screenshot 1.png"));
    f.shot(QStringLiteral("Screenshot 2.png"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 2);
    QVERIFY(f.settle());
    const QList<Screenshot> before = f.model->items();

    if (deleteIt)
        QVERIFY(QDir(f.folder).removeRecursively());
    else
        QVERIFY(QDir().rename(f.folder, f.folder + QStringLiteral(" moved")));
    QTRY_VERIFY(!f.model->connected());
    QCOMPARE(f.model->errorMessage(),
             QStringLiteral("Your screenshot folder moved or became unavailable. Reconnect it to continue."));
    QCOMPARE(f.model->items(), before);
    QVERIFY(f.preferences->hasConnectedFolder());
    QVERIFY(!f.model->isScanning());
    CHECK_CONSISTENT(f);
    f.model->refresh(false); // nothing to scan while disconnected
    QVERIFY(!f.model->isScanning());
}

void TestLibraryModel::unreadableFolderOnRescan()
{
    Fixture f; // the fake watcher reports nothing: only the scan notices
    f.shot(QStringLiteral("Screenshot 1.png"));
    f.connectFolder();
    QTRY_COMPARE(f.model->items().size(), 1);
    QVERIFY(f.settle());
    QVERIFY(QDir(f.folder).removeRecursively());
    f.model->refresh(false);
    QTRY_VERIFY(!f.model->connected());
    QCOMPARE(f.model->errorMessage(),
             QStringLiteral("Your screenshot folder couldn’t be read. Reconnect it to continue."));
    QCOMPARE(f.model->items().size(), 1);
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::connectFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("regular file") << QStringLiteral("file");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("watch refused") << QStringLiteral("refused");
}

void TestLibraryModel::connectFailures()
{
    QFETCH(QString, kind);
    Fixture f;
    QString path = f.folder;
    if (kind == QLatin1String("file")) {
        path = QDir(f.root.path()).filePath(QStringLiteral("plain.txt"));
        QVERIFY(TestSupport::writeFile(path, "not a folder"));
    } else if (kind == QLatin1String("missing")) {
        path = QDir(f.root.path()).filePath(QStringLiteral("nowhere"));
    } else {
        f.events->accepts = false;
    }
    f.connectFolder(path);
    QVERIFY(!f.model->connected());
    QVERIFY(!f.model->isScanning());
    QVERIFY(!f.preferences->hasConnectedFolder());
    QCOMPARE(f.model->errorMessage(),
             QStringLiteral("Brimfold can’t access this folder. Choose it again to grant access."));
    CHECK_CONSISTENT(f);

    // Choosing a good folder afterwards clears the banner.
    f.events->accepts = true;
    f.connectFolder();
    QVERIFY(f.model->connected());
    QVERIFY(!f.model->errorMessage());
    QVERIFY(f.settle());
}

void TestLibraryModel::chooseFolderConnectsAndRemembers()
{
    Fixture f;
    f.shot(QStringLiteral("Screenshot 1.png"));
    f.model->chooseFolder();
    const FolderPicker::Request &request = f.folderPicker->lastRequest;
    QCOMPARE(request.title, QStringLiteral("Connect your screenshot folder"));
    QCOMPARE(request.message, QStringLiteral("Choose the folder where your desktop saves "
                                             "screenshots. Brimfold will make them available automatically."));
    QCOMPARE(request.prompt, QStringLiteral("Connect folder"));
    QCOMPARE(request.startFolder, f.preferences->folderURL());

    f.folderPicker->pending(std::nullopt); // cancelled
    QVERIFY(!f.model->connected());
    QVERIFY(!f.store->contains(QLatin1String(Preferences::folderBookmarkKey)));

    f.model->chooseFolder();
    f.folderPicker->pending(f.folder);
    QVERIFY(f.model->connected());
    QCOMPARE(FolderBookmark::resolve(*f.store->data(QLatin1String(Preferences::folderBookmarkKey))), f.folder);
    QTRY_COMPARE(f.model->items().size(), 1);
    QVERIFY(f.settle());
}

void TestLibraryModel::startReconnectsRememberedFolder()
{
    Fixture f;
    f.shot(QStringLiteral("Screenshot 1.png"));
    f.model->start();
    QVERIFY(!f.model->connected()); // nothing remembered yet

    // The bookmark wins over the stored path; a stale path alone would fail.
    f.preferences->setFolderPath(QDir(f.root.path()).filePath(QStringLiteral("gone")));
    f.preferences->setHasConnectedFolder(true);
    f.store->setData(QLatin1String(Preferences::folderBookmarkKey), *FolderBookmark::create(f.folder));
    f.model->start();
    QVERIFY(f.model->connected());
    QCOMPARE(f.preferences->folderPath(), f.folder);
    QTRY_COMPARE(f.model->items().size(), 1);
    QVERIFY(f.settle());
    CHECK_CONSISTENT(f);
}

void TestLibraryModel::textCacheDirectoryFollowsDemoFlag()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QCOMPARE(LibraryModel::textCacheDirectory({QStringLiteral("brimfold")}),
             data + QStringLiteral("/app.vellum.screenshots/ScreenshotText-v1"));
    QCOMPARE(LibraryModel::textCacheDirectory({QStringLiteral("brimfold"), QStringLiteral("--demo")}),
             data + QStringLiteral("/app.vellum.demo/ScreenshotText-v1"));
    QCOMPARE(LibraryModel::textCacheDirectory({QStringLiteral("--demo-folder")}),
             data + QStringLiteral("/app.vellum.screenshots/ScreenshotText-v1"));
}

QTEST_MAIN(TestLibraryModel)
#include "tst_librarymodel.moc"
