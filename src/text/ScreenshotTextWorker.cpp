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
                                           std::unique_ptr<ScreenshotTextRecognizing> recognizer)
    : m_directory(QDir::cleanPath(directory))
    , m_recognizer(std::move(recognizer))
{
    Q_ASSERT(m_recognizer);
    // One thread that stays for the life of the worker: the engine is tied to the thread
    // it was started on, and operations must run one at a time in order.
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1);
    // Reading text is background work: its thread, and the engine's helpers it starts, give way
    // to the interface's. Linux keeps a nice value per thread; Qt's thread priorities leave
    // ordinary threads as they are.
    m_pool.start([] {
        // Never raised: a program started at a lower priority keeps it.
        errno = 0;
        const int inherited = ::getpriority(PRIO_PROCESS, ::gettid());
        if (errno == 0 && inherited < backgroundNiceness
            && ::setpriority(PRIO_PROCESS, ::gettid(), backgroundNiceness) != 0)
            qCDebug(lcTextWorker) << "the text thread keeps its priority" << errno;
    });
}

ScreenshotTextWorker::~ScreenshotTextWorker()
{
    m_shutdown.request_stop();
    // Queued after everything else, so the recogniser is released on the thread it ran on,
    // after its last use.
    m_pool.start([this] { m_recognizer.reset(); });
    m_pool.waitForDone();
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
    return enqueue<ReadResult>([this, item = std::move(item), stop = std::move(stop)] {
        const LinkedStop linked(stop, m_shutdown.get_token());
        return readNow(item, linked.token());
    });
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
    if (m_configuration)
        return *m_configuration;
    if (!m_recognizer)
        return TextRecognitionError::engineFailure;
    CapabilitiesResult result = m_recognizer->capabilities();
    if (const auto *capabilities = std::get_if<TextRecognitionCapabilities>(&result))
        m_configuration = *capabilities;
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

ScreenshotTextWorker::ReadResult ScreenshotTextWorker::readNow(const Screenshot &item,
                                                                std::stop_token stop)
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
        m_recognizer->recognize(item.id(), capabilities, stop);
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
