#include "library/Screenshot.h"
#include "platform/ImageServices.h"
#include "ui/ScreenshotThumbnail.h"
#include "ui/ThumbnailCache.h"

#include "TestSupport.h"

#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <memory>

namespace {

// Decodes nothing: makes a solid image per path, counts calls, and can hold a decode at a
// gate until the test opens it.
class FakeImages final : public ImageServices
{
public:
    std::optional<QSize> pixelSize(const QString &) const override { return std::nullopt; }
    std::optional<QImage> decodeFirstImage(const QString &) const override { return std::nullopt; }

    std::optional<QImage> downscaledImage(const QString &path, int maxPixelSize) const override
    {
        std::shared_ptr<QSemaphore> gate;
        {
            QMutexLocker lock(&m_mutex);
            ++m_calls[path];
            m_threads.insert(QThread::currentThread());
            ++m_running;
            m_maxRunning = std::max(m_maxRunning, m_running);
            gate = m_gates.value(path);
        }
        if (gate)
            gate->acquire();
        QMutexLocker lock(&m_mutex);
        --m_running;
        if (m_failing.contains(path))
            return std::nullopt;
        const QSize size = m_sizes.value(path, QSize(maxPixelSize, maxPixelSize / 2));
        QImage image(size, QImage::Format_RGB32);
        image.fill(m_colours.value(path, Qt::gray));
        return image;
    }

    void setGate(const QString &path) { QMutexLocker l(&m_mutex); m_gates.insert(path, std::make_shared<QSemaphore>()); }
    void open(const QString &path) { QMutexLocker l(&m_mutex); m_gates.value(path)->release(1000); }
    void setFailing(const QString &path, bool failing)
    {
        QMutexLocker l(&m_mutex);
        if (failing)
            m_failing.insert(path);
        else
            m_failing.remove(path);
    }
    void setImage(const QString &path, QSize size, QColor colour)
    {
        QMutexLocker l(&m_mutex);
        m_sizes.insert(path, size);
        m_colours.insert(path, colour);
    }
    int calls(const QString &path) const { QMutexLocker l(&m_mutex); return m_calls.value(path); }
    int maxRunning() const { QMutexLocker l(&m_mutex); return m_maxRunning; }
    int started() const
    {
        QMutexLocker l(&m_mutex);
        int total = 0;
        for (const int n : m_calls)
            total += n;
        return total;
    }
    QSet<QThread *> threads() const { QMutexLocker l(&m_mutex); return m_threads; }

private:
    mutable QMutex m_mutex;
    mutable QHash<QString, int> m_calls;
    mutable QSet<QThread *> m_threads;
    mutable int m_running = 0;
    mutable int m_maxRunning = 0;
    QHash<QString, std::shared_ptr<QSemaphore>> m_gates;
    QSet<QString> m_failing;
    QHash<QString, QSize> m_sizes;
    QHash<QString, QColor> m_colours;
};

Screenshot shot(const QString &path, qint64 bytes = 1000, int minute = 0)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(10, minute), Qt::UTC);
    return Screenshot::withResolvedPath(path, when, when, bytes, 800, 600);
}

std::optional<QImage> await(QFuture<std::optional<QImage>> future)
{
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, 10000))
        return std::nullopt;
    return future.result();
}

} // namespace

class TestThumbnailCache : public QObject
{
    Q_OBJECT

private slots:
    void keyIsCacheKeyAndPixels();
    void defaultLimits();
    void queuedRequestIsAnsweredByTheRecheck();
    void decodesAtMostTwoAtOnceOffTheMainThread();
    void failuresAreRetried();
    void evictsBeyondTheLimits_data();
    void evictsBeyondTheLimits();
    void requestStartsOneLoadPerKey();
    void decodesARealFile();
    void thumbnailViewShowsPlaceholderThenImage();
    void thumbnailViewDropsAnEarlierIdentity();
};

void TestThumbnailCache::keyIsCacheKeyAndPixels()
{
    const Screenshot item = shot(QStringLiteral("/shots/a.png"));
    QCOMPARE(ThumbnailCache::key(item, 440), item.cacheKey() + QStringLiteral(":440"));
    QVERIFY(ThumbnailCache::key(item, 440) != ThumbnailCache::key(item, 880));
    // A rewritten file (new size or date) never meets its old thumbnail.
    QVERIFY(ThumbnailCache::key(item, 440) != ThumbnailCache::key(shot(item.id(), 2000), 440));
    QVERIFY(ThumbnailCache::key(item, 440) != ThumbnailCache::key(shot(item.id(), 1000, 5), 440));
}

void TestThumbnailCache::defaultLimits()
{
    FakeImages images;
    const ThumbnailCache cache(images);
    QCOMPARE(cache.limits().totalCost, qint64(50331648));
    QCOMPARE(cache.limits().count, 160);
}

void TestThumbnailCache::queuedRequestIsAnsweredByTheRecheck()
{
    FakeImages images;
    images.setGate(QStringLiteral("/other"));
    images.setGate(QStringLiteral("/a"));
    ThumbnailCache cache(images);
    const Screenshot a = shot(QStringLiteral("/a"));

    // Both threads busy: the second request for "/a" waits in the queue behind the first.
    auto other = cache.image(shot(QStringLiteral("/other")), 440);
    auto first = cache.image(a, 440);
    auto second = cache.image(a, 440);
    QTRY_COMPARE(images.started(), 2);
    QVERIFY(!second.isFinished());

    images.open(QStringLiteral("/a"));
    QVERIFY(await(first).has_value());
    const std::optional<QImage> answered = await(second);
    QVERIFY(answered.has_value());
    QCOMPARE(answered->size(), QSize(440, 220));
    QCOMPARE(images.calls(QStringLiteral("/a")), 1);

    images.open(QStringLiteral("/other"));
    QVERIFY(await(other).has_value());
}

void TestThumbnailCache::decodesAtMostTwoAtOnceOffTheMainThread()
{
    FakeImages images;
    ThumbnailCache cache(images);
    QList<QThread *> signalThreads;
    connect(&cache, &ThumbnailCache::thumbnailLoaded, this,
            [&](const QString &, const QImage &) { signalThreads << QThread::currentThread(); });
    QList<QFuture<std::optional<QImage>>> futures;
    for (const char *path : {"/1", "/2", "/3", "/4", "/5"}) {
        images.setGate(QLatin1String(path));
        futures << cache.image(shot(QLatin1String(path)), 200);
    }
    QTRY_COMPARE(images.started(), 2);
    for (const char *path : {"/1", "/2", "/3", "/4", "/5"})
        images.open(QLatin1String(path));

    QThread *continuationThread = nullptr;
    futures.last().then(this, [&](const std::optional<QImage> &) {
        continuationThread = QThread::currentThread();
    });
    for (const auto &future : futures)
        QVERIFY(await(future).has_value());
    QTRY_VERIFY(continuationThread != nullptr);

    QCOMPARE(images.maxRunning(), 2);
    QVERIFY(!images.threads().contains(QThread::currentThread()));
    QCOMPARE(signalThreads.size(), 5);
    for (QThread *thread : signalThreads)
        QCOMPARE(thread, QThread::currentThread());
    QCOMPARE(continuationThread, QThread::currentThread());
}

void TestThumbnailCache::failuresAreRetried()
{
    FakeImages images;
    const QString path = QStringLiteral("/broken.png");
    images.setFailing(path, true);
    ThumbnailCache cache(images);
    QSignalSpy failed(&cache, &ThumbnailCache::thumbnailFailed);
    const Screenshot item = shot(path);

    QVERIFY(!await(cache.image(item, 440)).has_value());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(), ThumbnailCache::key(item, 440));
    QVERIFY(!cache.cachedImage(item, 440).has_value());
    QCOMPARE(cache.count(), 0);

    images.setFailing(path, false);
    QVERIFY(await(cache.image(item, 440)).has_value());
    QCOMPARE(images.calls(path), 2);
    QVERIFY(cache.cachedImage(item, 440).has_value());
}

void TestThumbnailCache::evictsBeyondTheLimits_data()
{
    QTest::addColumn<qint64>("costLimit");
    QTest::addColumn<int>("countLimit");
    QTest::addColumn<int>("kept");

    // Each thumbnail is 100 × 50 pixels of 4 bytes: 20,000 bytes.
    QTest::newRow("count limit") << qint64(1'000'000) << 3 << 3;
    QTest::newRow("cost limit") << qint64(60'000) << 160 << 3;
    QTest::newRow("cost limit between sizes") << qint64(50'000) << 160 << 2;
}

void TestThumbnailCache::evictsBeyondTheLimits()
{
    QFETCH(qint64, costLimit);
    QFETCH(int, countLimit);
    QFETCH(int, kept);

    FakeImages images;
    ThumbnailCache cache(images, ThumbnailCache::Limits{costLimit, countLimit});
    QList<Screenshot> items;
    for (int i = 0; i < kept; ++i) {
        items << shot(QStringLiteral("/%1").arg(i));
        QVERIFY(await(cache.image(items.last(), 100)).has_value());
    }
    QCOMPARE(cache.count(), kept);
    QCOMPARE(cache.totalCost(), qint64(kept) * 20'000);

    // The oldest was just used, so the next insertion evicts the second instead.
    QVERIFY(cache.cachedImage(items.first(), 100).has_value());
    const Screenshot newest = shot(QStringLiteral("/new"));
    QVERIFY(await(cache.image(newest, 100)).has_value());
    QCOMPARE(cache.count(), kept);
    QVERIFY(cache.totalCost() <= costLimit);
    QVERIFY(cache.cachedImage(newest, 100).has_value());
    QVERIFY(cache.cachedImage(items.first(), 100).has_value());
    QVERIFY(!cache.cachedImage(items.at(1), 100).has_value());

    // A thumbnail bigger than the whole budget (200 × 200 × 4 bytes) is handed out but not
    // kept: storing it would push out everything else.
    if (costLimit < 160'000) {
        const Screenshot huge = shot(QStringLiteral("/huge"));
        images.setImage(huge.id(), QSize(200, 200), Qt::red);
        QVERIFY(await(cache.image(huge, 200)).has_value());
        QVERIFY(!cache.cachedImage(huge, 200).has_value());
        QCOMPARE(cache.count(), kept);
    }
}

void TestThumbnailCache::requestStartsOneLoadPerKey()
{
    FakeImages images;
    images.setGate(QStringLiteral("/a"));
    ThumbnailCache cache(images);
    QSignalSpy loaded(&cache, &ThumbnailCache::thumbnailLoaded);
    const Screenshot a = shot(QStringLiteral("/a"));

    QVERIFY(cache.request(a, 440));
    QVERIFY(cache.isLoading(ThumbnailCache::key(a, 440)));
    QVERIFY(!cache.request(a, 440)); // already on its way
    images.open(QStringLiteral("/a"));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toString(), ThumbnailCache::key(a, 440));
    QCOMPARE(loaded.first().at(1).value<QImage>().size(), QSize(440, 220));
    QVERIFY(!cache.isLoading(ThumbnailCache::key(a, 440)));
    QVERIFY(!cache.request(a, 440)); // cached
    QCOMPARE(images.calls(QStringLiteral("/a")), 1);
    QCOMPARE(loaded.size(), 1);
}

void TestThumbnailCache::decodesARealFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Screenshot 2024-05-01.png"));
    QImage picture(1000, 500, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    QVERIFY(TestSupport::writeImage(path, picture, "png"));
    const Screenshot item = Screenshot::withResolvedPath(path, QDateTime::currentDateTimeUtc(),
                                                         QDateTime::currentDateTimeUtc(),
                                                         QFileInfo(path).size(), 1000, 500);
    ThumbnailCache cache(ImageServices::system());
    const std::optional<QImage> thumbnail = await(cache.image(item, 440));
    QVERIFY(thumbnail.has_value());
    QCOMPARE(thumbnail->size(), QSize(440, 220));
    QCOMPARE(thumbnail->pixelColor(100, 100), QColor(30, 120, 200));
    QVERIFY(cache.cachedImage(item, 440).has_value());
}

void TestThumbnailCache::thumbnailViewShowsPlaceholderThenImage()
{
    FakeImages images;
    images.setGate(QStringLiteral("/a"));
    images.setImage(QStringLiteral("/a"), QSize(40, 20), Qt::red);
    ThumbnailCache cache(images);
    ScreenshotThumbnail view(cache, shot(QStringLiteral("/a")), 40, true);
    view.resize(80, 80);
    QVERIFY(!view.image().has_value());
    view.show();
    QVERIFY(!view.image().has_value()); // placeholder while decoding
    images.open(QStringLiteral("/a"));
    QTRY_VERIFY(view.image().has_value());
    // Fitted: the 2:1 image is letterboxed, so the top row stays background.
    const QImage shown = view.grab().toImage();
    QCOMPARE(QColor(shown.pixel(40, 40)), QColor(Qt::red));
    QVERIFY(QColor(shown.pixel(40, 2)) != QColor(Qt::red));

    view.setFit(false);
    QCOMPARE(QColor(view.grab().toImage().pixel(40, 2)), QColor(Qt::red));
}

void TestThumbnailCache::thumbnailViewDropsAnEarlierIdentity()
{
    FakeImages images;
    images.setGate(QStringLiteral("/old"));
    images.setImage(QStringLiteral("/old"), QSize(40, 40), Qt::red);
    images.setImage(QStringLiteral("/new"), QSize(40, 40), Qt::blue);
    ThumbnailCache cache(images);
    QSignalSpy loaded(&cache, &ThumbnailCache::thumbnailLoaded);
    ScreenshotThumbnail view(cache, shot(QStringLiteral("/old")), 40, true);
    view.resize(40, 40);
    view.show();
    QTRY_COMPARE(images.calls(QStringLiteral("/old")), 1);

    view.setItem(shot(QStringLiteral("/new")));
    QTRY_VERIFY(view.image().has_value());
    QCOMPARE(view.image()->pixelColor(0, 0), QColor(Qt::blue));

    images.open(QStringLiteral("/old"));
    const QString oldKey = ThumbnailCache::key(shot(QStringLiteral("/old")), 40);
    QTRY_VERIFY(std::any_of(loaded.cbegin(), loaded.cend(),
                            [&](const QList<QVariant> &args) { return args.first() == oldKey; }));
    QCOMPARE(view.image()->pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(view.identity(), ThumbnailCache::key(shot(QStringLiteral("/new")), 40));
}

QTEST_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
