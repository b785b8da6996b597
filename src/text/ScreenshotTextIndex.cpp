#include "text/ScreenshotTextIndex.h"

#include "core/WhenFinished.h"

#include <QFuture>
#include <QTimer>

#include <chrono>
#include <utility>

namespace {

// Rest after each fresh recognition, so a long first run over a large folder leaves the
// machine some room. Cached results are not followed by a pause.
constexpr std::chrono::milliseconds kPauseAfterRecognition{80};

} // namespace

ScreenshotTextIndex::ScreenshotTextIndex(std::unique_ptr<ScreenshotTextWorker> worker,
                                         QObject *parent)
    : QObject(parent)
    , m_languageDescription(tr("Checking text recognition…"))
    , m_worker(std::move(worker))
{
    Q_ASSERT(m_worker);
    m_idleRelease.setSingleShot(true);
    m_idleRelease.setInterval(defaultIdleRelease);
    connect(&m_idleRelease, &QTimer::timeout, this, [this] { m_worker->releaseIdleResources(); });
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseAfterRecognition);
    // Stopped whenever the run ends, so it only ever continues the current one.
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (m_task)
            readNext(Run{m_revision, m_task->get_token()});
    });
}

ScreenshotTextIndex::~ScreenshotTextIndex()
{
    if (m_task)
        m_task->request_stop();
    // Waits for the worker's queue while this object still exists; the finishes it reports
    // here are dropped with the object.
    m_worker.reset();
}

void ScreenshotTextIndex::update(const QList<Screenshot> &items)
{
    m_items = items;
    // At start nothing is held yet, and the first list's keys need not be gathered.
    if (!m_documents.isEmpty() || !m_failedKeys.isEmpty()) {
        QSet<QString> keys;
        keys.reserve(items.size());
        for (const Screenshot &item : items)
            keys.insert(item.cacheKey());

        for (auto it = m_documents.begin(); it != m_documents.end();) {
            if (keys.contains(it.key())) {
                ++it;
            } else {
                m_normalizedText.remove(it.key());
                it = m_documents.erase(it);
            }
        }
        m_failedKeys.intersect(keys);
    }
    notify();
    start();
}

void ScreenshotTextIndex::prioritize(const Screenshot &item)
{
    m_preferredKey = item.cacheKey();
    m_failedKeys.remove(item.cacheKey());
    start();
}

void ScreenshotTextIndex::retryFailures()
{
    m_failedKeys.clear();
    start();
}

void ScreenshotTextIndex::stop()
{
    ++m_revision;
    if (m_task) {
        m_task->request_stop();
        m_task.reset();
    }
    m_items.clear();
    m_documents.clear();
    m_normalizedText.clear();
    m_failedKeys.clear();
    m_preferredKey.reset();
    m_reading.clear();
    m_pause.stop();
    m_isIndexing = false;
    m_loadingCached = false;
    m_startWhenReleased = false;
    notify();
    becomeIdle();
}

void ScreenshotTextIndex::setHeld(bool held)
{
    m_held = held;
    if (!held && std::exchange(m_startWhenReleased, false))
        start();
}

int ScreenshotTextIndex::completedCount() const
{
    int count = 0;
    for (const Screenshot &item : m_items) {
        if (!isPending(item.cacheKey()))
            ++count;
    }
    return count;
}

bool ScreenshotTextIndex::isConsistent() const
{
    if (m_documents.size() != m_normalizedText.size())
        return false;
    QSet<QString> keys;
    for (const Screenshot &item : m_items)
        keys.insert(item.cacheKey());
    for (auto it = m_documents.cbegin(); it != m_documents.cend(); ++it) {
        const auto normalized = m_normalizedText.constFind(it.key());
        if (normalized == m_normalizedText.cend() || *normalized != it->normalized()
            || !keys.contains(it.key()))
            return false;
    }
    for (const QString &key : m_failedKeys) {
        if (!keys.contains(key))
            return false;
    }
    return true;
}

void ScreenshotTextIndex::start()
{
    // The running run chooses every next screenshot from the current fields, so it picks up
    // whatever changed.
    if (m_task)
        return;
    m_idleRelease.stop();

    bool anyPending = false;
    for (const Screenshot &item : std::as_const(m_items)) {
        if (isPending(item.cacheKey())) {
            anyPending = true;
            break;
        }
    }
    m_isIndexing = anyPending;
    m_loadingCached = anyPending;
    notify();
    if (m_held) {
        m_startWhenReleased = true;
        return;
    }

    // Started even with nothing pending: it still refreshes the language description and
    // prunes the cache.
    m_task.emplace();
    askCapabilities(Run{m_revision, m_task->get_token()});
}

bool ScreenshotTextIndex::isStale(const Run &run) const
{
    return run.stop.stop_requested() || run.revision != m_revision;
}

bool ScreenshotTextIndex::isPending(const QString &key) const
{
    return !m_documents.contains(key) && !m_failedKeys.contains(key);
}

std::optional<Screenshot> ScreenshotTextIndex::nextScreenshot() const
{
    std::optional<Screenshot> first;
    for (const Screenshot &item : m_items) {
        if (!isPending(item.cacheKey()) || m_reading.contains(item.cacheKey()))
            continue;
        if (m_preferredKey && item.cacheKey() == *m_preferredKey)
            return item;
        if (!first)
            first = item;
    }
    return first;
}

const Screenshot *ScreenshotTextIndex::currentItem(const QString &key) const
{
    for (const Screenshot &item : m_items) {
        if (item.cacheKey() == key)
            return &item;
    }
    return nullptr;
}

void ScreenshotTextIndex::store(const QString &key, const ScreenshotText &text)
{
    m_documents.insert(key, text);
    m_normalizedText.insert(key, text.normalized());
}

void ScreenshotTextIndex::notify()
{
    ++m_changeCount;
    emit changed();
}

void ScreenshotTextIndex::askCapabilities(Run run)
{
    whenFinished(m_worker->capabilities(), this, [this, run](const ScreenshotTextWorker::CapabilitiesResult &result) {
        if (const auto *capabilities = std::get_if<TextRecognitionCapabilities>(&result))
            m_languageDescription = capabilities->description();
        else
            m_languageDescription = tr("Text recognition is temporarily unavailable");
        if (isStale(run))
            return;
        loadCached(run);
    });
}

void ScreenshotTextIndex::loadCached(Run run)
{
    QList<Screenshot> missing;
    for (const Screenshot &item : std::as_const(m_items)) {
        if (!m_documents.contains(item.cacheKey()))
            missing.append(item);
    }
    whenFinished(m_worker->loadCached(std::move(missing), run.stop), this,
                 [this, run](const ScreenshotTextWorker::LoadResult &result) {
            if (isStale(run))
                return;
            // A failed load only means every screenshot is read one by one.
            if (const auto *texts = std::get_if<ScreenshotTextWorker::CachedTexts>(&result)) {
                for (auto it = texts->cbegin(); it != texts->cend(); ++it) {
                    if (currentItem(it.key()))
                        store(it.key(), it.value());
                }
            }
            m_loadingCached = false;
            notify();
            readNext(run);
        });
}

void ScreenshotTextIndex::readNext(Run run)
{
    std::optional<Screenshot> next = nextScreenshot();
    for (; next && m_reading.size() < m_worker->readers(); next = nextScreenshot()) {
        const QString key = next->cacheKey();
        m_reading.insert(key);
        whenFinished(m_worker->read(*next, run.stop), this, [this, run, key](const ScreenshotTextWorker::ReadResult &result) {
            finishRead(run, key, result);
        });
    }
    // The extra engines go as soon as they have nothing left to read.
    if (!next)
        m_worker->endBacklog();
    if (m_reading.isEmpty())
        pruneAndFinish(run);
}

void ScreenshotTextIndex::finishRead(const Run &run, const QString &key, const ScreenshotTextWorker::ReadResult &result)
{
    if (isStale(run))
        return;
    m_reading.remove(key);
    // A screenshot removed while it was being read gets no entry at all.
    const bool current = currentItem(key) != nullptr;
    if (const auto *read = std::get_if<ScreenshotTextWorker::ReadText>(&result)) {
        if (current)
            store(key, read->text);
        if (!read->cached && !m_pause.isActive())
            m_pause.start();
    } else if (current) {
        // Whatever the reason, the screenshot waits for a retry or a new version.
        m_failedKeys.insert(key);
    }
    notify();
    // During the pause the timer hands out what comes next.
    if (!isStale(run) && !m_pause.isActive())
        readNext(run);
}

void ScreenshotTextIndex::pruneAndFinish(Run run)
{
    m_pause.stop();
    whenFinished(m_worker->prune(m_items), this, [this, run](const ScreenshotTextWorker::PruneResult &) {
        // A failed prune leaves old files for the next run; nothing else depends on it.
        if (isStale(run))
            return;
        m_task.reset();
        m_isIndexing = false;
        notify();
        // Something may have become pending while the prune ran (a retry, a new list).
        if (nextScreenshot())
            start();
        else
            becomeIdle();
    });
}

void ScreenshotTextIndex::becomeIdle()
{
    m_worker->endBacklog();
    m_worker->trimMemory();
    m_idleRelease.start();
}
