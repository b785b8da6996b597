#pragma once

#include "core/Screenshot.h"
#include "text/ScreenshotText.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/TextRecognitionCapabilities.h"
#include "text/TextRecognitionError.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>
#include <stop_token>
#include <variant>

// Recognises screenshot text and keeps it in an on-disk cache, one JSON file per screenshot
// version and recogniser configuration. Every operation runs on the worker's own single thread,
// strictly one after another in the order they were asked for, so at most one image is being
// recognised at a time and the recogniser only ever sees that one thread. Results come back as
// futures; callers attach their continuation on their own thread.
class ScreenshotTextWorker final
{
public:
    // Cache files of this size or more are never read.
    static constexpr qint64 maximumCacheFileBytes = 2'000'000;
    // The nice value of the worker's thread, so recognising never slows the interface.
    static constexpr int backgroundNiceness = 10;

    using CachedTexts = QHash<QString, ScreenshotText>; // by Screenshot::cacheKey
    struct ReadText final
    {
        ScreenshotText text;
        // True when the text came from the cache file, false when it was recognised now.
        bool cached = false;

        friend bool operator==(const ReadText &, const ReadText &) = default;
    };

    using CapabilitiesResult = std::variant<TextRecognitionCapabilities, TextRecognitionError>;
    using LoadResult = std::variant<CachedTexts, TextRecognitionError>;
    using ReadResult = std::variant<ReadText, TextRecognitionError>;
    // None on success.
    using PruneResult = std::optional<TextRecognitionError>;

    // The directory is created on the first write, not here. The recogniser is required; it
    // lives on, and is released on, the worker's thread.
    ScreenshotTextWorker(QString directory, std::unique_ptr<ScreenshotTextRecognizing> recognizer);
    // Stops queued and running work at its next check and releases the recogniser on the
    // worker's thread (the engine belongs to it); waits for both.
    ~ScreenshotTextWorker();

    ScreenshotTextWorker(const ScreenshotTextWorker &) = delete;
    ScreenshotTextWorker &operator=(const ScreenshotTextWorker &) = delete;

    const QString &directory() const { return m_directory; }

    // The recogniser's configuration, asked of it once and then remembered. A failure is not
    // remembered, so the next call asks again.
    QFuture<CapabilitiesResult> capabilities();

    // How much of a cached text is read: all of it, or its text without the words (for a
    // search, which never shows where words stand).
    enum class CachedParts { textAndWords, textOnly };

    // Every still-valid cached text among the items. Fails when the configuration is
    // unavailable or, with `cancelled`, when stop is requested.
    QFuture<LoadResult> loadCached(QList<Screenshot> items, std::stop_token stop = {},
                                   CachedParts parts = CachedParts::textAndWords);

    // The item's text: from its cache file when valid, otherwise recognised now and cached.
    // Fails with changedImage when the file no longer matches the record, before or after
    // recognition; with the recogniser's errors; with `cancelled` when stop is requested.
    QFuture<ReadResult> read(Screenshot item, std::stop_token stop = {});

    // Deletes every ".json" file of the directory that is not the cache file of one of the
    // items under the current configuration. Other files are never touched.
    QFuture<PruneResult> prune(QList<Screenshot> keeping);

    // Hands memory that recognition freed back to the system (the engine's work leaves large
    // freed blocks in the worker thread's allocator arena, which would otherwise stay resident).
    QFuture<void> trimMemory();
    // Lets the recogniser drop its engine, then trims: for when nothing has been asked for a
    // while. The next recognition starts the engine again on the worker's thread.
    QFuture<void> releaseIdleResources();

    // Lower-case hex SHA-256 of identifier + cacheKey, then ".json".
    static QString cacheFileName(const QString &identifier, const QString &cacheKey);

private:
    template <typename T, typename Operation>
    QFuture<T> enqueue(Operation operation);

    // The following run on the worker's thread only.
    CapabilitiesResult configuration();
    LoadResult loadCachedNow(const QList<Screenshot> &items, std::stop_token stop, CachedParts parts);
    ReadResult readNow(const Screenshot &item, std::stop_token stop);
    PruneResult pruneNow(const QList<Screenshot> &keeping);
    std::optional<ScreenshotText> cachedText(const QString &path, const Screenshot &item,
                                             CachedParts parts = CachedParts::textAndWords) const;
    void store(const QString &path, const ScreenshotText &text) const;
    static void returnFreedMemory();

    const QString m_directory;
    std::unique_ptr<ScreenshotTextRecognizing> m_recognizer;
    std::optional<TextRecognitionCapabilities> m_configuration;
    // Requested by the destructor so queued work ends quickly.
    std::stop_source m_shutdown;
    // Last, so it is the first member to go: nothing runs on it once the rest is destroyed.
    QThreadPool m_pool;
};
