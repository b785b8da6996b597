#include "text/ScreenshotTextWorker.h"

#include "platform/freedesktop/PrivateFolder.h"
#include "platform/freedesktop/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLoggingCategory>
#include <QPromise>
#include <QSet>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <type_traits>

Q_LOGGING_CATEGORY(lcTextWorker, "brimfold.text.worker", QtWarningMsg)

namespace {

// One token that is stopped when either the caller's or the worker's own token is.
class LinkedStop final
{
public:
    LinkedStop(std::stop_token caller, std::stop_token shutdown)
        : m_fromCaller(std::move(caller), Forward{&m_source})
        , m_fromShutdown(std::move(shutdown), Forward{&m_source})
    {
    }
    std::stop_token token() const { return m_source.get_token(); }

private:
    struct Forward final
    {
        std::stop_source *source;
        void operator()() const { source->request_stop(); }
    };
    std::stop_source m_source; // first: the callbacks below may fire while being constructed
    std::stop_callback<Forward> m_fromCaller;
    std::stop_callback<Forward> m_fromShutdown;
};

} // namespace

ScreenshotTextWorker::ScreenshotTextWorker(QString directory,
                                           std::unique_ptr<ScreenshotTextRecognizing> recognizer,
                                           RecognizerFactory extraRecognizers, int cores)
    : m_directory(QDir::cleanPath(directory))
    , m_recognizer(std::move(recognizer))
    , m_makeExtraRecognizer(std::move(extraRecognizers))
    , m_readers(m_makeExtraRecognizer ? std::max(1, cores) : 1)
{
    Q_ASSERT(m_recognizer);
    // One thread that stays for the life of the worker: the engine is tied to the thread
    // it was started on, and operations must run one at a time in order.
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1);
    m_pool.start(&ScreenshotTextWorker::giveWayToTheInterface);
    // Each extra thread makes, uses and releases its own engine within one task.
    m_extraPool.setMaxThreadCount(std::max(1, m_readers - 1));
}

ScreenshotTextWorker::~ScreenshotTextWorker()
{
    m_shutdown.request_stop();
    {
        // Taken so that no extra thread misses the wake-up between its check and its wait.
        const std::lock_guard lock(m_mutex);
    }
    m_readWaiting.notify_all();
    // Queued reads still end: as cancelled, taken by whichever thread is free.
    m_extraPool.waitForDone();
    // Queued after everything else, so the recogniser is released on the thread it ran on,
    // after its last use.
    m_pool.start([this] { m_recognizer.reset(); });
    m_pool.waitForDone();
}

void ScreenshotTextWorker::giveWayToTheInterface()
{
    // Reading text is background work: its threads, and the engine's helpers they start, give
    // way to the interface's. Linux keeps a nice value per thread; Qt's thread priorities leave
    // ordinary threads as they are. Never raised: a program started at a lower priority keeps it.
    errno = 0;
    const int inherited = ::getpriority(PRIO_PROCESS, ::gettid());
    if (errno == 0 && inherited < backgroundNiceness
        && ::setpriority(PRIO_PROCESS, ::gettid(), backgroundNiceness) != 0)
        qCDebug(lcTextWorker) << "the text thread keeps its priority" << errno;
}

template <typename T, typename Operation>
QFuture<T> ScreenshotTextWorker::enqueue(Operation operation)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    m_pool.start([promise, operation = std::move(operation)]() mutable {
        if constexpr (std::is_void_v<T>)
            operation();
        else
            promise->addResult(operation());
        promise->finish();
    });
    return future;
}

QFuture<ScreenshotTextWorker::CapabilitiesResult> ScreenshotTextWorker::capabilities()
{
    return enqueue<CapabilitiesResult>([this] { return configuration(); });
}

QFuture<ScreenshotTextWorker::LoadResult> ScreenshotTextWorker::loadCached(QList<Screenshot> items,
                                                                            std::stop_token stop, CachedParts parts)
{
    return enqueue<LoadResult>([this, items = std::move(items), stop = std::move(stop), parts] {
        const LinkedStop linked(stop, m_shutdown.get_token());
        return loadCachedNow(items, linked.token(), parts);
    });
}

QFuture<ScreenshotTextWorker::ReadResult> ScreenshotTextWorker::read(Screenshot item,
                                                                      std::stop_token stop)
{
    if (m_readers == 1) {
        return enqueue<ReadResult>([this, item = std::move(item), stop = std::move(stop)] {
            const LinkedStop linked(stop, m_shutdown.get_token());
            return readNow(item, linked.token(), *m_recognizer, [this] { return configuration(); });
        });
    }
    auto promise = std::make_shared<QPromise<ReadResult>>();
    QFuture<ReadResult> future = promise->future();
    promise->start();
    {
        const std::lock_guard lock(m_mutex);
        m_queuedReads.push_back({std::move(item), std::move(stop), std::move(promise)});
        ++m_unfinishedReads;
        m_backlogEnded = false;
        startExtrasLocked();
    }
    m_readWaiting.notify_one();
    // One turn of the worker's thread for every read, so each is taken even when no extra
    // thread is there to take it.
    m_pool.start([this] { readQueuedNow(); });
    return future;
}

void ScreenshotTextWorker::endBacklog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_backlogEnded = true;
    }
    m_readWaiting.notify_all();
}

void ScreenshotTextWorker::startExtrasLocked()
{
    // Extra threads never ask the recogniser's configuration; they start once it is known. The
    // worker's thread takes one of the unfinished reads: an extra engine for each further one.
    if (!m_configuration || m_extrasUnavailable || m_shutdown.stop_requested())
        return;
    const int wanted = std::min(m_readers - 1, m_unfinishedReads - 1);
    for (; m_extraThreads < wanted; ++m_extraThreads)
        m_extraPool.start([this] { readOnExtraThread(); });
}

void ScreenshotTextWorker::finish(QueuedRead &read, const ReadResult &result)
{
    {
        const std::lock_guard lock(m_mutex);
        --m_unfinishedReads;
    }
    read.promise->addResult(result);
    read.promise->finish();
}

void ScreenshotTextWorker::readQueuedNow()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_queuedReads.empty())
            return;
    }
    // Asked before the read is taken: extra threads start only once it is known.
    const CapabilitiesResult configured = configuration();
    std::optional<QueuedRead> read;
    {
        const std::lock_guard lock(m_mutex);
        if (m_queuedReads.empty())
            return;
        read = std::move(m_queuedReads.front());
        m_queuedReads.pop_front();
        startExtrasLocked();
    }
    const LinkedStop linked(read->stop, m_shutdown.get_token());
    finish(*read, readNow(read->item, linked.token(), *m_recognizer, [&configured] { return configured; }));
}

void ScreenshotTextWorker::readOnExtraThread()
{
    giveWayToTheInterface();
    std::unique_ptr<ScreenshotTextRecognizing> recognizer;
    for (;;) {
        std::optional<QueuedRead> read;
        TextRecognitionCapabilities configuration;
        {
            std::unique_lock lock(m_mutex);
            m_readWaiting.wait(lock, [this] {
                return !m_queuedReads.empty() || m_backlogEnded || m_shutdown.stop_requested();
            });
            if (m_queuedReads.empty()) {
                --m_extraThreads;
                break;
            }
            read = std::move(m_queuedReads.front());
            m_queuedReads.pop_front();
            configuration = *m_configuration;
        }
        const LinkedStop linked(read->stop, m_shutdown.get_token());
        if (!recognizer && !linked.token().stop_requested()) {
            recognizer = m_makeExtraRecognizer();
            if (!recognizer) {
                // Back to the front for the worker's thread, which then reads alone.
                qCWarning(lcTextWorker) << "no recogniser for an extra thread";
                {
                    const std::lock_guard lock(m_mutex);
                    m_queuedReads.push_front(std::move(*read));
                    m_extrasUnavailable = true;
                    --m_extraThreads;
                }
                m_pool.start([this] { readQueuedNow(); });
                break;
            }
        }
        finish(*read, recognizer ? readNow(read->item, linked.token(), *recognizer,
                                           [&configuration] { return CapabilitiesResult(configuration); })
                                 : ReadResult(TextRecognitionError::cancelled));
    }
    // Here, where its engine ran.
    recognizer.reset();
    returnFreedMemory();
}

QFuture<ScreenshotTextWorker::PruneResult> ScreenshotTextWorker::prune(QList<Screenshot> keeping)
{
    return enqueue<PruneResult>([this, keeping = std::move(keeping)] { return pruneNow(keeping); });
}

QFuture<void> ScreenshotTextWorker::trimMemory()
{
    return enqueue<void>([] { returnFreedMemory(); });
}

QFuture<void> ScreenshotTextWorker::releaseIdleResources()
{
    endBacklog();
    return enqueue<void>([this] {
        if (m_recognizer)
            m_recognizer->releaseResources();
        returnFreedMemory();
    });
}

void ScreenshotTextWorker::returnFreedMemory()
{
#if defined(__GLIBC__)
    // Goes through every arena, this thread's included.
    malloc_trim(0);
#endif
}

QString ScreenshotTextWorker::cacheFileName(const QString &identifier, const QString &cacheKey)
{
    const QByteArray digest =
        QCryptographicHash::hash((identifier + cacheKey).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex()) + QLatin1String(".json");
}

ScreenshotTextWorker::CapabilitiesResult ScreenshotTextWorker::configuration()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_configuration)
            return *m_configuration;
    }
    if (!m_recognizer)
        return TextRecognitionError::engineFailure;
    // Only this thread asks, so it is asked once however many read.
    CapabilitiesResult result = m_recognizer->capabilities();
    if (const auto *capabilities = std::get_if<TextRecognitionCapabilities>(&result)) {
        const std::lock_guard lock(m_mutex);
        m_configuration = *capabilities;
    }
    return result;
}

ScreenshotTextWorker::LoadResult ScreenshotTextWorker::loadCachedNow(const QList<Screenshot> &items,
                                                                      std::stop_token stop, CachedParts parts)
{
    const CapabilitiesResult configured = configuration();
    if (const auto *error = std::get_if<TextRecognitionError>(&configured))
        return *error;
    const QString &identifier = std::get<TextRecognitionCapabilities>(configured).identifier;

    CachedTexts texts;
    for (const Screenshot &item : items) {
        if (stop.stop_requested())
            return TextRecognitionError::cancelled;
        const QString path = m_directory + QLatin1Char('/') + cacheFileName(identifier, item.cacheKey());
        if (std::optional<ScreenshotText> text = cachedText(path, item, parts))
            texts.insert(item.cacheKey(), std::move(*text));
    }
    return texts;
}

ScreenshotTextWorker::ReadResult ScreenshotTextWorker::readNow(const Screenshot &item, std::stop_token stop,
                                                                ScreenshotTextRecognizing &recognizer,
                                                                const std::function<CapabilitiesResult()> &configuration) const
{
    if (stop.stop_requested())
        return TextRecognitionError::cancelled;
    if (!item.matchesCurrentFile())
        return TextRecognitionError::changedImage;

    const CapabilitiesResult configured = configuration();
    if (const auto *error = std::get_if<TextRecognitionError>(&configured))
        return *error;
    const auto &capabilities = std::get<TextRecognitionCapabilities>(configured);

    const QString path =
        m_directory + QLatin1Char('/') + cacheFileName(capabilities.identifier, item.cacheKey());
    if (std::optional<ScreenshotText> text = cachedText(path, item))
        return ReadText{std::move(*text), true};

    const ScreenshotTextRecognizing::TextResult recognized =
        recognizer.recognize(item.id(), capabilities, stop);
    if (const auto *error = std::get_if<TextRecognitionError>(&recognized))
        return *error;

    if (stop.stop_requested())
        return TextRecognitionError::cancelled;
    // The image changed while it was being read: the text belongs to neither version.
    if (!item.matchesCurrentFile())
        return TextRecognitionError::changedImage;

    const RecognizedText &read = std::get<RecognizedText>(recognized);
    ScreenshotText text(read.text, read.words);
    store(path, text);
    return ReadText{std::move(text), false};
}

ScreenshotTextWorker::PruneResult ScreenshotTextWorker::pruneNow(const QList<Screenshot> &keeping)
{
    const CapabilitiesResult configured = configuration();
    if (const auto *error = std::get_if<TextRecognitionError>(&configured))
        return *error;
    const QString &identifier = std::get<TextRecognitionCapabilities>(configured).identifier;

    QSet<QString> kept;
    kept.reserve(keeping.size());
    for (const Screenshot &item : keeping)
        kept.insert(cacheFileName(identifier, item.cacheKey()));

    const QDir folder(m_directory);
    // Lists nothing when the folder does not exist yet: then there is nothing to prune.
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : entries) {
        if (QFileInfo(name).suffix() != QLatin1String("json") || kept.contains(name))
            continue;
        if (!QFile::remove(folder.filePath(name)))
            qCWarning(lcTextWorker) << "could not delete cache file" << name;
    }
    return std::nullopt;
}

std::optional<ScreenshotText> ScreenshotTextWorker::cachedText(const QString &path, const Screenshot &item,
                                                                CachedParts parts) const
{
    // Only a regular file under the bound is read, so a damaged or foreign entry of any size or
    // kind never gets into memory, and a link never leads out of the folder.
    const SafeFile::ReadResult read = SafeFile::read(path, maximumCacheFileBytes - 1);
    const auto *bytes = std::get_if<QByteArray>(&read);
    if (!bytes || !item.matchesCurrentFile())
        return std::nullopt;
    if (parts == CachedParts::textOnly)
        return ScreenshotText::textFromJson(*bytes);

    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return ScreenshotText::fromJson(document.object());
}

void ScreenshotTextWorker::store(const QString &path, const ScreenshotText &text) const
{
    // Every failure here only means the text is recognised again next time.
    if (!PrivateFolder::make(m_directory)) {
        qCWarning(lcTextWorker) << "cannot create cache folder" << m_directory;
        return;
    }
    const QByteArray bytes = QJsonDocument(text.toJson()).toJson(QJsonDocument::Compact);
    // Written beside and moved into place, so no reader ever sees half a file; whatever had the
    // name (an unusable entry, a link, a pipe) is replaced, never written through.
    if (const SafeFile::Result failed = SafeFile::write(path, bytes, 0600))
        qCWarning(lcTextWorker) << "cannot write cache file" << path << failed->message();
}
