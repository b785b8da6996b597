#include "library/Screenshot.h"
#include "text/ScreenshotTextIndex.h"
#include "text/ScreenshotTextWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Shared between the test and the fake recogniser inside the worker.
struct FakeState final
{
    std::mutex mutex;
    std::condition_variable_any released;
    QSet<QString> held;                 // file names whose recognition waits for release()
    QHash<QString, int> failuresLeft;   // file names that fail this many times first
    QStringList order;                  // file names in the order recognition began
    std::atomic<bool> capabilitiesFail{false};
    // Whether a held recognition ends early when asked to stop, as a real engine does.
    std::atomic<bool> honourStop{false};

    void hold(const QString &name)
    {
        const std::lock_guard lock(mutex);
        held.insert(name);
    }
    void release()
    {
        {
            const std::lock_guard lock(mutex);
            held.clear();
        }
        released.notify_all();
    }
    QStringList started()
    {
        const std::lock_guard lock(mutex);
        return order;
    }
};

class FakeRecognizer final : public ScreenshotTextRecognizing
{
public:
    explicit FakeRecognizer(std::shared_ptr<FakeState> state) : m_state(std::move(state)) {}

    CapabilitiesResult capabilities() override
    {
        const std::lock_guard lock(m_state->mutex);
        if (m_state->capabilitiesFail)
            return TextRecognitionError::engineFailure;
        return TextRecognitionCapabilities{{QStringLiteral("en-US")}, QStringLiteral("fake-v2")};
    }

    // Unless told otherwise, ignores the stop request: a result that arrives late must still
    // be dropped.
    TextResult recognize(const QString &imagePath, const TextRecognitionCapabilities &,
                         std::stop_token stop) override
    {
        const QString name = QFileInfo(imagePath).fileName();
        std::unique_lock lock(m_state->mutex);
        m_state->order.append(name);
        const auto isReleased = [&] { return !m_state->held.contains(name); };
        if (m_state->honourStop) {
            if (!m_state->released.wait(lock, stop, isReleased))
                return TextRecognitionError::cancelled;
        } else {
            m_state->released.wait(lock, isReleased);
        }
        int &failures = m_state->failuresLeft[name];
        if (failures > 0) {
            --failures;
            return TextRecognitionError::unreadableImage;
        }
        return QStringLiteral("words in %1").arg(name);
    }

private:
    std::shared_ptr<FakeState> m_state;
};

} // namespace

class TestScreenshotTextIndex final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructionStartsNothing();
    void emptyListRunsOnceAndPrunes();
    void readsInLibraryOrder();
    void warmCacheLoadsWithoutRecognition();
    void countsTreatFailuresAsCompleted();
    void prioritizeJumpsAhead();
    void prioritizeRetriesAFailedScreenshot();
    void updateDuringRunIsPickedUpByThatRun();
    void retryDuringPruneStartsANewRun();
    void stopDiscardsLateResults();
    void unavailableRecogniserFailsEverything();
    void destroyedDuringRecognition();

private:
    QList<Screenshot> makeItems(int count);
    void makeIndex();
    void waitUntilIdle();

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_cache;
    std::shared_ptr<FakeState> m_state;
    std::unique_ptr<ScreenshotTextIndex> m_index;
    int m_changes = 0;
    bool m_alwaysConsistent = true;
    std::function<void()> m_onChangeHook;
};

void TestScreenshotTextIndex::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    m_cache = m_temp->filePath(QStringLiteral("ScreenshotText-v1"));
    m_state = std::make_shared<FakeState>();
    m_changes = 0;
    m_alwaysConsistent = true;
    m_onChangeHook = nullptr;
    makeIndex();
}

void TestScreenshotTextIndex::cleanup()
{
    // A failed test may leave the worker waiting on the fake.
    m_state->release();
    m_index.reset();
    m_temp.reset();
}

void TestScreenshotTextIndex::makeIndex()
{
    m_index.reset();
    m_index = std::make_unique<ScreenshotTextIndex>(std::make_unique<ScreenshotTextWorker>(
        m_cache, std::make_unique<FakeRecognizer>(m_state)));
    m_index->setOnChange([this] {
        ++m_changes;
        m_alwaysConsistent = m_alwaysConsistent && m_index->isConsistent();
        if (m_onChangeHook)
            m_onChangeHook();
    });
}

QList<Screenshot> TestScreenshotTextIndex::makeItems(int count)
{
    QList<Screenshot> items;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < count; ++i) {
        const QString path = m_temp->filePath(QStringLiteral("s%1.png").arg(i));
        if (!image.save(path))
            return {};
        const QFileInfo info(path);
        items.append(Screenshot::withResolvedPath(info.canonicalFilePath(), info.birthTime(),
                                                  info.lastModified(), info.size(), 8, 8));
    }
    return items;
}

void TestScreenshotTextIndex::waitUntilIdle()
{
    QTRY_VERIFY(!m_index->isRunning());
}

void TestScreenshotTextIndex::constructionStartsNothing()
{
    QCOMPARE(m_index->languageDescription(), QStringLiteral("Checking text recognition…"));
    QVERIFY(!m_index->isRunning());
    QVERIFY(!m_index->isIndexing());
    QCOMPARE(m_index->completedCount(), 0);
    QCOMPARE(m_index->totalCount(), 0);
    QCOMPARE(m_changes, 0);
    QVERIFY(!QFileInfo::exists(m_cache));
}

void TestScreenshotTextIndex::emptyListRunsOnceAndPrunes()
{
    QVERIFY(QDir().mkpath(m_cache));
    QVERIFY(QFile(m_cache + QStringLiteral("/old.json")).open(QIODevice::WriteOnly));
    QVERIFY(QFile(m_cache + QStringLiteral("/keep.txt")).open(QIODevice::WriteOnly));
    bool everIndexing = false;
    m_onChangeHook = [&] { everIndexing = everIndexing || m_index->isIndexing(); };

    m_index->update({});
    waitUntilIdle();
    // By update, by the start of the run, after the cache load, at the end of the run.
    QCOMPARE(m_changes, 4);
    QVERIFY(!everIndexing);
    QCOMPARE(m_index->languageDescription(),
             (TextRecognitionCapabilities{{QStringLiteral("en-US")}, {}}.description()));
    QCOMPARE(QDir(m_cache).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

void TestScreenshotTextIndex::readsInLibraryOrder()
{
    QList<Screenshot> items = makeItems(3);
    const QList<Screenshot> libraryOrder = {items[2], items[0], items[1]};
    m_index->update(libraryOrder);
    QVERIFY(m_index->isIndexing());
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s2.png", "s0.png", "s1.png"}));
    QVERIFY(!m_index->isIndexing());
    QCOMPARE(m_index->documents().value(items[0].cacheKey()).text(), QStringLiteral("words in s0.png"));
    QCOMPARE(m_index->normalizedText().size(), 3);
    QVERIFY(m_alwaysConsistent);
}

void TestScreenshotTextIndex::warmCacheLoadsWithoutRecognition()
{
    const QList<Screenshot> items = makeItems(4);
    m_index->update(items);
    waitUntilIdle();
    QCOMPARE(m_state->started().size(), 4);

    // A new index over the same cache finds everything in its one cache load.
    makeIndex();
    m_changes = 0;
    m_index->update(items);
    waitUntilIdle();
    QCOMPARE(m_state->started().size(), 4);
    QCOMPARE(m_index->documents().size(), 4);
    QCOMPARE(m_changes, 4);
}

void TestScreenshotTextIndex::countsTreatFailuresAsCompleted()
{
    const QList<Screenshot> items = makeItems(10);
    m_state->failuresLeft.insert(QStringLiteral("s3.png"), 1);
    m_state->failuresLeft.insert(QStringLiteral("s4.png"), 1);
    m_state->hold(QStringLiteral("s5.png"));

    m_index->update(items);
    QCOMPARE(m_index->completedCount(), 0);
    QCOMPARE(m_index->totalCount(), 10);
    QTRY_VERIFY(m_state->started().contains(QStringLiteral("s5.png")));
    // Three read, two failed, one in progress.
    QCOMPARE(m_index->documents().size(), 3);
    QCOMPARE(m_index->failedKeys().size(), 2);
    QCOMPARE(m_index->completedCount(), 5);
    QCOMPARE(m_index->totalCount(), 10);
    QVERIFY(m_index->isIndexing());

    m_state->release();
    waitUntilIdle();
    QCOMPARE(m_index->completedCount(), 10);
    QCOMPARE(m_index->failedKeys(), (QSet<QString>{items[3].cacheKey(), items[4].cacheKey()}));
    QVERIFY(!m_index->isIndexing());
    QVERIFY(m_alwaysConsistent);
}

void TestScreenshotTextIndex::prioritizeJumpsAhead()
{
    const QList<Screenshot> items = makeItems(5);
    m_state->hold(QStringLiteral("s0.png"));
    m_index->update(items);
    QTRY_VERIFY(m_state->started().contains(QStringLiteral("s0.png")));
    m_index->prioritize(items[3]);
    // The one being read finishes first.
    m_state->release();
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s0.png", "s3.png", "s1.png", "s2.png", "s4.png"}));
}

void TestScreenshotTextIndex::prioritizeRetriesAFailedScreenshot()
{
    const QList<Screenshot> items = makeItems(3);
    m_state->failuresLeft.insert(QStringLiteral("s1.png"), 1);
    m_index->update(items);
    waitUntilIdle();
    QCOMPARE(m_index->failedKeys(), QSet<QString>{items[1].cacheKey()});

    m_index->prioritize(items[1]);
    QVERIFY(m_index->failedKeys().isEmpty());
    QVERIFY(m_index->isIndexing());
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s0.png", "s1.png", "s2.png", "s1.png"}));
    QCOMPARE(m_index->documents().size(), 3);
}

void TestScreenshotTextIndex::updateDuringRunIsPickedUpByThatRun()
{
    const QList<Screenshot> items = makeItems(3);
    m_state->hold(QStringLiteral("s0.png"));
    m_index->update({items[0], items[1]});
    QTRY_VERIFY(m_state->started().contains(QStringLiteral("s0.png")));

    // s0 leaves while it is being read; s2 arrives at the front.
    const int changesBefore = m_changes;
    m_index->update({items[2], items[1]});
    QCOMPARE(m_changes, changesBefore + 1); // no second run started
    m_state->release();
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s0.png", "s2.png", "s1.png"}));
    QCOMPARE(m_index->documents().size(), 2);
    QVERIFY(!m_index->documents().contains(items[0].cacheKey()));
    QVERIFY(m_index->failedKeys().isEmpty());
    QVERIFY(m_alwaysConsistent);
}

void TestScreenshotTextIndex::retryDuringPruneStartsANewRun()
{
    const QList<Screenshot> items = makeItems(2);
    m_state->failuresLeft.insert(QStringLiteral("s1.png"), 1);
    bool retried = false;
    // The failure of the last screenshot is followed at once by the prune; a retry queued
    // from here runs while that prune is still on its way back.
    m_onChangeHook = [&] {
        if (!retried && m_index->failedKeys().contains(items[1].cacheKey())) {
            retried = true;
            QMetaObject::invokeMethod(this, [this] { m_index->retryFailures(); }, Qt::QueuedConnection);
        }
    };
    m_index->update(items);
    QTRY_VERIFY(retried);
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s0.png", "s1.png", "s1.png"}));
    QCOMPARE(m_index->documents().size(), 2);
    QVERIFY(m_index->failedKeys().isEmpty());
    QVERIFY(!m_index->isIndexing());
}

void TestScreenshotTextIndex::stopDiscardsLateResults()
{
    const QList<Screenshot> items = makeItems(2);
    m_state->hold(QStringLiteral("s0.png"));
    m_index->update(items);
    QTRY_VERIFY(m_state->started().contains(QStringLiteral("s0.png")));

    m_index->stop();
    QVERIFY(!m_index->isRunning());
    QVERIFY(!m_index->isIndexing());
    QCOMPARE(m_index->completedCount(), 0);
    QCOMPARE(m_index->totalCount(), 0);
    QCOMPARE(m_index->languageDescription(),
             (TextRecognitionCapabilities{{QStringLiteral("en-US")}, {}}.description()));

    // A new run over the same list while the old read is still going: whatever the old
    // read delivers must reach neither the documents nor the failures.
    m_index->update(items);
    m_state->release();
    waitUntilIdle();
    QCOMPARE(m_state->started(), (QStringList{"s0.png", "s0.png", "s1.png"}));
    QCOMPARE(m_index->documents().size(), 2);
    QVERIFY(m_index->failedKeys().isEmpty());
    QVERIFY(m_alwaysConsistent);
}

void TestScreenshotTextIndex::unavailableRecogniserFailsEverything()
{
    m_state->capabilitiesFail = true;
    const QList<Screenshot> items = makeItems(3);
    m_index->update(items);
    waitUntilIdle();
    QCOMPARE(m_index->languageDescription(), QStringLiteral("Text recognition is temporarily unavailable"));
    QCOMPARE(m_index->failedKeys().size(), 3);
    QCOMPARE(m_index->completedCount(), 3);
    QVERIFY(m_state->started().isEmpty());

    m_state->capabilitiesFail = false;
    m_index->retryFailures();
    waitUntilIdle();
    QCOMPARE(m_index->documents().size(), 3);
    QVERIFY(m_index->failedKeys().isEmpty());
}

void TestScreenshotTextIndex::destroyedDuringRecognition()
{
    m_state->honourStop = true;
    m_state->hold(QStringLiteral("s0.png"));
    m_index->update(makeItems(2));
    QTRY_VERIFY(m_state->started().contains(QStringLiteral("s0.png")));
    // Must stop the engine's work rather than wait for it, and drop what comes back.
    m_index.reset();
    QCoreApplication::processEvents();
    QCOMPARE(m_state->started(), QStringList{QStringLiteral("s0.png")});
}

QTEST_GUILESS_MAIN(TestScreenshotTextIndex)
#include "tst_screenshottextindex.moc"
