#include "FakeImages.h"
#include "ui/gallery/grid/ScreenshotThumbnail.h"
#include "ui/gallery/grid/ThumbnailCache.h"
#include "ui/design/BrimfoldDesign.h"

#include <QPainter>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {

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
    void queuedRequestIsAnsweredFromTheCache()
    {
        FakeImages images;
        images.setGate(QStringLiteral("/other"));
        images.setGate(QStringLiteral("/a"));
        ThumbnailCache cache(images);
        const Screenshot a = shot(QStringLiteral("/a"));
        const QString key = ThumbnailCache::key(a, 440);
        // A rewritten file (new size or date) never meets its old thumbnail.
        QVERIFY(key != ThumbnailCache::key(shot(a.id(), 2000), 440));
        QVERIFY(key != ThumbnailCache::key(shot(a.id(), 1000, 5), 440));

        // Both threads busy: the second request for "/a" waits in the queue behind the first.
        auto other = cache.image(shot(QStringLiteral("/other")), 440);
        auto first = cache.image(a, 440);
        QVERIFY(cache.isLoading(key));
        QVERIFY(!cache.request(a, 440)); // already on its way
        auto second = cache.image(a, 440);
        QTRY_COMPARE(images.started(), 2);
        QVERIFY(!second.isFinished());

        images.open(QStringLiteral("/a"));
        QVERIFY(await(first).has_value());
        const std::optional<QImage> answered = await(second);
        QVERIFY(answered.has_value());
        QCOMPARE(answered->size(), QSize(440, 220));
        QCOMPARE(images.calls(QStringLiteral("/a")), 1);
        QVERIFY(!cache.isLoading(key));
        QVERIFY(!cache.request(a, 440)); // cached
        images.open(QStringLiteral("/other"));
        QVERIFY(await(other).has_value());
    }

    void decodesAtMostTwoAtOnceAndDeliversOnTheMainThread()
    {
        FakeImages images;
        ThumbnailCache cache(images);
        QList<QThread *> signalThreads;
        connect(&cache, &ThumbnailCache::thumbnailLoaded, this,
                [&](const QString &, const QImage &) { signalThreads << QThread::currentThread(); });
        const QStringList paths{"/1", "/2", "/3", "/4", "/5"};
        QList<QFuture<std::optional<QImage>>> futures;
        for (const QString &path : paths) {
            images.setGate(path);
            futures << cache.image(shot(path), 200);
        }
        QTRY_COMPARE(images.started(), 2);
        for (const QString &path : paths)
            images.open(path);

        QThread *continuationThread = nullptr;
        futures.last().then(this, [&](const std::optional<QImage> &) {
            continuationThread = QThread::currentThread();
        });
        for (const auto &future : futures)
            QVERIFY(await(future).has_value());
        QTRY_VERIFY(continuationThread != nullptr);

        QCOMPARE(images.maxRunning, 2);
        QVERIFY(!images.threads.contains(QThread::currentThread()));
        QCOMPARE(signalThreads, QList<QThread *>(5, QThread::currentThread()));
        QCOMPARE(continuationThread, QThread::currentThread());
    }

    void decodingWaitsForTheEventLoop()
    {
        // A tile asks while its frame is painted; the decode starts only once the event loop runs
        // again. A cache gone before then decodes nothing and cancels what it was asked for.
        FakeImages images;
        const Screenshot item = shot(QStringLiteral("/a"));
        QFuture<std::optional<QImage>> dropped;
        {
            ThumbnailCache cache(images);
            dropped = cache.image(item, 100);
            QVERIFY(cache.isLoading(ThumbnailCache::key(item, 100)));
        }
        QVERIFY(dropped.isCanceled());
        QCOMPARE(images.calls(item.id()), 0);
    }

    void failuresAreRetried()
    {
        FakeImages images;
        const QString path = QStringLiteral("/broken.png");
        images.failing.insert(path);
        ThumbnailCache cache(images);
        QSignalSpy failed(&cache, &ThumbnailCache::thumbnailFailed);
        const Screenshot item = shot(path);

        QVERIFY(!await(cache.image(item, 440)).has_value());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().toString(), ThumbnailCache::key(item, 440));
        QCOMPARE(cache.count(), 0);

        images.failing.clear();
        QVERIFY(await(cache.image(item, 440)).has_value());
        QCOMPARE(images.calls(path), 2);
        QVERIFY(cache.cachedImage(item, 440).has_value());
    }

    void evictsBeyondTheLimits_data()
    {
        QTest::addColumn<qint64>("costLimit");
        QTest::addColumn<int>("countLimit");
        QTest::addColumn<int>("kept");
        // Each thumbnail is 100 × 50 pixels of 4 bytes: 20,000 bytes.
        QTest::newRow("count limit") << qint64(1000000) << 3 << 3;
        QTest::newRow("cost limit") << qint64(60000) << 160 << 3;
        QTest::newRow("cost limit between sizes") << qint64(50000) << 160 << 2;
    }

    void evictsBeyondTheLimits()
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
        QCOMPARE(cache.totalCost(), qint64(kept) * 20000);

        // The oldest was just used, so the next insertion evicts the second instead.
        QVERIFY(cache.cachedImage(items.first(), 100).has_value());
        const Screenshot newest = shot(QStringLiteral("/new"));
        QVERIFY(await(cache.image(newest, 100)).has_value());
        QCOMPARE(cache.count(), kept);
        QVERIFY(cache.totalCost() <= costLimit);
        QVERIFY(cache.cachedImage(newest, 100).has_value());
        QVERIFY(cache.cachedImage(items.first(), 100).has_value());
        QVERIFY(!cache.cachedImage(items.at(1), 100).has_value());

        // A thumbnail bigger than the whole budget is handed out but not kept: storing it would
        // push out everything else.
        if (costLimit < 160000) {
            const Screenshot huge = shot(QStringLiteral("/huge"));
            images.sizes.insert(huge.id(), QSize(200, 200));
            QVERIFY(await(cache.image(huge, 200)).has_value());
            QVERIFY(!cache.cachedImage(huge, 200).has_value());
            QCOMPARE(cache.count(), kept);
        }
    }

    void thumbnailView()
    {
        FakeImages images;
        images.setGate(QStringLiteral("/old"));
        images.sizes.insert(QStringLiteral("/new"), QSize(40, 20));
        images.colours.insert(QStringLiteral("/new"), Qt::red);
        ThumbnailCache cache(images);
        QSignalSpy loaded(&cache, &ThumbnailCache::thumbnailLoaded);
        ScreenshotThumbnail view(cache, shot(QStringLiteral("/old")), 40, true);
        view.resize(80, 80);
        view.show();
        QTRY_COMPARE(images.calls(QStringLiteral("/old")), 1);
        QVERIFY(!view.image().has_value()); // placeholder while decoding

        view.setItem(shot(QStringLiteral("/new")));
        QTRY_VERIFY(view.image().has_value());
        // Fitted: the 2:1 image is letterboxed, so the top row stays background.
        QCOMPARE(QColor(view.grab().toImage().pixel(40, 40)), QColor(Qt::red));
        QVERIFY(QColor(view.grab().toImage().pixel(40, 2)) != QColor(Qt::red));

        // The late result for the old item does not replace the new one.
        images.open(QStringLiteral("/old"));
        QTRY_VERIFY(std::any_of(loaded.cbegin(), loaded.cend(), [](const QList<QVariant> &args) {
            return args.first() == ThumbnailCache::key(shot(QStringLiteral("/old")), 40);
        }));
        QCOMPARE(view.image()->pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(view.identity(), ThumbnailCache::key(shot(QStringLiteral("/new")), 40));
        view.setFit(false);
        QCOMPARE(QColor(view.grab().toImage().pixel(40, 2)), QColor(Qt::red));
    }

    // Waiting tiles share one drawing of their well: each look (palette, corners) its own.
    void placeholderWellFollowsItsLook()
    {
        const auto painted = [](const QColor &text, qreal radius) {
            QPalette palette;
            palette.setColor(QPalette::WindowText, text);
            QImage image(120, 90, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            ScreenshotThumbnail::paint(painter, QRectF(10, 10, 100, 70), palette, std::nullopt, true, QIcon(),
                                       radius);
            return image;
        };
        const auto expected = [](const QColor &text) {
            QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            QPalette palette;
            palette.setColor(QPalette::WindowText, text);
            painter.fillRect(image.rect(), BrimfoldDesign::primary(palette, BrimfoldDesign::thumbnailBackgroundOpacity));
            painter.end();
            return image.pixelColor(0, 0);
        };
        for (int round = 0; round < 2; ++round) { // drawn, then copied
            for (const QColor text : {QColor(Qt::black), QColor(Qt::blue)}) {
                const QImage rounded = painted(text, 12);
                QCOMPARE(rounded.pixelColor(14, 45), expected(text));
                QCOMPARE(rounded.pixelColor(10, 10), QColor(Qt::white)); // outside the corner
                QCOMPARE(painted(text, 0).pixelColor(10, 10), expected(text));
            }
        }
    }
};

QTEST_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
