#include "app/dbus/DesktopSearchHost.h"

#include "app/GalleryPresenter.h"
#include "library/LibraryModel.h"
#include "search/DesktopSearch.h"
#include "text/ScreenshotTextIndex.h"

#include <algorithm>

QStringList SearchableLibrary::ids(const QString &query, qsizetype limit) const
{
    const QList<Screenshot> found = DesktopSearch::matching(items, query, normalizedText);
    const qsizetype count = limit < 0 ? found.size() : std::min(limit, found.size());
    QStringList result;
    result.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        result.append(found.at(i).id());
    return result;
}

std::optional<SearchHit> SearchableLibrary::hit(const QString &id, const QString &query) const
{
    for (const Screenshot &item : items) {
        if (item.id() == id)
            return DesktopSearch::hitFor(item, query, documents);
    }
    return std::nullopt;
}

QList<SearchHit> SearchableLibrary::find(const QString &query, qsizetype limit) const
{
    return DesktopSearch::find(items, query, documents, normalizedText, limit);
}

SearchableLibrary PublishedLibrary::current() const
{
    const std::lock_guard lock(m_mutex);
    return m_library;
}

void PublishedLibrary::publish(SearchableLibrary library)
{
    const std::lock_guard lock(m_mutex);
    // The old copy is released after the lock, by `library`: its last owner may free a lot.
    std::swap(m_library, library);
}

DesktopSearchHost::DesktopSearchHost(LibraryModel &model, GalleryPresenter &gallery, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_gallery(gallery)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(readyTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &DesktopSearchHost::flush);
    for (const auto signal : {&LibraryModel::isScanningChanged, &LibraryModel::itemsChanged,
                              &LibraryModel::connectedChanged})
        connect(&m_model, signal, this, &DesktopSearchHost::publish);
    connect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this, &DesktopSearchHost::publish);
    publish();
}

void DesktopSearchHost::publish()
{
    const ScreenshotTextIndex &index = m_model.textIndex();
    m_published->publish({m_model.items(), index.documents(), index.normalizedText(), isReady()});
}

DesktopSearchHost::~DesktopSearchHost() = default;

bool DesktopSearchHost::isReady() const
{
    const LibraryModel &model = m_model;
    if (!model.connected())
        return true;
    if (model.isScanning())
        return false;
    const ScreenshotTextIndex &index = model.textIndex();
    // Cached text arrives in one step; with none cached, the first recognised screenshot shows
    // the run is past the cache.
    return model.items().isEmpty() || !index.isIndexing() || index.completedCount() > 0;
}

void DesktopSearchHost::whenReady(QObject *context, std::function<void()> work)
{
    if (isReady()) {
        work();
        return;
    }
    m_waiting.push_back({context, std::move(work)});
    if (m_waiting.size() > 1)
        return;
    m_timeout.start();
    for (const auto signal : {&LibraryModel::isScanningChanged, &LibraryModel::itemsChanged,
                              &LibraryModel::connectedChanged})
        connect(&m_model, signal, this, &DesktopSearchHost::checkReady, Qt::UniqueConnection);
    connect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this, &DesktopSearchHost::checkReady,
            Qt::UniqueConnection);
}

void DesktopSearchHost::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work));
}

void DesktopSearchHost::postWhenReady(std::function<void()> work)
{
    post([this, work = std::move(work)]() mutable { whenReady(this, std::move(work)); });
}

void DesktopSearchHost::answerWhenReady(const QDBusMessage &call, const QDBusConnection &bus,
                                        std::function<QVariant()> answer)
{
    postWhenReady([call, bus, answer = std::move(answer)]() mutable { bus.send(call.createReply(answer())); });
}

void DesktopSearchHost::checkReady()
{
    // The scan's end and its items arrive as separate changes: judge once both are in.
    if (m_checkQueued)
        return;
    m_checkQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_checkQueued = false;
        if (!m_waiting.empty() && isReady())
            flush();
    });
}

void DesktopSearchHost::flush()
{
    m_timeout.stop();
    for (const auto signal : {&LibraryModel::isScanningChanged, &LibraryModel::itemsChanged,
                              &LibraryModel::connectedChanged})
        disconnect(&m_model, signal, this, &DesktopSearchHost::checkReady);
    disconnect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this, &DesktopSearchHost::checkReady);
    std::vector<Waiting> waiting;
    waiting.swap(m_waiting);
    for (const Waiting &entry : waiting) {
        if (entry.context)
            entry.work();
    }
}

QList<SearchHit> DesktopSearchHost::find(const QString &query, qsizetype limit) const
{
    const ScreenshotTextIndex &index = m_model.textIndex();
    return DesktopSearch::find(m_model.items(), query, index.documents(), index.normalizedText(), limit);
}

QStringList DesktopSearchHost::ids(const QString &query, qsizetype limit) const
{
    return SearchableLibrary{m_model.items(), {}, m_model.textIndex().normalizedText(), true}.ids(query, limit);
}

std::optional<Screenshot> DesktopSearchHost::item(const QString &id) const
{
    for (const Screenshot &item : m_model.items()) {
        if (item.id() == id)
            return item;
    }
    return std::nullopt;
}

std::optional<SearchHit> DesktopSearchHost::hit(const QString &id, const QString &query) const
{
    return SearchableLibrary{m_model.items(), m_model.textIndex().documents(), {}, true}.hit(id, query);
}

void DesktopSearchHost::activate(const QString &query, const std::optional<QString> &id)
{
    // Showing starts the gallery afresh (empty search, newest selected); the search comes after.
    m_gallery.show(false);
    m_model.setPinnedOnly(false);
    m_model.setQuery(query);
    if (!id)
        return;
    const GallerySnapshot &snapshot = m_model.snapshot();
    const auto found = snapshot.indices().constFind(*id);
    if (found != snapshot.indices().cend())
        m_model.select(snapshot.items().at(*found));
}

void DesktopSearchHost::copy(const QString &id)
{
    if (const auto found = item(id))
        m_model.copyActions().copy(*found);
}

void DesktopSearchHost::copyText(const QString &id)
{
    if (const auto found = item(id))
        m_model.copyActions().copyText(*found);
}
