#include "FakeRecognizer.h"
#include "TestSupport.h"

#include "core/Screenshot.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestScreenshotTextIndex final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        m_cache = m_temp->filePath(QStringLiteral("ScreenshotText-v1"));
        m_alwaysConsistent = true;
        m_onChangeHook = nullptr;
        makeIndex();
    }

    void cleanup()
    {
        m_state->release(); // a failed test may leave the worker waiting on the fake
        m_index.reset();
    }

    void emptyListRunsOnceAndPrunes()
    {
        QVERIFY(QDir().mkpath(m_cache));
        QVERIFY(TestSupport::writeFile(m_cache + "/old.json", "{}") && TestSupport::writeFile(m_cache + "/keep.txt", ""));
        bool everIndexing = false;
        m_onChangeHook = [&] { everIndexing = everIndexing || m_index->isIndexing(); };
        m_index->update({});
        QTRY_VERIFY(!m_index->isRunning());
        // By update, by the start of the run, after the cache load, at the end of the run.
        QCOMPARE(m_changes, 4);
        QVERIFY(!everIndexing);
        QCOMPARE(m_index->languageDescription(), (TextRecognitionCapabilities{{QStringLiteral("en-US")}, {}}.description()));
        QCOMPARE(QDir(m_cache).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
    }

    void readsInLibraryOrder()
    {
        const QList<Screenshot> items = makeItems(3);
        m_index->update({items[2], items[0], items[1]});
        QVERIFY(m_index->isIndexing());
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_state->started(), (QStringList{"s2.png", "s0.png", "s1.png"}));
        QVERIFY(!m_index->isIndexing());
        QCOMPARE(m_index->documents().value(items[0].cacheKey()).text(), QStringLiteral("words in s0.png"));
        QCOMPARE(m_index->normalizedText().size(), 3);
        QVERIFY(m_alwaysConsistent);
    }

    void countsTreatFailuresAsCompletedAndPrioritizeJumpsAhead()
    {
        const QList<Screenshot> items = makeItems(10);
        m_state->failuresLeft = {{QStringLiteral("s3.png"), 1}, {QStringLiteral("s4.png"), 1}};
        startHolding(items, {u"s5.png"_qs});
        // Three read, two failed, one in progress.
        QCOMPARE(m_index->documents().size(), 3);
        QCOMPARE(m_index->failedKeys().size(), 2);
        QCOMPARE(m_index->completedCount(), 5);
        QCOMPARE(m_index->totalCount(), 10);
        QVERIFY(m_index->isIndexing());
        m_index->prioritize(items[8]);
        m_state->release(); // the one being read finishes first
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_index->completedCount(), 10);
        QCOMPARE(m_index->failedKeys(), (QSet<QString>{items[3].cacheKey(), items[4].cacheKey()}));
        // Asking for a failed one retries it at once.
        m_index->prioritize(items[3]);
        QCOMPARE(m_index->failedKeys(), QSet<QString>{items[4].cacheKey()});
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_state->started(),
                 (QStringList{"s0.png", "s1.png", "s2.png", "s3.png", "s4.png", "s5.png", "s8.png", "s6.png", "s7.png",
                              "s9.png", "s3.png"}));
        QCOMPARE(m_index->documents().size(), 9);
        QVERIFY(m_alwaysConsistent);
    }

    void retryDuringPruneStartsANewRun()
    {
        const QList<Screenshot> items = makeItems(2);
        m_state->failuresLeft.insert(QStringLiteral("s1.png"), 1);
        bool retried = false;
        // The last failure is followed at once by the prune; this retry runs while it is on its way back.
        m_onChangeHook = [&] {
            if (!retried && m_index->failedKeys().contains(items[1].cacheKey())) {
                retried = true;
                QMetaObject::invokeMethod(this, [this] { m_index->retryFailures(); }, Qt::QueuedConnection);
            }
        };
        m_index->update(items);
        QTRY_VERIFY(retried);
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_state->started(), (QStringList{"s0.png", "s1.png", "s1.png"}));
        QCOMPARE(m_index->documents().size(), 2);
        QVERIFY(m_index->failedKeys().isEmpty() && !m_index->isIndexing());
    }

    void backlogIsReadOnEveryCore()
    {
        makeIndex(2);
        const QList<Screenshot> items = makeItems(5);
        startHolding(items, {u"s0.png"_qs, u"s1.png"_qs});
        QVERIFY(m_index->isIndexing());
        // The first engine free takes the next in library order, whichever it is.
        m_state->release(u"s1.png"_qs);
        QTRY_COMPARE(m_state->started().size(), 3);
        QCOMPARE(m_state->started().last(), u"s2.png"_qs);
        QVERIFY(m_index->documents().contains(items[1].cacheKey()));
        m_state->release();
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_index->documents().size(), 5);
        QVERIFY(m_alwaysConsistent);
        // The index ends the backlog: the extra engine goes (where it runs is the worker's to
        // check); the first waits for the idle release.
        QTRY_COMPARE(m_state->alive.load(), 1);
        QVERIFY(!m_state->started().contains(u"release"_qs));
    }

    void heldIndexStartsOnRelease()
    {
        // Released with nothing asked of it: no run, which would prune the whole cache.
        QVERIFY(QDir().mkpath(m_cache) && TestSupport::writeFile(m_cache + "/old.json", "{}"));
        m_index->setHeld(true);
        m_index->setHeld(false);
        QVERIFY(!m_index->isRunning());
        const QList<Screenshot> items = makeItems(2);
        m_index->setHeld(true);
        m_index->update(items);
        m_index->update(items);
        QVERIFY(m_index->isIndexing() && !m_index->isRunning());
        QCOMPARE(m_index->totalCount(), 2);
        m_index->setHeld(false);
        QVERIFY(m_index->isRunning());
        QTRY_VERIFY(!m_index->isRunning());
        QCOMPARE(m_state->started(), (QStringList{"s0.png", "s1.png"}));
        QCOMPARE(m_state->capabilityQueries.load(), 1);
        QCOMPARE(QDir(m_cache).entryList({QStringLiteral("old.json")}, QDir::Files), QStringList());
        // Stopped while held: the release starts nothing.
        m_index->setHeld(true);
        m_index->update(makeItems(1));
        m_index->stop();
        m_index->setHeld(false);
        QVERIFY(!m_index->isRunning());
    }

    void stopDiscardsLateResults_data()
    {
        QTest::addColumn<int>("cores");
        QTest::addColumn<bool>("destroy"); // the index itself goes, rather than its run
        QTest::newRow("one core") << 1 << false;
        QTest::newRow("two cores") << 2 << false;
        QTest::newRow("destroyed, one core") << 1 << true;
        QTest::newRow("destroyed, two cores") << 2 << true;
    }

    void stopDiscardsLateResults()
    {
        QFETCH(int, cores);
        QFETCH(bool, destroy);
        makeIndex(cores);
        m_state->honourStop = destroy;
        const QList<Screenshot> items = makeItems(3);
        const QStringList held = QStringList{u"s0.png"_qs, u"s1.png"_qs}.mid(0, cores);
        startHolding(items, held);
        if (destroy) {
            // Must stop the engines' work rather than wait for it, and drop what comes back.
            m_index.reset();
            QCoreApplication::processEvents();
            QCOMPARE(m_state->started().size(), held.size());
            QCOMPARE(m_state->alive.load(), 0);
            return;
        }
        m_index->stop();
        QVERIFY(!m_index->isRunning() && !m_index->isIndexing());
        QCOMPARE(m_index->totalCount(), 0);
        // A new run while the old reads still go: what they deliver reaches neither documents nor failures.
        m_index->update(items);
        m_state->release();
        QTRY_VERIFY(!m_index->isRunning());
        QStringList started = m_state->started();
        QStringList expected = QStringList{u"s0.png"_qs, u"s1.png"_qs, u"s2.png"_qs} + held;
        started.sort();
        expected.sort();
        QCOMPARE(started, expected);
        QCOMPARE(m_index->documents().size(), 3);
        QVERIFY(m_index->failedKeys().isEmpty() && m_alwaysConsistent);
    }

    void idleIndexReleasesTheEngineAndReadsAgainOnDemand()
    {
        m_index->setIdleReleaseDelay(std::chrono::milliseconds(1));
        QList<Screenshot> items = makeItems(3);
        // Never while there is something to read, however long a read takes.
        startHolding(items.mid(0, 2), {u"s0.png"_qs});
        QTRY_VERIFY(m_index->isIndexing());
        m_state->release();
        QTRY_COMPARE(m_state->started(), (QStringList{"s0.png", "s1.png", "release"}));
        // A new screenshot starts the engine again; idle once more, it is released once more.
        m_index->update(items);
        QTRY_COMPARE(m_state->started(), (QStringList{"s0.png", "s1.png", "release", "s2.png", "release"}));
        QCOMPARE(m_index->documents().size(), 3);
        // Stopping leaves nothing to do either.
        m_index->stop();
        QTRY_COMPARE(m_state->started().count(QStringLiteral("release")), 3);
    }

private:
    // With a fresh state, which extra recognisers, where there are more cores, share with the first.
    void makeIndex(int cores = 1)
    {
        m_index.reset();
        m_state = std::make_shared<FakeRecognizer::State>();
        m_changes = 0;
        const auto make = [state = m_state] { return std::make_unique<FakeRecognizer>(state, QStringLiteral("fake-v2")); };
        m_index = std::make_unique<ScreenshotTextIndex>(std::make_unique<ScreenshotTextWorker>(m_cache, make(), make, cores));
        connect(m_index.get(), &ScreenshotTextIndex::changed, this, [this] {
            ++m_changes;
            m_alwaysConsistent = m_alwaysConsistent && m_index->isConsistent();
            if (m_onChangeHook)
                m_onChangeHook();
        });
    }
    QList<Screenshot> makeItems(int count)
    {
        QList<Screenshot> items; // the fake never reads the files
        for (int i = 0; i < count; ++i) {
            const QString path = m_temp->filePath(QStringLiteral("s%1.png").arg(i));
            TestSupport::writeFile(path, "pixels");
            const QFileInfo info(path);
            items.append(Screenshot::withResolvedPath(info.canonicalFilePath(), info.birthTime(), info.lastModified(),
                                                      info.size(), 8, 8));
        }
        return items;
    }
    // Updates with the items and returns once the named ones are being recognised and held there.
    void startHolding(const QList<Screenshot> &items, const QStringList &names)
    {
        for (const QString &name : names)
            m_state->hold(name);
        m_index->update(items);
        for (const QString &name : names)
            QTRY_VERIFY(m_state->started().contains(name));
    }

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_cache;
    std::shared_ptr<FakeRecognizer::State> m_state;
    std::unique_ptr<ScreenshotTextIndex> m_index;
    int m_changes = 0;
    bool m_alwaysConsistent = true;
    std::function<void()> m_onChangeHook;
};

QTEST_GUILESS_MAIN(TestScreenshotTextIndex)
#include "tst_screenshottextindex.moc"
