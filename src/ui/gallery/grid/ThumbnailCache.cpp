#include "ui/gallery/grid/ThumbnailCache.h"

#include "core/Screenshot.h"
#include "core/WhenFinished.h"
#include "platform/ImageServices.h"

#include <QCache>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcThumbnails, "brimfold.ui.thumbnails", QtWarningMsg)

constexpr int kDecodingThreads = 2;

} // namespace

// Least recently used entries leave first once either limit is passed. A thumbnail larger than
// the whole cost limit is handed out but not kept: storing it would evict everything else.
class ThumbnailCache::Store final
{
public:
    explicit Store(Limits limits)
        : m_limits(limits)
        , m_images(limits.totalCost)
    {
    }

    // Counts as a use.
    std::optional<QImage> find(const QString &key)
    {
        QMutexLocker lock(&m_mutex);
        if (const QImage *image = m_images.object(key))
            return *image;
        return std::nullopt;
    }

    void insert(const QString &key, const QImage &image)
    {
        QMutexLocker lock(&m_mutex);
        // A replaced entry goes first, so it does not push out another to make room.
        m_images.remove(key);
        // The cache refuses (and deletes) what costs more than its whole budget.
        if (!m_images.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes())))
            return;
        // The count limit trims from the same end: every entry costs at least one byte, so a
        // budget one byte under the total drops exactly the least recently used entry.
        while (m_images.size() > m_limits.count)
            m_images.setMaxCost(m_images.totalCost() - 1);
        m_images.setMaxCost(m_limits.totalCost);
    }

    int count() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_images.size());
    }

    qint64 cost() const
    {
        QMutexLocker lock(&m_mutex);
        return m_images.totalCost();
    }

private:
    const Limits m_limits;
    // Shared with the decoding threads, so every access takes the lock.
    mutable QMutex m_mutex;
    QCache<QString, QImage> m_images; // cost: bytes of decoded pixels
};

ThumbnailCache::ThumbnailCache(const ImageServices &images, QObject *parent)
    : ThumbnailCache(images, Limits{}, parent)
{
}

ThumbnailCache::ThumbnailCache(const ImageServices &images, Limits limits, QObject *parent)
    : QObject(parent)
    , m_store(std::make_shared<Store>(limits))
    , m_images(images)
    , m_limits(limits)
{
    m_pool.setMaxThreadCount(kDecodingThreads);
}

ThumbnailCache::~ThumbnailCache()
{
    m_pool.clear();
    m_pool.waitForDone();
}

QString ThumbnailCache::key(const Screenshot &item, int pixels)
{
    return item.cacheKey() + QLatin1Char(':') + QString::number(pixels);
}

std::optional<QImage> ThumbnailCache::cachedImage(const Screenshot &item, int pixels) const
{
    return m_store->find(key(item, pixels));
}

QFuture<std::optional<QImage>> ThumbnailCache::image(const Screenshot &item, int pixels)
{
    const QString cacheKey = key(item, pixels);
    if (std::optional<QImage> hit = m_store->find(cacheKey))
        return QtFuture::makeReadyFuture(std::move(hit));

    ++m_loading[cacheKey];
    // What the caller gets is finished here on the GUI thread, so it may attach a continuation
    // there without racing the pool thread that finishes the job. Dropped unfinished (the cache
    // gone first), the promise reports itself canceled.
    auto answer = std::make_shared<QPromise<std::optional<QImage>>>();
    answer->start();
    // Handed to the decoding threads once the event loop runs again. Asked for while a frame is
    // painted (a tile meeting a missing thumbnail), a decode started at once takes a core from
    // the rest of that frame, whose large fills wait for Qt's own drawing threads.
    m_queued.push_back({cacheKey, item.id(), pixels, std::move(answer)});
    if (m_queued.size() == 1)
        QMetaObject::invokeMethod(this, &ThumbnailCache::startQueued, Qt::QueuedConnection);
    return m_queued.back().answer->future();
}

void ThumbnailCache::startQueued()
{
    const std::shared_ptr<Store> store = m_store;
    const ImageServices *images = &m_images;
    for (Queued &queued : std::exchange(m_queued, {})) {
        QFuture<std::optional<QImage>> job =
            QtConcurrent::run(&m_pool, [store, images, cacheKey = queued.key, path = queued.path,
                                        pixels = queued.pixels] {
                // An earlier job may have made this thumbnail while this one waited in the queue.
                if (std::optional<QImage> hit = store->find(cacheKey))
                    return hit;
                const std::optional<QImage> decoded = images->downscaledImage(path, pixels);
                if (!decoded || decoded->isNull()) {
                    qCDebug(lcThumbnails) << "no thumbnail for" << path;
                    return std::optional<QImage>();
                }
                QImage ready = decoded->convertToFormat(decoded->hasAlphaChannel()
                                                            ? QImage::Format_ARGB32_Premultiplied
                                                            : QImage::Format_RGB32);
                store->insert(cacheKey, ready);
                return std::optional<QImage>(std::move(ready));
            });
        const auto deliver = [this, cacheKey = queued.key,
                              answer = std::move(queued.answer)](std::optional<QImage> result) {
            if (--m_loading[cacheKey] <= 0)
                m_loading.remove(cacheKey);
            if (result)
                Q_EMIT thumbnailLoaded(cacheKey, *result);
            else
                Q_EMIT thumbnailFailed(cacheKey);
            answer->addResult(std::move(result));
            answer->finish();
        };
        whenFinished(job, this, deliver);
    }
}

bool ThumbnailCache::request(const Screenshot &item, int pixels)
{
    const QString cacheKey = key(item, pixels);
    if (isLoading(cacheKey) || m_store->find(cacheKey))
        return false;
    image(item, pixels);
    return true;
}

int ThumbnailCache::count() const
{
    return m_store->count();
}

qint64 ThumbnailCache::totalCost() const
{
    return m_store->cost();
}
