#pragma once

#include <QFuture>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>
#include <vector>

class ImageServices;
class Screenshot;

// The size-bounded memory cache of decoded thumbnails, shared by the gallery and the floating
// button, fed by two decoding threads of its own.
//
// A thumbnail is keyed by the screenshot's `cacheKey` and the requested longest side in
// pixels, so a rewritten file never hits a stale entry and two sizes are two entries. Decoding
// happens only on the cache's threads; a job looks the key up again before decoding, since an
// earlier job may have produced the same thumbnail while it waited. Failures are not cached:
// the next request tries again. Results reach callers on the main thread.
//
// Paint code (an item delegate, say) asks `cachedImage` while painting and, on a miss,
// `request`s the thumbnail; `thumbnailLoaded` tells it when to repaint. Images are stored in a
// premultiplied 32-bit format, which the raster engine draws without conversion.
class ThumbnailCache final : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 totalCost = 48 * 1024 * 1024; // bytes of decoded pixels (bytes per line × height)
        int count = 160;
    };

    explicit ThumbnailCache(const ImageServices &images, QObject *parent = nullptr);
    ThumbnailCache(const ImageServices &images, Limits limits, QObject *parent = nullptr);
    // Drops queued jobs, their futures canceled, and waits for the running ones (at most two
    // decodes).
    ~ThumbnailCache() override;

    // `cacheKey` + ":" + pixels.
    static QString key(const Screenshot &item, int pixels);

    // The thumbnail when it is cached; never decodes. Counts as a use for eviction.
    std::optional<QImage> cachedImage(const Screenshot &item, int pixels) const;

    // The thumbnail: a finished future when it is cached, otherwise one that finishes on the
    // cache's (main) thread once a decoding thread has made it, with none when the file cannot
    // be read or decoded. Each call's future finishes exactly once. A job's result is also
    // announced by `thumbnailLoaded` or `thumbnailFailed`, emitted before its future finishes.
    QFuture<std::optional<QImage>> image(const Screenshot &item, int pixels);

    // For paint code: starts loading unless the thumbnail is cached or already on its way.
    // Returns true when a load was started.
    bool request(const Screenshot &item, int pixels);
    // True while a job for the key is queued or running.
    bool isLoading(const QString &key) const { return m_loading.value(key) > 0; }

    Limits limits() const { return m_limits; }
    int count() const;
    qint64 totalCost() const;

signals:
    void thumbnailLoaded(const QString &key, const QImage &image);
    void thumbnailFailed(const QString &key);

private:
    // The bounded store, shared with the decoding threads.
    class Store;

    // A thumbnail asked for since the event loop last ran.
    struct Queued
    {
        QString key;
        QString path;
        int pixels = 0;
        std::shared_ptr<QPromise<std::optional<QImage>>> answer;
    };

    void startQueued();

    std::shared_ptr<Store> m_store;
    const ImageServices &m_images;
    Limits m_limits;
    QHash<QString, int> m_loading; // jobs queued or running per key
    std::vector<Queued> m_queued;
    QThreadPool m_pool;
};
