#include "LibraryModelHarness.h"


using namespace harness;

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
    void arrivalsAndUnchangedRescan()
    {
        Fixture f;
        int arrivals = 0;
        QObject::connect(f.model.get(), &LibraryModel::arrivalCountChanged, f.model.get(), [&] { ++arrivals; });
        QVERIFY(f.populate(shotNames(3)));
        QCOMPARE(f.model->arrivalCount(), 0); // the first scan is no arrival
        QVERIFY(f.model->selectedID().has_value());

        // The same items again rebuild nothing.
        const qint64 rebuilds = f.model->snapshotRevision();
        const int textRevision = f.model->textIndex().changeCount();
        QSignalSpy itemsChanged(f.model.get(), &LibraryModel::itemsChanged);
        f.model->refresh(false);
        QTRY_VERIFY(!f.model->isScanning());
        QCOMPARE(itemsChanged.size(), 0);
        QCOMPARE(f.model->snapshotRevision(), rebuilds);
        QCOMPARE(f.model->textIndex().changeCount(), textRevision);
        QVERIFY(!f.model->textIndex().isRunning());

        // Several new files found by one scan are one arrival.
        for (int i = 3; i < 6; ++i)
            f.shot(QStringLiteral("Screenshot new %1.png").arg(i));
        f.model->refresh(false);
        QTRY_COMPARE(f.model->items().size(), 6);
        QVERIFY(f.settle());
        QCOMPARE(f.model->arrivalCount(), 1);
        QCOMPARE(arrivals, 1);
        CHECK_CONSISTENT(f);
    }

    void refreshesDuringAScanGiveOneFollowUp()
    {
        Fixture f;
        QVERIFY(f.populate(shotNames(5)));
        ScanCounter scans(*f.model);
        PoolGate gate;
        f.model->refresh(false);
        QVERIFY(f.model->isScanning());
        for (int i = 0; i < 3; ++i)
            f.model->refresh(false);
        CHECK_CONSISTENT(f);
        gate.open();
        QTRY_COMPARE(scans.started, 2);
        QTRY_VERIFY(!f.model->isScanning());
        QCOMPARE(scans.started, 2); // no third from inside the follow-up's completion
        CHECK_CONSISTENT(f);
    }

    // Qt's raster engine hands large fills to its global pool and waits for them: scans kept
    // there held up painting, and a painting that waits for a scan to finish held up the scan.
    void scansRunWhileQtsOwnPoolIsBusy()
    {
        Fixture f;
        PoolGate qtPool(*QThreadPool::globalInstance());
        QVERIFY(f.populate(shotNames(3)));
        f.shot(QStringLiteral("Screenshot later.png"));
        f.model->refresh(false);
        QTRY_COMPARE(f.model->items().size(), 4);
    }

    void connectingAnotherFolderDiscardsTheRunningScan()
    {
        Fixture f;
        for (int i = 0; i < 20; ++i)
            f.shot(QStringLiteral("Screenshot a%1.png").arg(i));
        const QString other = f.root.filePath(QStringLiteral("Other"));
        QDir().mkpath(other);
        writeShot(other, QStringLiteral("Screenshot b1.png"));
        writeShot(other, QStringLiteral("Screenshot b2.png"));

        QStringList seen;
        QObject::connect(f.model.get(), &LibraryModel::itemsChanged, f.model.get(), [&] {
            for (const Screenshot &s : f.model->items())
                seen.append(s.displayName());
        });
        PoolGate gate;
        f.connectFolder();
        QVERIFY(f.model->isScanning());
        f.connectFolder(other);
        gate.open();
        QTRY_COMPARE(f.model->items().size(), 2);
        QVERIFY(f.settle());
        for (const QString &name : seen)
            QVERIFY2(name.contains(QLatin1String(" b")), qPrintable(name));
        QCOMPARE(f.preferences->folderPath(), QFileInfo(other).canonicalFilePath());
        QCOMPARE(f.model->arrivalCount(), 0);
        CHECK_CONSISTENT(f);
    }

    void selectionFollowsFilters_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("pinnedOnly");
        QTest::addColumn<QString>("expected"); // file name of the selection; empty: none
        QTest::newRow("name hides selection") << "beta" << false << "Screenshot beta.png";
        QTest::newRow("recognised text") << "gamma words" << false << "Screenshot gamma.png";
        QTest::newRow("pinned tab") << QString() << true << "Screenshot beta.png";
        QTest::newRow("no match") << "zebra" << false << QString();
        QTest::newRow("selection still visible") << "screenshot" << false << "Screenshot alpha.png";
    }
    void selectionFollowsFilters()
    {
        QFETCH(QString, query);
        QFETCH(bool, pinnedOnly);
        QFETCH(QString, expected);
        Fixture f;
        f.recognizer->setText(QStringLiteral("Screenshot gamma.png"), QStringLiteral("Gamma\nWORDS here"));
        QVERIFY(f.populate({"Screenshot alpha.png", "Screenshot beta.png", "Screenshot gamma.png"}));
        f.model->select(*f.item(QStringLiteral("Screenshot alpha.png")));
        f.model->pin(*f.item(QStringLiteral("Screenshot beta.png")));
        const Screenshot newest = f.model->items().first();

        f.model->setPinnedOnly(pinnedOnly);
        f.model->setQuery(query);
        CHECK_CONSISTENT(f);
        QCOMPARE(f.model->latest(), newest); // whatever the tab and query
        QCOMPARE(f.model->visibleItems().isEmpty(), expected.isEmpty());
        QCOMPARE(QFileInfo(f.model->selectedID().value_or(QString())).fileName(), expected);
        QCOMPARE(f.model->selected() ? f.model->selected()->id() : QString(), f.model->selectedID().value_or(QString()));
    }

    // While text is read: the status line counts, and only a query with words rebuilds the
    // gallery as texts arrive.
    void readingText_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("oneFails");
        QTest::addColumn<int>("visible");
        QTest::addColumn<std::optional<QString>>("final");
        QTest::newRow("spaces: not rebuilt, all read") << "  \n " << false << 3 << std::optional<QString>();
        QTest::newRow("words: rebuilt, one failed")
            << "words" << true << 2 << std::optional(QStringLiteral("Some text couldn’t be read"));
    }
    void readingText()
    {
        QFETCH(QString, query);
        QFETCH(bool, oneFails);
        QFETCH(int, visible);
        QFETCH(std::optional<QString>, final);
        Fixture f;
        for (const QString &name : shotNames(3)) {
            f.shot(name);
            f.recognizer->hold(name);
        }
        if (oneFails)
            f.recognizer->failing.insert(shotNames(2).last());
        QCOMPARE(f.model->textIndexStatus(), std::nullopt);
        // Held as at start-up: no count shows before the texts kept from earlier runs are in.
        f.model->textIndex().setHeld(true);
        f.connectFolder();
        QTRY_COMPARE(f.model->items().size(), 3);
        f.model->setQuery(query);
        QVERIFY(f.model->textIndex().isIndexing());
        QCOMPARE(f.model->textIndexStatus(), std::nullopt);
        f.model->textIndex().setHeld(false);
        QTRY_COMPARE(f.model->textIndexStatus(), QStringLiteral("Reading text · 0 of 3"));
        const qint64 rebuilds = f.model->snapshotRevision();
        const int textRevision = f.model->textIndex().changeCount();

        f.recognizer->release();
        QVERIFY(f.settle());
        QVERIFY(f.model->textIndex().changeCount() > textRevision);
        QCOMPARE(f.model->snapshotRevision() > rebuilds, !query.trimmed().isEmpty());
        QCOMPARE(f.model->visibleItems().size(), visible);
        QCOMPARE(f.model->textIndexStatus(), final);
        CHECK_CONSISTENT(f);
    }

    void includeAllImagesRescansOnce()
    {
        // The names the user's own tool gives, handed in with the services, count in every scan.
        Fixture f(Watch::fake, {}, ScreenshotNamePatterns({ScreenshotNamePattern::flameshot(u"shot %H-%M")}));
        f.shot(QStringLiteral("holiday.png"));
        f.shot(QStringLiteral("diagram.png"));
        QVERIFY(f.populate({QStringLiteral("shot 17-09.png"), QStringLiteral("Screenshot a.png")}));

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

    void lostFolderShowsOnlyFilesStillThere_data()
    {
        QTest::addColumn<Watch>("watch");
        QTest::addColumn<bool>("deleteIt");
        QTest::addColumn<QString>("message");
        const QString lost = QStringLiteral("Your screenshot folder moved or became unavailable. Reconnect it to continue.");
        QTest::newRow("moved") << Watch::inotify << false << lost;
        QTest::newRow("deleted") << Watch::inotify << true << lost;
        // The fake watcher reports nothing: only the next scan notices.
        QTest::newRow("unreadable on rescan") << Watch::fake << true
            << QStringLiteral("Your screenshot folder couldn’t be read. Reconnect it to continue.");
    }
    void lostFolderShowsOnlyFilesStillThere()
    {
        QFETCH(Watch, watch);
        QFETCH(bool, deleteIt);
        QFETCH(QString, message);
        Fixture f(watch);
        QVERIFY(f.populate(shotNames(1)));
        if (watch == Watch::inotify) { // a new file arrives through the real watcher
            f.shot(QStringLiteral("Screenshot new.png"));
            QTRY_COMPARE(f.model->arrivalCount(), 1);
            QVERIFY(f.settle());
        }
        const LibraryState pinsBefore = f.model->state();

        if (deleteIt)
            QVERIFY(QDir(f.folder).removeRecursively());
        else
            QVERIFY(QDir().rename(f.folder, f.folder + QStringLiteral(" moved")));
        if (watch == Watch::fake)
            f.model->refresh(false);
        QTRY_VERIFY(!f.model->connected());
        QCOMPARE(f.model->errorMessage(), message);
        // No tile may stand for a file that is gone; the pins and the banner stay.
        QTRY_VERIFY(f.model->items().isEmpty());
        QVERIFY(!f.model->selectedID());
        QCOMPARE(f.model->state(), pinsBefore);
        QCOMPARE(f.model->errorMessage(), message);
        QVERIFY(f.preferences->hasConnectedFolder());
        CHECK_CONSISTENT(f);
        f.model->refresh(false); // nothing to scan while disconnected
        QVERIFY(!f.model->isScanning());
    }

    void connectFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("regular file") << "file";
        QTest::newRow("missing") << "missing";
        QTest::newRow("watch refused") << "refused";
    }
    void connectFailures()
    {
        QFETCH(QString, kind);
        Fixture f;
        const bool refused = kind == QLatin1String("refused");
        const QString path = refused ? f.folder : f.root.filePath(kind);
        if (kind == QLatin1String("file"))
            QVERIFY(TestSupport::writeFile(path, "not a folder"));
        f.events->log->refuse = refused;
        f.connectFolder(path);
        QVERIFY(!f.model->connected());
        QVERIFY(!f.model->isScanning());
        QVERIFY(!f.preferences->hasConnectedFolder());
        QCOMPARE(f.model->errorMessage(), QStringLiteral("Brimfold can’t access this folder. Choose it again to grant access."));
        CHECK_CONSISTENT(f);

        // Choosing a good folder afterwards clears the banner. Its first scan finds nothing, the
        // same as the items, yet still hands the list to the text index.
        f.events->log->refuse = false;
        const int textRevision = f.model->textIndex().changeCount();
        f.connectFolder();
        QVERIFY(f.model->connected());
        QVERIFY(!f.model->errorMessage());
        QVERIFY(f.settle());
        QVERIFY(f.model->textIndex().changeCount() > textRevision);
        QVERIFY(!f.model->latest() && !f.model->selectedID());
        CHECK_CONSISTENT(f);
    }

    void chooseFolderThenStartAgain()
    {
        Fixture f;
        f.shot(QStringLiteral("Screenshot 1.png"));
        f.model->start();
        QVERIFY(!f.model->connected()); // nothing remembered yet
        f.model->chooseFolder();
        f.folderPicker->pending(std::nullopt); // cancelled
        QVERIFY(!f.model->connected());
        QVERIFY(!f.preferences->hasConnectedFolder());

        f.model->chooseFolder();
        f.folderPicker->pending(f.folder);
        QVERIFY(f.model->connected());
        QCOMPARE(f.preferences->folderPath(), f.folder);
        QTRY_COMPARE(f.model->items().size(), 1);
        QVERIFY(f.settle());

        // A later start connects the remembered folder again; a vanished one says so.
        f.model->start();
        QVERIFY(f.model->connected());
        QTRY_COMPARE(f.model->items().size(), 1);
        QVERIFY(f.settle());
        f.preferences->setFolderPath(f.root.filePath(QStringLiteral("gone")));
        f.model->start();
        QVERIFY(!f.model->connected());
        QVERIFY(f.model->errorMessage());
        CHECK_CONSISTENT(f);
    }
};

QTEST_MAIN(TestLibraryModel)
#include "tst_librarymodel.moc"
