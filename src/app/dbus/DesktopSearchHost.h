#pragma once

#include "core/Screenshot.h"
#include "search/SearchHit.h"
#include "text/ScreenshotText.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class GalleryPresenter;
class LibraryModel;

// The library as a search answered on another thread sees it: its screenshots and their text as
// of the last change. Copies share the data of the main thread's own (Qt's containers copy only
// when written), so taking one is cheap.
struct SearchableLibrary final
{
    QList<Screenshot> items;
    QHash<QString, ScreenshotText> documents;
    QHash<QString, QString> normalizedText;
    bool ready = false;

    // The first `limit` (all when negative).
    QStringList ids(const QString &query, qsizetype limit = -1) const;
    std::optional<SearchHit> hit(const QString &id, const QString &query) const;
    // The first `limit` hits (all when negative), each with its snippet.
    QList<SearchHit> find(const QString &query, qsizetype limit = -1) const;
};

// The latest SearchableLibrary, written on the main thread and read on any.
class PublishedLibrary final
{
public:
    SearchableLibrary current() const;
    void publish(SearchableLibrary library);

private:
    mutable std::mutex m_mutex;
    SearchableLibrary m_library;
};

// What the desktop's search entry points (the shell's search provider, the runner, the command
// line's question to the running copy) share: the library's answer to a query, waiting for the
// first scan after a start, and what activating a result does. Main thread only, but for the
// library it publishes and the calls that hand work to it.
class DesktopSearchHost final : public QObject
{
    Q_OBJECT
public:
    // How long an answer may wait for the library after a start: a shell that started the
    // program for a search gets what is there by then rather than nothing or a timeout.
    static constexpr int readyTimeoutMs = 3000;

    DesktopSearchHost(LibraryModel &model, GalleryPresenter &gallery, QObject *parent = nullptr);
    ~DesktopSearchHost() override;

    // The first scan has ended and the cached text is in (or there is no folder to scan).
    bool isReady() const;
    // Runs `work` now when ready, else once ready or after readyTimeoutMs, whichever is first;
    // dropped when `context` is gone by then.
    void whenReady(QObject *context, std::function<void()> work);

    // For the providers that answer on the bus's thread; callable from any thread. `work` runs
    // on the main thread: at its next turn, or once the library is ready.
    void post(std::function<void()> work);
    void postWhenReady(std::function<void()> work);
    // Answers `call` with `answer()`, run on the main thread once the library is ready.
    void answerWhenReady(const QDBusMessage &call, const QDBusConnection &bus, std::function<QVariant()> answer);

    // Kept up to date for as long as the host lives.
    std::shared_ptr<const PublishedLibrary> published() const { return m_published; }

    QList<SearchHit> find(const QString &query, qsizetype limit = -1) const;
    // The paths of the matching screenshots, in the gallery's order; the first `limit` (all
    // when negative).
    QStringList ids(const QString &query, qsizetype limit = -1) const;
    std::optional<Screenshot> item(const QString &id) const;
    // The screenshot `id` as a result of `query`: its snippet is the line its tile would show.
    std::optional<SearchHit> hit(const QString &id, const QString &query) const;

    // Shows the gallery searching for `query`, with the screenshot `id` selected when it is
    // among the results.
    void activate(const QString &query, const std::optional<QString> &id);
    // The gallery's "Copy" and "Copy text" on one screenshot.
    void copy(const QString &id);
    void copyText(const QString &id);

private:
    void checkReady();
    void flush();
    void publish();

    LibraryModel &m_model;
    GalleryPresenter &m_gallery;
    struct Waiting final
    {
        QPointer<QObject> context;
        std::function<void()> work;
    };
    std::vector<Waiting> m_waiting;
    QTimer m_timeout;
    bool m_checkQueued = false;
    std::shared_ptr<PublishedLibrary> m_published = std::make_shared<PublishedLibrary>();
};
