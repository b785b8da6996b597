#pragma once

#include "core/Screenshot.h"
#include "text/ScreenshotText.h"
#include "text/ScreenshotTextRecognizing.h"
#include "text/TextRecognitionCapabilities.h"
#include "text/TextRecognitionError.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QPromise>
#include <QString>
#include <QThread>
#include <QThreadPool>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <variant>

// Recognises screenshot text and keeps it in an on-disk cache, one JSON file per screenshot
// version and recogniser configuration. Every operation runs on the worker's own thread,
// strictly one after another in the order they were asked for, and the recogniser only ever
// sees that one thread. Reads are the exception on a machine with several cores, given a way to
// make more recognisers: they are taken in the order asked for by whichever of the worker's
// thread and its extra threads is free, each extra thread with an engine of its own, so a
// backlog is read on every core. Results come back as futures; callers attach their
// continuation on their own thread.
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

    // Makes the recogniser of an extra thread; called on that thread, which alone uses and
    // releases what it makes.
    using RecognizerFactory = std::function<std::unique_ptr<ScreenshotTextRecognizing>()>;

    // The directory is created on the first write, not here. The recogniser is required; it
    // lives on, and is released on, the worker's thread. With extraRecognizers and more than
    // one core, up to cores - 1 extra threads read alongside it while reads are waiting.
    ScreenshotTextWorker(QString directory, std::unique_ptr<ScreenshotTextRecognizing> recognizer,
                         RecognizerFactory extraRecognizers = {}, int cores = QThread::idealThreadCount());
    // Stops queued and running work at its next check and releases every recogniser on its own
    // thread (the engine belongs to it); waits for all of them.
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

    // How many reads can run at once: one per core with extra recognisers, otherwise one.
    int readers() const { return m_readers; }
    // No more reads are coming for now: each extra thread releases its engine once no read is
    // waiting, and ends. The next read starts them again.
    void endBacklog();

    // Deletes every ".json" file of the directory that is not the cache file of one of the
    // items under the current configuration. Other files are never touched.
    QFuture<PruneResult> prune(QList<Screenshot> keeping);

    // Hands memory that recognition freed back to the system (the engine's work leaves large
    // freed blocks in the worker thread's allocator arena, which would otherwise stay resident).
    QFuture<void> trimMemory();
    // Lets the recogniser drop its engine, then trims: for when nothing has been asked for a
    // while. The next recognition starts the engine again on the worker's thread. Ends the
    // backlog too, so no extra engine stays either.
    QFuture<void> releaseIdleResources();

    // Lower-case hex SHA-256 of identifier + cacheKey, then ".json".
    static QString cacheFileName(const QString &identifier, const QString &cacheKey);

private:
    // A read waiting for a free thread.
    struct QueuedRead final
    {
        Screenshot item;
        std::stop_token stop;
        std::shared_ptr<QPromise<ReadResult>> promise;
    };

    template <typename T, typename Operation>
    QFuture<T> enqueue(Operation operation);
    void startExtrasLocked();
    void finish(QueuedRead &read, const ReadResult &result);
    // Runs on an extra thread: reads until the backlog ends.
    void readOnExtraThread();
    // The recognition of one screenshot, on the thread that owns `recognizer`; the
    // configuration is asked only once the file is known to be current.
    ReadResult readNow(const Screenshot &item, std::stop_token stop, ScreenshotTextRecognizing &recognizer,
                       const std::function<CapabilitiesResult()> &configuration) const;

    // The following run on the worker's thread only.
    CapabilitiesResult configuration();
    // Takes the oldest waiting read, if no extra thread took it first.
    void readQueuedNow();
    LoadResult loadCachedNow(const QList<Screenshot> &items, std::stop_token stop, CachedParts parts);
    PruneResult pruneNow(const QList<Screenshot> &keeping);
    std::optional<ScreenshotText> cachedText(const QString &path, const Screenshot &item,
                                             CachedParts parts = CachedParts::textAndWords) const;
    void store(const QString &path, const ScreenshotText &text) const;
    static void returnFreedMemory();

    static void giveWayToTheInterface();

    const QString m_directory;
    std::unique_ptr<ScreenshotTextRecognizing> m_recognizer;
    const RecognizerFactory m_makeExtraRecognizer;
    const int m_readers;
    // Requested by the destructor so queued work ends quickly.
    std::stop_source m_shutdown;

    // Shared between the caller, the worker's thread and the extra threads.
    std::mutex m_mutex;
    std::condition_variable m_readWaiting; // wakes extra threads
    std::optional<TextRecognitionCapabilities> m_configuration; // written on the worker's thread
    std::deque<QueuedRead> m_queuedReads; // oldest first
    int m_unfinishedReads = 0;             // queued or being read
    int m_extraThreads = 0;                // extra threads still taking reads
    bool m_backlogEnded = false;
    bool m_extrasUnavailable = false; // the factory made nothing

    // Last, so they are the first members to go: nothing runs on them once the rest is destroyed.
    QThreadPool m_extraPool;
    QThreadPool m_pool;
};
